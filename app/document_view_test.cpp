// The document view as a user drives it: real pane widgets under the offscreen platform, QTest
// mouse input on real wave files, markers read back from the peak files, playback on the
// virtual sound card, and pictures of the panes.
#include "app/document_view.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <cmath>
#include <memory>

#include "core/wave_stream.h"
#include "document/demo_recording.h"
#include "platform/scripted_prompts.h"
#include "platform/virtual_sound_card.h"
#include "testing/gui_test_support.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

constexpr int kSpan = 1000;  // drawing rectangle: right - left, in pixels

// 100000 stereo frames: the first half silent, then the left channel at +-16384 (half scale)
// and the right silent. 400 bytes a pixel at the full view.
std::vector<uint8_t> HalfLoudStereo() {
  std::vector<int16_t> samples(200000, 0);
  for (size_t frame = 50000; frame < 100000; ++frame) samples[2 * frame] = frame % 2 == 0 ? 16384 : -16384;
  return test::Samples16(samples);
}

class DocumentViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteBytes(folder.File("stereo.wav"),
                     test::WaveBytes().Format(1, 2, 44100, 16).Data(HalfLoudStereo()).Build());
    test::WriteBytes(folder.File("mono.wav"),
                     test::WaveBytes().Format(1, 1, 44100, 16).Data(std::vector<uint8_t>(200000, 0)).Build());
    MakeView();
    view->ShowFiles(folder.File("stereo.wav"), folder.File("mono.wav"));
  }

  void MakeView() {
    view = std::make_unique<DocumentView>(run, prompts, engine, settings);
    // The width that gives both drawing rectangles exactly kSpan + 1 pixel columns.
    WavePaneWidget& pane = view->PaneWidget(PaneId::Source);
    const int bar = pane.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &pane);
    view->resize(kSpan + 1 + 2 * bar + 4, 640);
    view->show();
    QApplication::processEvents();
    ASSERT_EQ(pane.MouseRect().right - pane.MouseRect().left, kSpan);
  }

  WavePaneWidget& Widget(PaneId id) { return view->PaneWidget(id); }
  WavePane& Pane(PaneId id) { return view->State().Pane(id); }

  // A point px pixels into the drawing rectangle, at the height of the first lane's middle.
  QPoint At(PaneId id, double px) {
    const QRectF lane = Widget(id).LaneRect(0);
    return QPoint(static_cast<int>(Widget(id).MouseRect().left + px), static_cast<int>(lane.center().y()));
  }

  void Drag(PaneId id, QPoint from, QPoint to, Qt::KeyboardModifiers keys = Qt::NoModifier) {
    QTest::mousePress(&Widget(id), Qt::LeftButton, keys, from);
    QTest::mouseMove(&Widget(id), QPoint((from.x() + to.x()) / 2, (from.y() + to.y()) / 2));
    QTest::mouseMove(&Widget(id), to);
    QTest::mouseRelease(&Widget(id), Qt::LeftButton, keys, to);
  }
  void Drag(PaneId id, double fromPx, double toPx) { Drag(id, At(id, fromPx), At(id, toPx)); }
  void Click(PaneId id, double px) { QTest::mouseClick(&Widget(id), Qt::LeftButton, Qt::NoModifier, At(id, px)); }

  // The pointer over a pane without a button held.
  Qt::CursorShape HoverShape(PaneId id, double px) {
    const QPointF where = At(id, px);
    QMouseEvent move(QEvent::MouseMove, where, Widget(id).mapToGlobal(where), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&Widget(id), &move);
    return Widget(id).cursor().shape();
  }

  // Whether any pixel of column px inside the band `rows` has the colour.
  bool ColumnHas(WavePaneWidget& widget, double px, const QRectF& rows, const QColor& colour) {
    const QImage image = widget.grab().toImage();
    const int x = static_cast<int>(widget.MouseRect().left + px);
    for (int y = static_cast<int>(rows.top()); y < static_cast<int>(rows.bottom()); ++y)
      if (image.pixelColor(x, y) == colour) return true;
    return false;
  }

  void RightClick(PaneId id, double px) { QTest::mouseClick(&Widget(id), Qt::RightButton, Qt::NoModifier, At(id, px)); }
  void TriggerMenu(const char* text) {
    QAction* action = view->MenuAction(QString::fromLatin1(text));
    ASSERT_NE(action, nullptr) << text;
    action->trigger();
    view->ContextMenu().hide();
  }

  std::vector<uint32_t> StoredMarkers(const std::string& wave) {
    PeakFile peaks(wave, run, prompts);
    std::vector<uint32_t> positions;
    for (const Marker& marker : peaks.Markers()) positions.push_back(marker.position);
    return positions;
  }

  // Lets the card play and the engine take its buffers back until the output closes.
  void PlayToTheEnd() {
    for (int i = 0; i < 10000 && engine.OutputOpen(); ++i) {
      card.Advance(4096);
      queue.DispatchPending();
    }
  }

  test::TestFolder folder;
  SettingsStore settings{folder.File("settings.ini")};
  RunState run;
  ScriptedPrompts prompts;
  VirtualSoundCard card;
  MessageQueue queue;
  WaveStream playStream{4096, 4096, run};
  WaveStream recordStream{4096, 4096, run};
  DeviceEngine engine{card, queue, prompts, run, playStream, recordStream, {}};
  std::unique_ptr<DocumentView> view;
};

TEST_F(DocumentViewTest, ADragSelectsTheMappedSpanInThePaneItMakesActive) {
  QSignalSpy active(view.get(), &DocumentView::activePaneChanged);
  QSignalSpy selection(view.get(), &DocumentView::selectionChanged);
  Drag(PaneId::Destination, 100, 300);
  EXPECT_EQ(view->ActivePane(), PaneId::Destination);
  EXPECT_EQ(active.count(), 1);
  EXPECT_GE(selection.count(), 1);
  EXPECT_EQ(Pane(PaneId::Destination).SelectionStart(), 20000u) << "mono: 200 bytes a pixel";
  EXPECT_EQ(Pane(PaneId::Destination).SelectionEnd(), 60000u);
  EXPECT_EQ(Pane(PaneId::Source).SelectionEnd(), 0u) << "the other pane keeps its selection";

  Drag(PaneId::Source, 750, 250);  // right to left
  EXPECT_EQ(view->ActivePane(), PaneId::Source);
  EXPECT_EQ(Pane(PaneId::Source).SelectionStart(), 100000u);
  EXPECT_EQ(Pane(PaneId::Source).SelectionEnd(), 300000u);
}

TEST_F(DocumentViewTest, DraggingTheStartEdgePastTheEndSwapsTheEdges) {
  Drag(PaneId::Source, 250, 500);  // 100000 ... 200000
  EXPECT_EQ(HoverShape(PaneId::Source, 253), Qt::SizeHorCursor);
  EXPECT_EQ(HoverShape(PaneId::Source, 400), Qt::ArrowCursor);
  QTest::mousePress(&Widget(PaneId::Source), Qt::LeftButton, Qt::NoModifier, At(PaneId::Source, 252));
  QTest::mouseMove(&Widget(PaneId::Source), At(PaneId::Source, 600));
  EXPECT_EQ(Pane(PaneId::Source).Cursor(), 240000) << "the caret follows the dragged edge";
  QTest::mouseMove(&Widget(PaneId::Source), At(PaneId::Source, 700));
  QTest::mouseRelease(&Widget(PaneId::Source), Qt::LeftButton, Qt::NoModifier, At(PaneId::Source, 700));
  EXPECT_EQ(Pane(PaneId::Source).SelectionStart(), 200000u) << "the old end becomes the start";
  EXPECT_EQ(Pane(PaneId::Source).SelectionEnd(), 280000u);
  EXPECT_EQ(Pane(PaneId::Source).Cursor(), -1) << "no caret after an edge drag";

  // The end edge dragged before the start: the old start becomes the end.
  Drag(PaneId::Source, 699, 100);
  EXPECT_EQ(Pane(PaneId::Source).SelectionStart(), 40000u);
  EXPECT_EQ(Pane(PaneId::Source).SelectionEnd(), 200000u);
}

TEST_F(DocumentViewTest, AClickSetsTheCursorAndTogglesAMarkerWithinFivePixels) {
  view->SetActivePane(PaneId::Source);
  view->AddMarker(40000);  // pixel 100
  EXPECT_EQ(HoverShape(PaneId::Source, 105), Qt::BitmapCursor) << "the marker pointer";
  EXPECT_EQ(HoverShape(PaneId::Source, 108), Qt::ArrowCursor);
  QSignalSpy cursor(view.get(), &DocumentView::cursorChanged);
  Click(PaneId::Source, 104);
  EXPECT_EQ(Pane(PaneId::Source).Cursor(), 41600);
  EXPECT_EQ(Pane(PaneId::Source).SelectedMarker(), 0);
  EXPECT_EQ(cursor.count(), 1);
  Click(PaneId::Source, 97);
  EXPECT_EQ(Pane(PaneId::Source).SelectedMarker(), -1) << "a second click lets it go";
  Click(PaneId::Source, 106);  // grabbed (6 pixels) but too far to toggle (5)
  EXPECT_EQ(Pane(PaneId::Source).SelectedMarker(), -1);
  EXPECT_EQ(Pane(PaneId::Source).Cursor(), 42400);
  EXPECT_EQ(StoredMarkers(folder.File("stereo.wav")), std::vector<uint32_t>{40000}) << "a click does not move it";
}

TEST_F(DocumentViewTest, ADoubleClickSelectsBetweenMarkersOrTheVisibleRange) {
  view->SetActivePane(PaneId::Source);
  view->AddMarker(40000);
  view->AddMarker(320000);
  WavePaneWidget& source = Widget(PaneId::Source);
  QTest::mouseClick(&source, Qt::LeftButton, Qt::NoModifier, At(PaneId::Source, 500));
  QTest::mouseDClick(&source, Qt::LeftButton, Qt::NoModifier, At(PaneId::Source, 500));
  QTest::mouseRelease(&source, Qt::LeftButton, Qt::NoModifier, At(PaneId::Source, 500));
  EXPECT_EQ(Pane(PaneId::Source).SelectionStart(), 40000u);
  EXPECT_EQ(Pane(PaneId::Source).SelectionEnd(), 320000u) << "the release after the double click keeps it";

  Pane(PaneId::Destination).ShowRange(1000, 9000);
  QTest::mouseDClick(&Widget(PaneId::Destination), Qt::LeftButton, Qt::NoModifier, At(PaneId::Destination, 300));
  QTest::mouseRelease(&Widget(PaneId::Destination), Qt::LeftButton, Qt::NoModifier, At(PaneId::Destination, 300));
  EXPECT_EQ(view->ActivePane(), PaneId::Destination);
  EXPECT_EQ(Pane(PaneId::Destination).SelectionStart(), 1000u);
  EXPECT_EQ(Pane(PaneId::Destination).SelectionEnd(), 9000u);
}

TEST_F(DocumentViewTest, AShiftBandZoomsIntoItsSpanAndItsHeight) {
  WavePaneWidget& source = Widget(PaneId::Source);
  const QRectF lane = source.LaneRect(0);
  // Half the left lane's height, in its upper half: zoom 2, the band's centre to the middle.
  // (A little under half: the zoom is the whole number below height / band height.)
  const int top = static_cast<int>(std::lround(lane.top() + lane.height() * 0.135));
  const int bottom = static_cast<int>(std::lround(lane.top() + lane.height() * 0.615));
  Drag(PaneId::Source, QPoint(At(PaneId::Source, 200).x(), top), QPoint(At(PaneId::Source, 400).x(), bottom),
       Qt::ShiftModifier);
  const PaneView& zoomed = Pane(PaneId::Source).View();
  EXPECT_EQ(zoomed.start, 80000u);
  EXPECT_EQ(zoomed.end, 160000u);
  EXPECT_EQ(zoomed.amplitudeZoom, 2);
  // The band's centre lies an eighth of the lane (a quarter of half the lane) above the middle:
  // at zoom 1 that is 8192, shown at the middle by an offset of -8000 in steps of 1000.
  EXPECT_EQ(zoomed.verticalOffset, -8000);
  EXPECT_EQ(Pane(PaneId::Source).SelectionStart(), 80000u) << "the selection is the new view";
  EXPECT_EQ(Widget(PaneId::Source).AmplitudeBar().value(), 2);

  view->ZoomOut();
  EXPECT_EQ(Pane(PaneId::Source).View().end, 400000u);
  EXPECT_EQ(Pane(PaneId::Source).View().amplitudeZoom, 1) << "the history restores the amplitude too";
}

TEST_F(DocumentViewTest, TheScrollBarsMoveTheViewByTheRules) {
  view->SetActivePane(PaneId::Source);
  Drag(PaneId::Source, 0, 100);
  view->ZoomIn();  // 0 ... 40000, a tenth of the file
  QScrollBar& bar = Widget(PaneId::Source).HorizontalBar();
  EXPECT_EQ(bar.pageStep(), 1000);
  EXPECT_EQ(bar.maximum(), 9000);

  bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);  // what a click on its arrow does
  EXPECT_EQ(Pane(PaneId::Source).View().start, 4000u) << "a tenth of the width";
  EXPECT_EQ(Pane(PaneId::Source).View().end, 44000u);
  bar.triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(Pane(PaneId::Source).View().start, 44000u);
  bar.setSliderPosition(5000);  // the thumb dragged to the middle
  EXPECT_EQ(Pane(PaneId::Source).View().start, 200000u);
  EXPECT_EQ(bar.value(), 5000);
  for (int i = 0; i < 30; ++i) bar.triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(Pane(PaneId::Source).View().end, 400000u) << "pushed back inside the file";
  EXPECT_EQ(Pane(PaneId::Source).View().start, 360000u);
  EXPECT_EQ(bar.value(), 9000);

  QScrollBar& amplitude = Widget(PaneId::Source).AmplitudeBar();
  amplitude.triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(Pane(PaneId::Source).View().amplitudeZoom, 2);
  for (int i = 0; i < 20; ++i) amplitude.triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(Pane(PaneId::Source).View().amplitudeZoom, 10);
  QScrollBar& offset = Widget(PaneId::Source).OffsetBar();
  offset.triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(Pane(PaneId::Source).View().verticalOffset, -1000);
  offset.triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(Pane(PaneId::Source).View().verticalOffset, 32000);
  EXPECT_EQ(Pane(PaneId::Source).View().start, 360000u) << "the amplitude bars leave the range alone";
}

TEST_F(DocumentViewTest, TheContextMenuAddsAndDeletesMarkersInThePeakFile) {
  QStringList items;
  for (QAction* action : view->ContextMenu().actions())
    if (!action->isSeparator()) items << action->text();
  EXPECT_EQ(items, QStringList({"Play from here", "Zoom In", "Zoom Out", "Zoom Out Full", "Copy", "Paste Over", "Mute",
                                "Add a Marker", "Delete Marker"}));

  RightClick(PaneId::Source, 250);
  EXPECT_EQ(view->ContextOffset(), 100000u);
  TriggerMenu("Add a Marker");
  RightClick(PaneId::Source, 100);
  TriggerMenu("Add a Marker");
  EXPECT_EQ(StoredMarkers(folder.File("stereo.wav")), (std::vector<uint32_t>{40000, 100000}));
  EXPECT_FALSE(view->MenuAction("Delete Marker")->isEnabled()) << "no marker is selected";
  view->DeleteMarker();
  EXPECT_EQ(StoredMarkers(folder.File("stereo.wav")).size(), 2u) << "nothing selected, nothing deleted";

  RightClick(PaneId::Destination, 301);
  TriggerMenu("Add a Marker");
  EXPECT_EQ(view->ActivePane(), PaneId::Destination) << "the right click chose the pane";
  view->AddMarker(1001);  // onto the frame it lies in
  EXPECT_EQ(StoredMarkers(folder.File("mono.wav")), (std::vector<uint32_t>{1000, 60200}));

  Click(PaneId::Source, 250);  // selects the marker at 100000
  ASSERT_EQ(Pane(PaneId::Source).SelectedMarker(), 1);
  RightClick(PaneId::Source, 800);
  TriggerMenu("Delete Marker");
  EXPECT_EQ(StoredMarkers(folder.File("stereo.wav")), std::vector<uint32_t>{40000});
  EXPECT_EQ(Pane(PaneId::Source).SelectedMarker(), -1);

  // The edit commands are handed on.
  QSignalSpy edits(view.get(), &DocumentView::editRequested);
  RightClick(PaneId::Source, 10);
  TriggerMenu("Copy");
  TriggerMenu("Paste Over");
  TriggerMenu("Mute");
  ASSERT_EQ(edits.count(), 3);
  EXPECT_EQ(edits[0][0].toString(), "Copy");
  EXPECT_EQ(edits[1][0].toString(), "Paste Over");
  EXPECT_EQ(edits[2][0].toString(), "Mute");
}

TEST_F(DocumentViewTest, InSyncModeAMonoDestinationFollowsWithHalfTheOffsets) {
  view->SetSync(true);  // "SyncHScroll" is on by default
  Drag(PaneId::Source, 250, 500);
  RightClick(PaneId::Source, 300);
  TriggerMenu("Zoom In");
  EXPECT_EQ(Pane(PaneId::Source).View().start, 100000u);
  EXPECT_EQ(Pane(PaneId::Destination).View().start, 50000u);
  EXPECT_EQ(Pane(PaneId::Destination).View().end, 100000u);
  EXPECT_EQ(Widget(PaneId::Destination).HorizontalBar().value(), 2500) << "the other pane's bar shows it";
  Widget(PaneId::Source).HorizontalBar().triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(Pane(PaneId::Destination).View().start, 55000u) << "scrolling follows";
  view->Rewind();
  EXPECT_EQ(Pane(PaneId::Destination).View().start, 0u);

  settings.Write(setting::kSyncHScroll, 0);
  view->SetSync(true);
  Widget(PaneId::Source).HorizontalBar().triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(Pane(PaneId::Source).View().start, 100000u);
  EXPECT_EQ(Pane(PaneId::Destination).View().start, 0u) << "without SyncHScroll only zooms follow";
  view->ZoomOutFull();
  EXPECT_EQ(Pane(PaneId::Destination).View().end, 200000u);

  view->SetSync(false);
  Drag(PaneId::Source, 0, 100);
  view->ZoomIn();
  EXPECT_EQ(Pane(PaneId::Destination).View().end, 200000u);
}

TEST_F(DocumentViewTest, TheCursorFollowsThePlayPositionUntilPlaybackEnds) {
  Drag(PaneId::Source, 100, 500);  // 40000 ... 200000: 40000 frames
  QSignalSpy cursor(view.get(), &DocumentView::cursorChanged);
  ASSERT_EQ(view->PlaySelection(), 0);
  EXPECT_EQ(run.engineState, kEnginePlaying);
  EXPECT_TRUE(view->CursorTimerRunning());
  card.Advance(4410);
  queue.DispatchPending();
  EXPECT_TRUE(QTest::qWaitFor([&] { return Pane(PaneId::Source).Cursor() == 40000 + 4410 * 4; }, 3000))
      << Pane(PaneId::Source).Cursor();
  EXPECT_GE(cursor.count(), 1);
  card.Advance(10000);
  queue.DispatchPending();
  EXPECT_TRUE(QTest::qWaitFor([&] { return Pane(PaneId::Source).Cursor() == 40000 + 14410 * 4; }, 3000))
      << Pane(PaneId::Source).Cursor();

  PlayToTheEnd();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !view->CursorTimerRunning(); }, 3000))
      << "the timer stops itself after the last buffer";
  EXPECT_EQ(card.Played().size(), 160000u);

  // An empty selection plays from the cursor to the end.
  Click(PaneId::Source, 900);
  ASSERT_EQ(view->PlaySelection(), 0);
  PlayToTheEnd();
  EXPECT_EQ(card.Played().size(), 160000u + 40000u);
  EXPECT_TRUE(prompts.Entries().empty());
}

TEST_F(DocumentViewTest, APressWhilePlayingOrPausedStopsPlaybackFirst) {
  RightClick(PaneId::Source, 250);
  TriggerMenu("Play from here");
  EXPECT_EQ(run.engineState, kEnginePlaying);
  ASSERT_TRUE(engine.OutputOpen());
  card.Advance(1000);
  queue.DispatchPending();
  Click(PaneId::Destination, 10);
  EXPECT_FALSE(engine.OutputOpen());
  EXPECT_EQ(run.engineState, kEngineStopped);
  EXPECT_EQ(run.stopRequested, 1);
  EXPECT_FALSE(view->CursorTimerRunning());
  EXPECT_EQ(view->ActivePane(), PaneId::Destination) << "the press still counts";
  EXPECT_EQ(card.Played().size(), 4000u) << "it played from the clicked offset";

  // Paused, and a right click: stopped before the menu opens.
  view->SetActivePane(PaneId::Source);
  ASSERT_EQ(view->PlayFrom(0), 0);
  engine.PauseOutput();
  run.engineState = kEnginePaused;
  RightClick(PaneId::Destination, 10);
  EXPECT_FALSE(engine.OutputOpen());
  view->ContextMenu().hide();

  // Playing while recording: playback stops, the recording state stays.
  ASSERT_EQ(view->PlayFrom(0), 0);
  run.engineState = 237;
  QTest::mouseDClick(&Widget(PaneId::Source), Qt::LeftButton, Qt::NoModifier, At(PaneId::Source, 10));
  QTest::mouseRelease(&Widget(PaneId::Source), Qt::LeftButton, Qt::NoModifier, At(PaneId::Source, 10));
  EXPECT_FALSE(engine.OutputOpen());
  EXPECT_EQ(run.engineState, 183);
}

TEST_F(DocumentViewTest, PaintingShowsTheEnvelopeZoomOffsetAndSelectionInTheSettingColours) {
  settings.Write(setting::kBkColorR, 250);
  settings.Write(setting::kBkColorG, 240);
  settings.Write(setting::kBkColorB, 230);
  settings.Write(setting::kFgColorR, 10);
  settings.Write(setting::kFgColorG, 200);
  settings.Write(setting::kFgColorB, 30);
  view->ApplyDisplaySettings();
  WavePaneWidget& source = Widget(PaneId::Source);
  const QColor background(250, 240, 230);
  const QColor envelope = source.Colours().envelope;
  const QRectF left = source.LaneRect(0);
  const QRectF right = source.LaneRect(1);
  const auto pixel = [&](double px, double y) {
    return source.grab().toImage().pixelColor(static_cast<int>(source.MouseRect().left + px), static_cast<int>(y));
  };
  // The loud half reaches half the lane's height above and below its middle.
  const double middle = left.center().y();
  const double quarter = left.height() / 4;
  EXPECT_EQ(pixel(750, middle - quarter * 0.5), envelope);
  EXPECT_EQ(pixel(750, middle + quarter * 0.5), envelope);
  EXPECT_EQ(pixel(750, middle - quarter * 1.5), background) << "beyond the peak at zoom 1";
  EXPECT_EQ(pixel(250, middle - quarter * 0.5), background) << "the silent half";
  EXPECT_EQ(pixel(750, right.center().y() - right.height() / 8), background) << "the silent right channel";

  source.AmplitudeBar().triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(pixel(750, middle - quarter * 1.5), envelope) << "zoom 2 fills the lane";
  source.AmplitudeBar().triggerAction(QAbstractSlider::SliderSingleStepSub);
  // An offset of +16000 lifts the envelope: just below the middle is empty now.
  for (int i = 0; i < 16; ++i) source.OffsetBar().triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(pixel(750, middle + quarter * 0.5), background);
  EXPECT_EQ(pixel(750, middle - quarter * 1.5), envelope);

  Drag(PaneId::Source, 100, 300);
  EXPECT_EQ(pixel(200, middle + quarter), QColor(10, 200, 30)) << "the selection in the highlight colour";
  EXPECT_EQ(pixel(400, middle + quarter), background);

  Click(PaneId::Source, 450);
  EXPECT_EQ(pixel(450, right.center().y() + right.height() / 4), source.Colours().caret);
  view->AddMarker(Pane(PaneId::Source).OffsetAt(source.MouseRect().left + 600, source.MouseRect().left,
                                                 source.MouseRect().right));
  EXPECT_TRUE(ColumnHas(source, 600, right, source.Colours().marker));
  EXPECT_FALSE(ColumnHas(source, 600, right, source.Colours().selectedMarker));
  Click(PaneId::Source, 603);  // near enough to select it
  EXPECT_TRUE(ColumnHas(source, 600, right, source.Colours().selectedMarker));

  // A pane without a file is empty: one colour all over.
  view->ShowFiles(folder.File("stereo.wav"), "");
  const QImage empty = Widget(PaneId::Destination).grab().toImage();
  const QRect area = Widget(PaneId::Destination).DrawingRect();
  EXPECT_EQ(empty.pixelColor(area.center()), empty.pixelColor(area.topLeft() + QPoint(3, 3)));
  EXPECT_NE(empty.pixelColor(area.center()), background);
}

TEST_F(DocumentViewTest, ShowingFilesAgainKeepsTheViewOfAPaneWhoseFileStayed) {
  Drag(PaneId::Source, 100, 200);
  view->ZoomIn();
  const PaneView zoomed = Pane(PaneId::Source).View();
  test::WriteBytes(folder.File("other.wav"),
                   test::WaveBytes().Format(1, 1, 44100, 16).Data(std::vector<uint8_t>(8000, 0)).Build());
  view->ShowFiles(folder.File("stereo.wav"), folder.File("other.wav"));
  EXPECT_EQ(Pane(PaneId::Source).View().start, zoomed.start);
  EXPECT_EQ(Pane(PaneId::Source).View().end, zoomed.end);
  EXPECT_EQ(Pane(PaneId::Destination).View().end, 8000u);
  view->RefreshPanes();
  EXPECT_EQ(Pane(PaneId::Source).View().end, zoomed.end);

  view->SetActivePane(PaneId::Destination);
  view->ShowFiles(folder.File("mono.wav"), "");
  EXPECT_EQ(Pane(PaneId::Source).View().end, 200000u) << "a new file starts at the whole view";
  EXPECT_TRUE(Pane(PaneId::Destination).FileName().empty());
  EXPECT_EQ(view->ActivePane(), PaneId::Source) << "the empty pane is not left active";
}

// Pictures for a person to look at: the demo recording in stereo with a selection and markers
// above a mono destination, in both layouts, and zoomed in close to the samples.
TEST_F(DocumentViewTest, Screenshots) {
  const std::string demo = folder.File("demo.wav");
  DemoRecordingInfo info;
  ASSERT_EQ(WriteDemoRecording(demo, info, run, prompts), 1);
  // The destination: the demo's two channels mixed to mono at half the level.
  WaveStream in(4096, 0, run);
  ASSERT_EQ(in.Open(demo, kOpenRead), kStreamOk);
  std::vector<uint8_t> bytes(in.DataBytes());
  in.SeekData(0, 0);
  ASSERT_EQ(in.ReadRaw(bytes.data(), bytes.size()), static_cast<int64_t>(bytes.size()));
  in.Close();
  std::vector<int16_t> mono(bytes.size() / 4);
  for (size_t i = 0; i < mono.size(); ++i) {
    const auto l = static_cast<int16_t>(bytes[4 * i] | (bytes[4 * i + 1] << 8));
    const auto r = static_cast<int16_t>(bytes[4 * i + 2] | (bytes[4 * i + 3] << 8));
    mono[i] = static_cast<int16_t>((l + r) / 4);
  }
  test::WriteBytes(folder.File("demo_mono.wav"),
                   test::WaveBytes().Format(1, 1, 44100, 16).Data(test::Samples16(mono)).Build());

  view->ShowFiles(demo, folder.File("demo_mono.wav"));
  view->SetActivePane(PaneId::Source);
  const uint64_t length = Pane(PaneId::Source).DataLength();
  view->AddMarker(length / 6);
  view->AddMarker(length / 2);
  view->AddMarker(length * 5 / 6);
  Drag(PaneId::Source, 350, 480);
  Click(PaneId::Destination, 700);
  Click(PaneId::Source, 503);  // selects the middle marker, the source active again
  Drag(PaneId::Source, 350, 480);
  ASSERT_FALSE(test::SaveScreenshot(*view, "document_view_clean").isEmpty());

  settings.Write(setting::kCleanDisp, 0);
  view->ApplyDisplaySettings();
  Widget(PaneId::Destination).AmplitudeBar().triggerAction(QAbstractSlider::SliderSingleStepAdd);
  ASSERT_FALSE(test::SaveScreenshot(*view, "document_view_detailed").isEmpty());

  // Close to the samples: 600 frames of the source over the whole width, amplitude zoom 3.
  view->SetSync(true);
  view->SetActivePane(PaneId::Source);
  Pane(PaneId::Source).SetSelection(length / 2, length / 2 + 2400);
  view->ZoomIn();
  Widget(PaneId::Source).AmplitudeBar().triggerAction(QAbstractSlider::SliderSingleStepAdd);
  Widget(PaneId::Source).AmplitudeBar().triggerAction(QAbstractSlider::SliderSingleStepAdd);
  Click(PaneId::Source, 300);
  ASSERT_FALSE(test::SaveScreenshot(*view, "document_view_zoomed").isEmpty());
  EXPECT_TRUE(prompts.Entries().empty());
}

}  // namespace
}  // namespace ztlive
