// The pane rules without pixels: zoom history, scrolling, selection edges, markers, the
// mouse between the two panes, and panes that follow each other in sync mode.
#include "document/document_view_state.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/scripted_prompts.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

class WavePaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // 100000 frames of stereo and of mono 16-bit audio.
    test::WriteBytes(folder.File("stereo.wav"),
                     test::WaveBytes().Format(1, 2, 44100, 16).Data(std::vector<uint8_t>(400000, 3)).Build());
    test::WriteBytes(folder.File("mono.wav"),
                     test::WaveBytes().Format(1, 1, 44100, 16).Data(std::vector<uint8_t>(200000, 3)).Build());
    ASSERT_TRUE(view.Pane(PaneId::Source).Open(folder.File("stereo.wav")));
    ASSERT_TRUE(view.Pane(PaneId::Destination).Open(folder.File("mono.wav")));
  }

  test::TestFolder folder;
  RunState run;
  ScriptedPrompts prompts;
  DocumentViewState view{run, prompts};
  const PaneRect rect{0, 1000};  // 1000 pixels: 400 bytes a pixel at the full view
};

TEST_F(WavePaneTest, ZoomHistoryHoldsFourViewsThenWidensFourTimes) {
  WavePane& pane = view.Pane(PaneId::Source);
  EXPECT_EQ(pane.View().end, 400000u);
  pane.ZoomOut();
  EXPECT_EQ(pane.View().start, 0u) << "zooming out of the whole file stays there";
  EXPECT_EQ(pane.View().end, 400000u);
  std::vector<PaneView> before;
  for (int i = 0; i < 6; ++i) {
    before.push_back(pane.View());
    pane.SetSelection(pane.View().start + 1000, pane.View().end - 1000);
    pane.ZoomIn();
    EXPECT_EQ(pane.SelectionStart(), pane.View().start) << "the selection becomes the whole view";
  }
  EXPECT_EQ(pane.HistoryDepth(), 4);
  for (int i = 3; i >= 0; --i) {
    pane.ZoomOut();
    EXPECT_EQ(pane.View().start, before[static_cast<size_t>(i)].start) << i;
    EXPECT_EQ(pane.View().end, before[static_cast<size_t>(i)].end) << i;
  }
  pane.SetSelection(190000, 210000);
  pane.ZoomIn();
  pane.ZoomOut();  // back to the widest saved view
  pane.ZoomOut();  // and then four times as wide, inside the file
  EXPECT_EQ(pane.View().start, 0u);
  EXPECT_EQ(pane.View().end, 400000u);
  pane.ShowRange(180000, 220000);
  pane.ZoomOut();
  EXPECT_EQ(pane.View().start, 120000u);
  EXPECT_EQ(pane.View().end, 280000u);
  pane.ZoomOutFull();
  EXPECT_EQ(pane.View().end, 400000u);
  EXPECT_EQ(pane.HistoryDepth(), 0);
}

TEST_F(WavePaneTest, ScrollingKeepsTheWidthInsideTheFile) {
  WavePane& pane = view.Pane(PaneId::Source);
  pane.ShowRange(0, 40000);
  EXPECT_EQ(pane.ScrollPage(), 1000);
  pane.ScrollLines(1);
  EXPECT_EQ(pane.View().start, 4000u);
  pane.ScrollPages(100);
  EXPECT_EQ(pane.View().start, 360000u) << "pushed back inside at the end";
  EXPECT_EQ(pane.View().end, 400000u);
  pane.ScrollLines(-3);
  EXPECT_EQ(pane.View().start, 348000u);
  pane.ScrollTo(2500);
  EXPECT_EQ(pane.View().start, 100000u);
  EXPECT_EQ(pane.ScrollPosition(), 2500);
  pane.Rewind();
  EXPECT_EQ(pane.View().start, 0u);
  pane.FastForward();
  EXPECT_EQ(pane.View().end, 400000u);
  for (int i = 0; i < 20; ++i) pane.StepAmplitudeZoom(1);
  EXPECT_EQ(pane.View().amplitudeZoom, 10);
  for (int i = 0; i < 40; ++i) pane.StepVerticalOffset(-1);
  EXPECT_EQ(pane.View().verticalOffset, -32000);
  EXPECT_EQ(pane.OffsetAt(-5, 0, 1000), pane.View().start);
  EXPECT_EQ(pane.OffsetAt(5000, 0, 1000), pane.View().end);
  EXPECT_EQ(pane.PixelAt(0, 0, 1000), 0.0) << "clamped to the rectangle";
}

TEST_F(WavePaneTest, TheMouseSelectsMovesEdgesAndMarkersAndSwapsCrossedEdges) {
  WavePane& source = view.Pane(PaneId::Source);
  // A rubber band in the destination makes it active and selects.
  view.Press(PaneId::Destination, 100, false, rect);
  view.Drag(300, rect);
  view.Release(300, rect);
  EXPECT_EQ(view.ActivePane(), PaneId::Destination);
  EXPECT_EQ(view.Pane(PaneId::Destination).SelectionStart(), 20000u);
  EXPECT_EQ(view.Pane(PaneId::Destination).SelectionEnd(), 60000u);

  source.SetSelection(100000, 200000);  // pixels 250 and 500
  EXPECT_EQ(view.Hover(PaneId::Source, 253, rect), PointerShape::ResizeHorizontal);
  EXPECT_EQ(view.Hover(PaneId::Source, 400, rect), PointerShape::Arrow);
  view.Press(PaneId::Source, 252, false, rect);
  view.Drag(600, rect);
  view.Release(700, rect);
  EXPECT_EQ(source.SelectionStart(), 200000u) << "the old end becomes the start";
  EXPECT_EQ(source.SelectionEnd(), 280000u);
  EXPECT_EQ(source.Cursor(), -1);

  // Markers: a click near one selects it (and again lets it go); a drag moves it.
  ASSERT_NE(source.Markers(), nullptr);
  source.Markers()->AddMarker(40000);   // pixel 100
  source.Markers()->AddMarker(320000);  // pixel 800
  EXPECT_EQ(view.Hover(PaneId::Source, 104, rect), PointerShape::Marker);
  view.Press(PaneId::Source, 102, false, rect);
  view.Release(102, rect);
  EXPECT_EQ(source.SelectedMarker(), 0);
  EXPECT_EQ(source.Cursor(), 40800);
  view.Press(PaneId::Source, 102, false, rect);
  view.Release(102, rect);
  EXPECT_EQ(source.SelectedMarker(), -1);
  view.Press(PaneId::Source, 801, false, rect);
  view.Drag(50, rect);
  view.Release(50, rect);
  EXPECT_EQ(source.Markers()->MarkerPosition(0), 20000u) << "moved and sorted";
  EXPECT_EQ(source.Markers()->MarkerPosition(1), 40000u);

  // A double click selects between markers; without markers, the visible range.
  view.DoubleClick(PaneId::Source, 500, rect);
  EXPECT_EQ(source.SelectionStart(), 40000u);
  EXPECT_EQ(source.SelectionEnd(), 400000u);
  view.Pane(PaneId::Destination).ShowRange(1000, 9000);
  view.DoubleClick(PaneId::Destination, 500, rect);
  EXPECT_EQ(view.Pane(PaneId::Destination).SelectionStart(), 1000u);
  EXPECT_EQ(view.Pane(PaneId::Destination).SelectionEnd(), 9000u);
}

TEST_F(WavePaneTest, InSyncModeTheOtherPaneFollowsAZoomInItsOwnOffsets) {
  view.SetSync(true, false);
  view.SetActivePane(PaneId::Source);
  view.Active().SetSelection(100000, 200000);
  view.ZoomIn();
  EXPECT_EQ(view.Pane(PaneId::Destination).View().start, 50000u) << "stereo to mono: half the bytes";
  EXPECT_EQ(view.Pane(PaneId::Destination).View().end, 100000u);
  view.ScrollLines(PaneId::Source, 1);
  EXPECT_EQ(view.Pane(PaneId::Destination).View().start, 50000u) << "scrolling follows only with SyncHScroll";
  view.SetSync(true, true);
  view.ScrollLines(PaneId::Source, 1);
  EXPECT_EQ(view.Pane(PaneId::Destination).View().start, 60000u);
  // A Shift band zooms the amplitude too: a band of a quarter of the height gives zoom 4.
  view.Press(PaneId::Source, 100, true, rect);
  view.Drag(600, rect);
  view.Release(600, rect);
  view.ZoomIn(0.25, 0.0);
  EXPECT_EQ(view.Active().View().amplitudeZoom, 4);
}

TEST_F(WavePaneTest, ADoubleClickSurvivesItsReleaseAndAPlainShiftClickZoomsNothing) {
  WavePane& source = view.Pane(PaneId::Source);
  source.Markers()->AddMarker(40000);
  source.Markers()->AddMarker(200000);
  // Qt's order for a double click: press, release, double click, release.
  view.Press(PaneId::Source, 300, false, rect);
  view.Release(300, rect);
  view.DoubleClick(PaneId::Source, 300, rect);
  EXPECT_FALSE(view.Release(300, rect)) << "no press is in progress";
  EXPECT_EQ(source.SelectionStart(), 40000u);
  EXPECT_EQ(source.SelectionEnd(), 200000u);

  view.Press(PaneId::Source, 700, true, rect);
  EXPECT_FALSE(view.Release(700, rect)) << "a Shift click without a drag is a plain click";
  EXPECT_FALSE(view.ShiftBandSelection());
  EXPECT_EQ(source.Cursor(), 280000);
  view.Press(PaneId::Source, 600, true, rect);  // away from the empty selection at 700
  view.Drag(900, rect);
  EXPECT_TRUE(view.Release(900, rect));
  view.ZoomIn(0.5, 0);
  EXPECT_EQ(source.View().amplitudeZoom, 2);
  EXPECT_FALSE(view.ShiftBandSelection()) << "the band counts for one zoom only";
  source.SetSelection(0, source.View().end);
  view.ZoomIn(0.5, 0);
  EXPECT_EQ(source.View().amplitudeZoom, 2);
}

TEST_F(WavePaneTest, ADraggedMarkerLandsOnAFrameAndKeepsItsSelection) {
  WavePane& source = view.Pane(PaneId::Source);
  source.Markers()->AddMarker(40000);   // pixel 100
  source.Markers()->AddMarker(320000);  // pixel 800
  source.SetSelectedMarker(1);
  view.Press(PaneId::Source, 800, false, rect);
  view.Drag(50.3, rect);
  view.Release(50.3, rect);  // 20120 bytes: frame 5030
  EXPECT_EQ(source.Markers()->MarkerPosition(0), 20120u);
  EXPECT_EQ(source.SelectedMarker(), 0) << "the selection moved with its marker";
  view.Press(PaneId::Source, 100, false, rect);
  view.Drag(100.01, rect);
  view.Release(100.01, rect);  // 40004 bytes: a stereo frame starts there
  EXPECT_EQ(source.Markers()->MarkerPosition(1) % 4, 0u);
  EXPECT_EQ(source.SelectedMarker(), 0);
}

TEST_F(WavePaneTest, AZoomIntoAFewBytesStillShowsSixteenFrames) {
  WavePane& source = view.Pane(PaneId::Source);
  source.SetSelection(200000, 200002);
  source.ZoomIn();
  EXPECT_EQ(source.View().end - source.View().start, WavePane::kMinViewFrames * 4);
  EXPECT_LE(source.View().start, 200000u);
  EXPECT_GE(source.View().end, 200002u);
  source.ScrollLines(1);
  EXPECT_GT(source.View().start, 200000u - 32) << "a line still moves the view";
  source.SetSelection(0, 1);
  source.ZoomIn();
  EXPECT_EQ(source.View().start, 0u) << "held inside the data";
}

TEST_F(WavePaneTest, ReloadKeepsTheViewAndAWholeFileViewGrowsWithTheFile) {
  WavePane& mono = view.Pane(PaneId::Destination);
  mono.SetSelection(1000, 3000);
  mono.SetCursor(150000);
  // The file grows to 300000 bytes (as a run writing a longer result would make it).
  test::WriteBytes(folder.File("mono.wav"),
                   test::WaveBytes().Format(1, 1, 44100, 16).Data(std::vector<uint8_t>(300000, 3)).Build());
  ASSERT_TRUE(mono.Reload());
  EXPECT_EQ(mono.DataLength(), 300000u);
  EXPECT_EQ(mono.View().end, 300000u) << "the whole file was shown, so it still is";
  EXPECT_EQ(mono.SelectionEnd(), 3000u);
  mono.ShowRange(10000, 20000);
  PeakFile(folder.File("mono.wav"), run, prompts).AddMarker(500);  // a marker added elsewhere
  test::WriteBytes(folder.File("mono.wav"),
                   test::WaveBytes().Format(1, 1, 44100, 16).Data(std::vector<uint8_t>(100000, 3)).Build());
  ASSERT_TRUE(mono.Reload());
  EXPECT_EQ(mono.View().start, 10000u);
  EXPECT_EQ(mono.View().end, 20000u);
  EXPECT_EQ(mono.Cursor(), 100000) << "held inside the shorter file";
  EXPECT_EQ(mono.Markers()->MarkerCount(), 1);
  std::remove(folder.File("mono.wav").c_str());
  EXPECT_FALSE(mono.Reload());
  EXPECT_TRUE(mono.FileName().empty());
}

TEST_F(WavePaneTest, InSyncModeTheSourceFollowsTheDestinationAndEveryScrollKind) {
  view.SetSync(true, true);
  WavePane& source = view.Pane(PaneId::Source);
  WavePane& mono = view.Pane(PaneId::Destination);
  view.SetActivePane(PaneId::Destination);
  mono.SetSelection(20000, 40000);
  view.ZoomIn();
  EXPECT_EQ(source.View().start, 40000u) << "mono to stereo: twice the bytes";
  EXPECT_EQ(source.View().end, 80000u);
  view.ScrollPages(PaneId::Destination, 1);
  EXPECT_EQ(source.View().start, 80000u);
  view.ScrollTo(PaneId::Source, 5000);  // the source's own bar: the destination follows
  EXPECT_EQ(mono.View().start, 100000u);
  view.FastForward();
  EXPECT_EQ(mono.View().end, 200000u);
  EXPECT_EQ(source.View().end, 400000u);
  view.Rewind();
  EXPECT_EQ(source.View().start, 0u);
  // Without a destination file nothing follows.
  ASSERT_TRUE(mono.Open(""));
  view.SetActivePane(PaneId::Source);
  source.SetSelection(1000, 2000);
  view.ZoomIn();
  EXPECT_EQ(mono.View().end, 0u);
}

}  // namespace
}  // namespace ztlive
