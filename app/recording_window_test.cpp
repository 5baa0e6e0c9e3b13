// The "Record File" window through real widget events: its states, questions and controls on
// the virtual sound card; recording, saving and the chain window's live run on the JACK test
// server's loopback. Uses threads (the JACK server's) and a child process (the server).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <chrono>
#include <cstring>

#include "app/app_core.h"
#include "app/child_frame.h"
#include "app/level_meter.h"
#include "app/main_frame.h"
#include "app/recording_window.h"
#include "core/temp_files.h"
#include "live/multi_filter_window.h"
#include "platform/file_ops.h"
#include "platform/pcm_float.h"
#include "platform/portaudio_wave_system.h"
#include "platform/scripted_prompts.h"
#include "platform/string_table.h"
#include "platform/virtual_sound_card.h"
#include "testing/gui_test_support.h"
#include "testing/jack_test_server.h"
#include "testing/loopback_signal.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using Clock = std::chrono::steady_clock;

template <typename Condition>
bool WaitUntil(Condition condition, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!condition()) {
    if (timer.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

std::string Std(const QString& text) { return text.toStdString(); }

TEST(LevelMeterScale, PeaksLightTheBarOnADecibelScale) {
  const struct {
    int peak;
    double share;
  } cases[] = {{0, 0.0}, {-5, 0.0}, {8388607, 1.0}, {8389, 0.0}, {838861, 2.0 / 3}, {2107129, 48.0 / 60}};
  for (const auto& c : cases) EXPECT_NEAR(LevelMeter::Level(c.peak), c.share, 0.002) << c.peak;
}

class RecordingWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_home = std::make_unique<test::ScopedEnvironment>("ZTLIVE_HOME", folder.File("home"));
    m_cache = std::make_unique<test::ScopedEnvironment>("XDG_CACHE_HOME", folder.File("cache"));
  }

  void StartWith(std::unique_ptr<WaveSystem> devices) {
    core = std::make_unique<AppCore>(std::move(devices), prompts);
    frame = std::make_unique<CMainFrame>(*core);
    frame->show();
  }

  void TearDown() override {
    frame.reset();
    core.reset();
    server.reset();
  }

  RecordingWindow& OpenWindow() {
    frame->Command("recordFile")->trigger();
    RecordingWindow* window = frame->RecordWindow();
    EXPECT_NE(window, nullptr);
    return *window;
  }

  test::TestFolder folder;
  ScriptedPrompts prompts;
  std::unique_ptr<test::ScopedEnvironment> m_home;
  std::unique_ptr<test::ScopedEnvironment> m_cache;
  std::unique_ptr<test::JackTestServer> server;
  std::unique_ptr<AppCore> core;
  std::unique_ptr<CMainFrame> frame;
};

TEST_F(RecordingWindowTest, ButtonsQuestionsAndTheTransportCommands) {
  StartWith(std::make_unique<VirtualSoundCard>(1, 2));
  RecordingWindow& window = OpenWindow();
  frame->Command("recordFile")->trigger();
  EXPECT_EQ(frame->RecordWindow(), &window) << "one window at a time";
  EXPECT_EQ(Std(window.windowTitle()), "Record File");
  EXPECT_EQ(Std(window.ElapsedField().text()), "00:00.00");
  EXPECT_EQ(Std(window.StatusField().text()), "Stopped");
  EXPECT_FALSE(window.SaveButton().isEnabled());
  EXPECT_FALSE(window.CustomRateField().isEnabled()) << "only with Custom chosen";
  EXPECT_TRUE(window.RateButton(1).isChecked()) << "44.10kHz by default";
  EXPECT_EQ(window.DeviceList().count(), 2);
  EXPECT_FALSE(window.FreeSpaceField().text().isEmpty());
  EXPECT_TRUE(window.AvailableTimeField().text().endsWith(" min:sec"));

  // The custom rate: a value out of range is refused and the field shows the old one again.
  window.RateButton(4).click();
  ASSERT_TRUE(window.CustomRateField().isEnabled());
  window.CustomRateField().setText("5000");
  emit window.CustomRateField().editingFinished();
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"Please enter an integer between 8000 and 97000."});
  EXPECT_EQ(Std(window.CustomRateField().text()), "48000");
  window.RateButton(1).click();
  prompts.Clear();

  window.DeviceList().setCurrentIndex(1);
  emit window.DeviceList().activated(1);
  EXPECT_EQ(core->Settings().Read(setting::kDevIn), 1);

  window.RecordButton().click();
  EXPECT_EQ(Std(window.StatusField().text()), "Recording");
  EXPECT_EQ(Std(window.RecordButton().text()), "Stop");
  EXPECT_FALSE(window.ChannelButton(1).isEnabled());
  EXPECT_FALSE(window.DeviceList().isEnabled());
  EXPECT_TRUE(window.TimersRunning());
  const std::string file = window.Session().FileName();
  EXPECT_TRUE(FileExists(file));

  frame->Command("play")->trigger();  // Pause while recording
  EXPECT_EQ(Std(window.StatusField().text()), "Rec Pause");
  frame->Command("play")->trigger();  // Play
  EXPECT_EQ(Std(window.StatusField().text()), "Recording");
  frame->Command("stop")->trigger();
  EXPECT_EQ(Std(window.StatusField().text()), "Stopped");
  EXPECT_EQ(Std(window.RecordButton().text()), "Re-Record");
  EXPECT_TRUE(window.SaveButton().isEnabled());
  EXPECT_FALSE(window.TimersRunning());
  ASSERT_TRUE(frame->Command("rewind")->isEnabled());
  frame->Command("rewind")->trigger();
  EXPECT_EQ(Std(window.ElapsedField().text()), "00:00");

  // A format change after a recording asks; No puts the control back.
  prompts.Script(PromptAnswer::No);
  window.ChannelButton(1).click();
  EXPECT_TRUE(window.ChannelButton(0).isChecked());
  EXPECT_EQ(prompts.Texts().back(), StringText(StringId::kRecordFormatChange));

  // "&Close", and quitting, ask before the recording goes; No keeps window and file.
  prompts.Clear();
  prompts.Script(PromptAnswer::No);
  window.CloseButton().click();
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(FileExists(file));
  prompts.Script(PromptAnswer::No);
  EXPECT_FALSE(frame->close()) << "the program keeps running";
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(FileExists(file));
  prompts.Script(PromptAnswer::Yes);
  window.CloseButton().click();
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>(3, "Discard new recording?"));
  EXPECT_FALSE(FileExists(file));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(frame->RecordWindow(), nullptr);
  EXPECT_EQ(core->Settings().Read(setting::kRecordRate), 1);
  EXPECT_EQ(prompts.UnscriptedQuestions(), 0u);
}

TEST_F(RecordingWindowTest, FeedThruRecordShowsRecordPlayAndMakesNoFile) {
  StartWith(std::make_unique<VirtualSoundCard>(1, 1));
  RecordingWindow& window = OpenWindow();
  window.FeedThruBox().click();
  window.RecordButton().click();
  EXPECT_EQ(Std(window.StatusField().text()), "Record/Play");
  EXPECT_EQ(core->Run().liveInput, 1);
  EXPECT_TRUE(window.Session().FileName().empty());
  EXPECT_TRUE(FindTempFiles(core->Settings().Read(setting::kTempPath)).empty());
  window.RecordButton().click();  // acts as Stop
  EXPECT_EQ(Std(window.StatusField().text()), "Stopped");
  EXPECT_EQ(core->Run().liveInput, 0);
  EXPECT_FALSE(window.SaveButton().isEnabled()) << "nothing to save";
  EXPECT_TRUE(prompts.Entries().empty());
}

TEST_F(RecordingWindowTest, TheLiveLayoutShowsTheUpperPartLeftOfTheChainWindow) {
  StartWith(std::make_unique<VirtualSoundCard>(1, 1));
  RecordingWindow& normal = OpenWindow();
  EXPECT_FALSE(test::SaveScreenshot(normal, "recording_window").isEmpty());
  const int fullHeight = normal.height();
  normal.close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  MultiFilterWindow* chain = frame->OpenChainWindow();
  chain->move(700, 120);
  QApplication::processEvents();
  // A double click on the Input node opens the window in live layout, and does nothing else.
  chain->OpenNodeWindow(chain->Chain().Nodes().front());
  RecordingWindow* live = frame->RecordWindow();
  ASSERT_NE(live, nullptr);
  EXPECT_TRUE(live->LiveLayout());
  EXPECT_TRUE(live->FeedThruBox().isChecked());
  EXPECT_FALSE(live->LowerPart().isVisible());
  EXPECT_LT(live->height(), fullHeight);
  EXPECT_EQ(live->frameGeometry().right() + 1, chain->frameGeometry().left());
  EXPECT_EQ(live->frameGeometry().top(), chain->frameGeometry().top());
  EXPECT_EQ(core->Run().engineState, kEngineStopped) << "the Input node only opens the window";
  EXPECT_FALSE(test::SaveScreenshot(*live, "recording_window_live").isEmpty());
  // Closing the chain window closes the recording window.
  chain->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(frame->RecordWindow(), nullptr);
}

TEST_F(RecordingWindowTest, RunFilterWhileLiveInputRunsRunsTheFilterLive) {
  auto* card = new VirtualSoundCard(1, 1);
  StartWith(std::unique_ptr<WaveSystem>(card));
  core->Settings().Write(setting::kLogFileName, folder.File("log.wav"));
  QTimer clock;  // the virtual card's time runs with the test's
  QObject::connect(&clock, &QTimer::timeout, [card] { card->Advance(441); });
  clock.start(10);
  RecordingWindow& window = OpenWindow();
  QDialog* filter = frame->OpenFilterWindow(19, QString());
  ASSERT_NE(filter, nullptr);
  QPushButton* run = nullptr;
  for (QPushButton* button : filter->findChildren<QPushButton*>())
    if (button->text() == "Run &Filter") run = button;
  ASSERT_NE(run, nullptr);
  EXPECT_EQ(frame->RunFilterFromWindow(19, nullptr, false, PresetValues{}), 0) << "no document, no live input";

  window.FeedThruBox().click();
  window.RecordButton().click();
  ASSERT_EQ(core->Run().engineState, 237);
  // Stopped once the run has played something (or after ten seconds on a very slow machine).
  bool running = false;
  QElapsedTimer waited;
  waited.start();
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    running = running || (core->Filters().RunBusy() && core->Engine().OutputOpen());
    if ((running && !card->Played().empty()) || waited.elapsed() > 10000) {
      watch.stop();
      frame->Command("stop")->trigger();  // the main window's Stop acts on the recording window
    }
  });
  watch.start(20);
  run->click();  // returns when the live run has ended
  clock.stop();
  EXPECT_TRUE(running) << "the filter ran on the live input";
  EXPECT_FALSE(core->Filters().RunBusy());
  EXPECT_EQ(Std(window.StatusField().text()), "Stopped");
  EXPECT_FALSE(core->Engine().InputOpen());
  EXPECT_FALSE(card->Played().empty()) << "the filtered input was played";
  EXPECT_TRUE(prompts.Entries().empty()) << prompts.Texts().front();
}

// The JACK server's loopback: what one engine plays, the recording window records.
class RecordingWindowJackTest : public RecordingWindowTest {
 protected:
  void SetUp() override {
    RecordingWindowTest::SetUp();
    server = std::make_unique<test::JackTestServer>();
    if (!server->Running()) GTEST_SKIP() << server->FailureText();
    auto devices = std::make_unique<PortAudioWaveSystem>();
    loopbackOut = test::LoopbackDeviceId(devices->OutputDeviceNames());
    loopbackIn = test::LoopbackDeviceId(devices->InputDeviceNames());
    ASSERT_GE(loopbackOut, 0);
    ASSERT_GE(loopbackIn, 0);
    StartWith(std::move(devices));
    core->Settings().Write(setting::kDevOut, loopbackOut);
    core->Settings().Write(setting::kDevIn, loopbackIn);
    core->ApplyDeviceSettings();
  }

  // Plays the file to its end on the loopback with an engine and run state of its own.
  void PlayOnLoopback(const std::string& path) {
    RunState playerRun;
    WaveStream playStream(4096, 4096, playerRun);
    WaveStream recordStream(4096, 4096, playerRun);
    DeviceEngine player(core->Devices(), core->Queue(), prompts, playerRun, playStream, recordStream,
                        DeviceEngine::Settings{unsigned(loopbackOut), unsigned(loopbackIn), 7});
    ASSERT_EQ(player.PlayFileRegion(path, 0, 0), 0);
    EXPECT_TRUE(WaitUntil([&] { return !player.OutputOpen(); }, 20000));
    player.CloseOutput();
  }

  int loopbackOut = -1;
  int loopbackIn = -1;
};

TEST_F(RecordingWindowJackTest, APlayedSignalIsRecordedSavedAndOpened) {
  const struct {
    int channelChoice;
    int bits;
    const char* name;
  } cases[] = {{0, 16, "stereo16"}, {1, 24, "mono24"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const uint16_t channels = c.channelChoice == 1 ? 1 : 2;
    const int bytes = c.bits / 8;
    const std::vector<float> chord = test::ChordValues(2 * 44100, channels, 44100);
    std::vector<uint8_t> data(chord.size() * static_cast<size_t>(bytes));
    FloatToPcm(chord.data(), chord.size(), bytes, data.data());
    std::vector<float> sent(chord.size());  // what the file holds, as the card gets it
    PcmToFloat(data.data(), sent.size(), bytes, sent.data());
    const std::string played = folder.File(std::string(c.name) + "_played.wav");
    test::WriteBytes(played, test::WaveBytes().Format(1, channels, 44100, static_cast<uint16_t>(c.bits)).Data(data).Build());
    core->Settings().Write(setting::kRecordStereo, c.channelChoice);
    core->Settings().Write(setting::kRecordBits, c.bits);
    core->Settings().Write(setting::kRecordRate, 1);

    RecordingWindow& window = OpenWindow();
    const std::string saved = folder.File(std::string(c.name) + ".wav");
    window.SetSaveNameAsker([&](const std::string&) { return saved; });
    window.RecordButton().click();
    ASSERT_EQ(Std(window.StatusField().text()), "Recording");
    PlayOnLoopback(played);
    if (c.channelChoice == 0) {
      EXPECT_GT(window.Session().PeakLeft(), 0);
      test::SaveScreenshot(window, "recording_window_recording");
    }
    test::ProcessEventsFor(300);  // the loop's delay
    EXPECT_NE(Std(window.ElapsedField().text()), "00:00.00") << "the elapsed time runs";
    window.StopButton().click();
    const std::string temporary = window.Session().FileName();
    window.SaveButton().click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frame->RecordWindow(), nullptr) << "saving closes the window";
    EXPECT_FALSE(FileExists(temporary));
    ASSERT_TRUE(FileExists(saved));
    ASSERT_NE(frame->ActiveChild(), nullptr);
    EXPECT_EQ(frame->ActiveChild()->Document().SourceName(), saved) << "saving opens it";

    const std::vector<uint8_t> file = test::ReadBytes(saved);
    ASSERT_GT(file.size(), 44u);
    uint16_t blockAlign = 0;
    std::memcpy(&blockAlign, file.data() + 32, 2);
    EXPECT_EQ(blockAlign, channels * bytes);
    const size_t samples = (file.size() - 44) / static_cast<size_t>(bytes);
    std::vector<float> recorded(samples);
    PcmToFloat(file.data() + 44, samples, bytes, recorded.data());
    const long lag = test::FindLag(recorded, sent, sent.size() / 2, 2000, channels);
    ASSERT_GE(lag, 0) << "the played signal is not in the recording";
    ASSERT_LE(static_cast<size_t>(lag) + sent.size(), recorded.size());
    EXPECT_LE(test::WorstDifference(recorded, sent, lag), 1.01 / (1 << (c.bits - 1)));
    // Another program reads it at the right length.
    const std::string soxSamples = test::ProgramOutput({"sox", "--i", "-s", saved});
    EXPECT_EQ(std::stoul(soxSamples.empty() ? "0" : soxSamples), samples / channels);
  }
  EXPECT_TRUE(prompts.Entries().empty()) << prompts.Texts().front();
}

TEST_F(RecordingWindowJackTest, LivePreviewRunsTheChainUntilStopAndRunsAgain) {
  const std::string log = folder.File("live_log.wav");
  core->Settings().Write(setting::kLogFileName, log);
  MultiFilterWindow* chain = frame->OpenChainWindow();
  chain->SetLogFileName(QString::fromStdString(log));
  ASSERT_NE(chain->Chain().InsertFilter(19), nullptr);  // a low pass
  chain->LogBox().setChecked(true);
  std::vector<size_t> logSizes;
  for (int take = 0; take < 2; ++take) {
    SCOPED_TRACE(take);
    bool sawLive = false;
    bool sawRun = false;
    // While the run goes on, the recording window's Stop ends it.
    QTimer::singleShot(1500, [&] {
      RecordingWindow* window = frame->RecordWindow();
      if (window == nullptr) return;
      sawLive = core->Run().engineState == 237 && Std(window->StatusField().text()) == "Record/Play" &&
                window->LiveLayout() && !window->ChannelButton(0).isEnabled() &&
                Std(window->RecordButton().text()) == "Stop";
      sawRun = core->Filters().RunBusy() && core->Engine().OutputOpen();
      if (take == 0) test::SaveScreenshot(*window, "recording_window_live_running");
      window->StopButton().click();
    });
    chain->LiveButton().click();  // returns when the live run has ended
    EXPECT_TRUE(sawLive) << "the window in live layout with live input on";
    EXPECT_TRUE(sawRun) << "the chain ran on the live input";
    EXPECT_FALSE(core->Filters().RunBusy());
    EXPECT_EQ(core->Run().engineState, kEngineStopped);
    EXPECT_EQ(core->Run().liveInput, 0);
    ASSERT_TRUE(FileExists(log));
    logSizes.push_back(test::ReadBytes(log).size());
    if (take == 0) {
      ASSERT_TRUE(frame->OpenDocument(QString::fromStdString(log)));
    }
  }
  // The document window showing the log shows what the second run appended.
  ASSERT_NE(frame->ActiveChild(), nullptr);
  EXPECT_EQ(frame->ActiveChild()->View().State().Pane(PaneId::Source).DataLength(), logSizes[1] - 44);
  EXPECT_GT(logSizes[0], 44u + 44100) << "the first run logged about a second";
  EXPECT_GT(logSizes[1], logSizes[0] + 44100) << "the second run appended";
  EXPECT_TRUE(prompts.Entries().empty()) << prompts.Texts().front();
}

}  // namespace
}  // namespace ztlive
