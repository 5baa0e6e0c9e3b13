// The displays and times in the real main window under the offscreen platform. The playback
// test plays a tone through the JACK test server and checks the pixels the meter, the
// spectrum and the XY display draw; the others need no sound card.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QtTest/QTest>
#include <cstdlib>
#include <functional>
#include <memory>

#include "analysis/gui/level_meter_bar.h"
#include "analysis/gui/spectrum_graph.h"
#include "app/app_core.h"
#include "app/child_frame.h"
#include "app/display_windows.h"
#include "app/main_frame.h"
#include "platform/portaudio_wave_system.h"
#include "platform/scripted_prompts.h"
#include "platform/virtual_sound_card.h"
#include "testing/gui_test_support.h"
#include "testing/jack_test_server.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QTest::qWait(5);
  }
  return true;
}

bool IsGreenTrace(QRgb pixel) { return qGreen(pixel) > 180 && qRed(pixel) < 80 && qBlue(pixel) < 80; }

class DisplaysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_home = std::make_unique<test::ScopedEnvironment>("ZTLIVE_HOME", folder.File("home"));
    m_cache = std::make_unique<test::ScopedEnvironment>("XDG_CACHE_HOME", folder.File("cache"));
  }
  void TearDown() override {
    frame.reset();
    core.reset();
    server.reset();
  }
  void StartWith(std::unique_ptr<WaveSystem> devices) {
    core = std::make_unique<AppCore>(std::move(devices), prompts);
    frame = std::make_unique<CMainFrame>(*core);
    frame->show();
  }
  // A stereo 16-bit tone by sox: the same sine on both channels at the given amplitude.
  std::string Tone(const std::string& name, double hz, double seconds, double amplitude) {
    const std::string path = folder.File(name);
    const std::string command = "sox -n -r 44100 -c 2 -b 16 " + path + " synth " + std::to_string(seconds) + " sine " +
                                std::to_string(hz) + " vol " + std::to_string(amplitude);
    EXPECT_EQ(std::system(command.c_str()), 0);
    return path;
  }

  test::TestFolder folder;
  ScriptedPrompts prompts;
  std::unique_ptr<test::ScopedEnvironment> m_home;
  std::unique_ptr<test::ScopedEnvironment> m_cache;
  std::unique_ptr<test::JackTestServer> server;
  std::unique_ptr<AppCore> core;
  std::unique_ptr<CMainFrame> frame;
};

TEST_F(DisplaysTest, PlaybackMovesTheMeterAndShowsTheToneInTheSpectrumAndXy) {
  server = std::make_unique<test::JackTestServer>();
  if (!server->Running()) GTEST_SKIP() << server->FailureText();
  auto devices = std::make_unique<PortAudioWaveSystem>();
  const int loopbackOut = test::LoopbackDeviceId(devices->OutputDeviceNames());
  ASSERT_GE(loopbackOut, 0);
  const std::string wave = Tone("tone.wav", 1000, 4, 0.5);
  StartWith(std::move(devices));
  core->Settings().Write(setting::kDevOut, loopbackOut);
  core->Settings().Write(setting::kSpectrumShowPeak, 1);
  core->Settings().Write(setting::kSpectrumShowThd, 1);
  core->ApplyDeviceSettings();
  ASSERT_TRUE(frame->OpenDocument(QString::fromStdString(wave)));
  CChildFrame& child = *frame->ActiveChild();
  child.View().SelectAll();
  DisplayWindows& displays = frame->Displays();
  frame->Command("spectrumAnalyzer")->trigger();
  frame->Command("xyDisplay")->trigger();
  frame->Command("timeDisplay")->trigger();
  ASSERT_NE(displays.Spectrum(), nullptr);
  ASSERT_NE(displays.Xy(), nullptr);
  ASSERT_NE(displays.TimeDisplay(), nullptr);
  EXPECT_TRUE(displays.MeterDock().isVisible()) << "the level meter is shown by default";

  frame->Command("play")->trigger();
  ASSERT_EQ(core->Run().engineState, kEnginePlaying);
  const QString startPosition = displays.PositionLabel().text();
  // A second of playing: several transforms, many meter updates.
  ASSERT_TRUE(WaitFor([&] { return displays.Feed().BlocksTaken() >= 8 && displays.Spectrum()->Analyzer().Transforms() >= 6; }, 8000));
  test::ProcessEventsFor(300);
  EXPECT_NE(displays.PositionLabel().text(), startPosition) << "the position runs while playing";

  // The meter: half of full scale lights the lower half of both bars, not the top.
  LevelMeterBar& meter = displays.Meter();
  EXPECT_NEAR(meter.State().Left(), kSampleMax / 2, kSampleMax / 50);
  const QImage meterImage = meter.grab().toImage();
  for (const QRect bar : {meter.LeftBar(), meter.RightBar()}) {
    const QRect inside = bar.adjusted(2, 2, -2, -2);
    const QRgb low = meterImage.pixel(inside.center().x(), inside.bottom() - inside.height() / 4);
    const QRgb high = meterImage.pixel(inside.center().x(), inside.top() + inside.height() / 4);
    EXPECT_GT(qGreen(low), 120) << "lit below the level";
    EXPECT_LT(qGreen(high), 80) << "unlit above it";
  }

  // The spectrum: the highest point of the trace stands at 1 kHz.
  SpectrumWindow& spectrum = *displays.Spectrum();
  SpectrumGraph& graph = spectrum.Graph();
  const QImage graphImage = graph.grab().toImage();
  const QRect plot = graph.Plot();
  int topY = plot.bottom(), topX = -1;
  for (int x = plot.left(); x <= plot.right(); ++x)
    for (int y = plot.top(); y < topY; ++y)
      if (IsGreenTrace(graphImage.pixel(x, y))) {
        topY = y;
        topX = x;
        break;
      }
  const double binHz = 44100.0 / spectrum.Analyzer().Length();
  EXPECT_GE(topX, graph.XOf(1000 - binHz) - 1);
  EXPECT_LE(topX, graph.XOf(1000 + binHz) + 1);
  EXPECT_NEAR(topY, graph.YOf(20 * std::log10(0.5 * 0.84)), 4) << "a -6 dB tone less the window's loss";
  EXPECT_NEAR(spectrum.Analyzer().PointFrequency(spectrum.Analyzer().PeakPoint()), 1000, binHz);
  EXPECT_TRUE(spectrum.ThdField().text().startsWith("THD = ")) << spectrum.ThdField().text().toStdString();

  // The XY display: equal channels draw the rising diagonal, not the falling one.
  QWidget& plotXy = displays.Xy()->Plot();
  const QImage xyImage = plotXy.grab().toImage();
  const int d = std::min(plotXy.width(), plotXy.height()) - 4;
  const QPoint centre = QRect((plotXy.width() - plotXy.height()) / 2, 0, plotXy.height(), plotXy.height()).adjusted(2, 2, -2, -2).center();
  int rising = 0, falling = 0;
  for (int k = d / 16; k < d / 5; ++k) {
    rising += IsGreenTrace(xyImage.pixel(centre.x() + k, centre.y() - k)) ? 1 : 0;
    falling += IsGreenTrace(xyImage.pixel(centre.x() + k, centre.y() + k)) ? 1 : 0;
  }
  EXPECT_GT(rising, d / 10);
  EXPECT_EQ(falling, 0);
  EXPECT_NE(displays.TimeDisplay()->CursorText(), QString("--:--:--:--"));

  test::SaveScreenshot(meter, "display_level_meter");
  test::SaveScreenshot(spectrum, "display_spectrum_analyzer");
  test::SaveScreenshot(*displays.Xy(), "display_xy");
  test::SaveScreenshot(*displays.TimeDisplay(), "display_time");
  test::SaveScreenshot(*frame, "display_main_window_playing");

  // Stopped: the bars drop and the hold line falls.
  frame->Command("stop")->trigger();
  ASSERT_TRUE(WaitFor([&] { return core->Run().engineState == kEngineStopped; }, 5000));
  const int hold = meter.State().HoldLeft();
  test::ProcessEventsFor(600);
  EXPECT_EQ(meter.State().Left(), 0);
  EXPECT_LT(meter.State().HoldLeft(), hold);

  // A filter preview feeds the displays too.
  core->Settings().Write(setting::kLoopPreview, 0);
  core->Run().loopPreview = 0;
  child.View().State().Active().SetSelection(0, 44100 * 4);
  child.View().PanesChanged();
  QDialog* filter = frame->OpenFilterWindow(19, QString());
  ASSERT_NE(filter, nullptr);
  QPushButton* preview = nullptr;
  for (QPushButton* button : filter->findChildren<QPushButton*>())
    if (button->text() == "&Preview") preview = button;
  ASSERT_NE(preview, nullptr);
  const uint64_t blocksBefore = displays.Feed().BlocksTaken();
  const long transformsBefore = spectrum.Analyzer().Transforms();
  preview->click();  // returns when the preview has drained
  test::ProcessEventsFor(300);
  EXPECT_GT(displays.Feed().BlocksTaken(), blocksBefore);
  EXPECT_GT(spectrum.Analyzer().Transforms(), transformsBefore);
  filter->close();
}

TEST_F(DisplaysTest, TimesInTheStatusBarAndTheTimeDisplayAndTypedTimes) {
  StartWith(std::make_unique<VirtualSoundCard>(0, 0));
  core->Settings().Write(setting::kCleanDisp, 1);
  const std::string wave = Tone("long.wav", 440, 75, 0.2);
  ASSERT_TRUE(frame->OpenDocument(QString::fromStdString(wave)));
  CChildFrame& child = *frame->ActiveChild();
  DisplayWindows& displays = frame->Displays();
  WavePane& pane = child.View().State().Active();
  // 1:02.5 to 1:10.25 at 4 bytes a frame.
  pane.SetSelection((62 * 44100 + 22050) * 4, (70 * 44100 + 11025) * 4);
  pane.SetCursor(4);
  child.View().PanesChanged();
  EXPECT_EQ(displays.PositionLabel().text(), "Position 0:00:00.000");
  EXPECT_EQ(displays.SelectionLabel().text(), "Selection 0:01:02.500 - 0:01:10.250 (0:00:07.750)");

  // The ruler shows in the clean layout through the View toggle.
  WavePaneWidget& widget = child.View().PaneWidget(child.View().ActivePane());
  EXPECT_TRUE(widget.CleanDisplay());
  EXPECT_TRUE(widget.RulerShown());
  frame->Command("timeRuler")->trigger();
  EXPECT_FALSE(widget.RulerShown());
  EXPECT_EQ(core->Settings().Read(setting::kTimeRuler), 0);
  frame->Command("timeRuler")->trigger();
  EXPECT_TRUE(widget.RulerShown());
  EXPECT_EQ(core->Settings().Read(setting::kTimeRuler), 1);

  // The time display: opening remembers it; typing moves the caret and sets the selection.
  frame->Command("timeDisplay")->trigger();
  TimeDisplayWindow& display = *displays.TimeDisplay();
  EXPECT_EQ(core->Settings().Read(setting::kDispWindowLastState), 1);
  EXPECT_EQ(display.CursorText(), "00:00:00.0000") << "one frame truncates to zero";
  EXPECT_EQ(display.SpanText(), "00:00:07.7500");
  struct Typed {
    int field;
    const char* text;
    int64_t cursor, start, end;  // -1: unchanged
    bool accepted;
  };
  const Typed typed[] = {
      {0, "0:30.5", (30 * 44100 + 22050) * 4, -1, -1, true},
      {1, "1:00", -1, 60 * 44100 * 4, (70 * 44100 + 11025) * 4, true},
      {2, "1:05.000", -1, 60 * 44100 * 4, 65 * 44100 * 4, true},
      {0, "soon", (30 * 44100 + 22050) * 4, -1, -1, false},
  };
  for (const Typed& t : typed) {
    QLineEdit& field = display.Edit(t.field);
    field.clear();
    QTest::keyClicks(&field, t.text);
    QTest::keyClick(&field, Qt::Key_Return);
    EXPECT_EQ(field.isVisible(), !t.accepted) << t.text;
    if (t.cursor >= 0) {
      EXPECT_EQ(pane.Cursor(), t.cursor) << t.text;
    }
    if (t.start >= 0) {
      EXPECT_EQ(int64_t(pane.SelectionStart()), t.start) << t.text;
      EXPECT_EQ(int64_t(pane.SelectionEnd()), t.end) << t.text;
    }
  }
  EXPECT_EQ(display.StartText(), "00:01:00.0000");
  EXPECT_EQ(displays.SelectionLabel().text(), "Selection 0:01:00.000 - 0:01:05.000 (0:00:05.000)");
  test::SaveScreenshot(display, "display_time_typed");

  // The context menu sets the active pane's time format; the other pane keeps its own.
  QMenu& modes = display.TimeModeMenu();
  ASSERT_EQ(modes.actions().size(), 3);
  EXPECT_TRUE(modes.actions()[1]->isChecked()) << "h:m:s is the default";
  modes.actions()[2]->trigger();
  EXPECT_EQ(pane.TimeFormat(), 2);
  EXPECT_EQ(display.StartText(), " 60.0000");
  EXPECT_EQ(display.SpanText(), "  5.0000");
  modes.actions()[0]->trigger();
  EXPECT_EQ(display.StartText(), "2646000");
  EXPECT_TRUE(display.TimeModeMenu().actions()[0]->isChecked());
  const PaneId other = child.View().ActivePane() == PaneId::Source ? PaneId::Destination : PaneId::Source;
  EXPECT_EQ(child.View().State().Pane(other).TimeFormat(), 1);
  display.close();
  EXPECT_EQ(core->Settings().Read(setting::kDispWindowLastState), 0);

  // The ruler's choice holds for the next main window.
  frame->Command("timeRuler")->trigger();
  frame.reset();
  frame = std::make_unique<CMainFrame>(*core);
  frame->show();
  EXPECT_FALSE(frame->Command("timeRuler")->isChecked());
  ASSERT_TRUE(frame->OpenDocument(QString::fromStdString(wave)));
  EXPECT_FALSE(frame->ActiveChild()->View().PaneWidget(PaneId::Source).RulerShown());
}

TEST_F(DisplaysTest, SpectrumSettingsAreReadAndWrittenByClose) {
  StartWith(std::make_unique<VirtualSoundCard>(0, 0));
  struct Case {
    int storedBands, expectedBands;
  };
  for (const Case c : {Case{9, 4}, Case{2, 2}}) {
    core->Settings().Write(setting::kSpectrumNumBands, c.storedBands);
    core->Settings().Write(setting::kSpectrumFreqRange, 2);
    frame->Command("spectrumAnalyzer")->trigger();
    SpectrumWindow* window = frame->Displays().Spectrum();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Analyzer().Length(), SpectrumAnalyzer::kBandTable[size_t(c.expectedBands)]);
    EXPECT_EQ(window->Analyzer().Decimation(), 4);
    frame->Command("spectrumAnalyzer")->trigger();  // does nothing while open
    EXPECT_EQ(frame->Displays().Spectrum(), window);
    window->Bands().setCurrentIndex(5);
    QPushButton* close = nullptr;
    for (QPushButton* button : window->findChildren<QPushButton*>())
      if (button->text() == "&Close") close = button;
    ASSERT_NE(close, nullptr);
    close->click();
    ASSERT_TRUE(WaitFor([&] { return frame->Displays().Spectrum() == nullptr; }, 2000));
    EXPECT_EQ(core->Settings().Read(setting::kSpectrumNumBands), 5);
  }
  // The meter's View command hides and shows the docked bar.
  QAction* meter = frame->Command("levelMeter");
  ASSERT_NE(meter, nullptr);
  EXPECT_TRUE(frame->Displays().MeterDock().isVisible());
  meter->trigger();
  EXPECT_FALSE(frame->Displays().MeterDock().isVisible());
  meter->trigger();
  EXPECT_TRUE(frame->Displays().MeterDock().isVisible());
}

}  // namespace
}  // namespace ztlive
