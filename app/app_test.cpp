// The application window end to end: real widgets under the offscreen platform, real files,
// and the real sound card layer on a private JACK server where a test needs sound.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QStatusBar>
#include <QtTest/QTest>
#include <QRadioButton>
#include <QGroupBox>
#include <QLabel>
#include <QMdiSubWindow>
#include <csignal>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "app/app_core.h"
#include "app/child_frame.h"
#include "app/filter_windows.h"
#include "app/main_frame.h"
#include "app/progress_window.h"
#include "app/save_destination_dialog.h"
#include "app/start_up.h"
#include "app/window_placement.h"
#include "core/peak_file.h"
#include "core/temp_files.h"
#include "core/wave_stream.h"
#include "document/demo_recording.h"
#include "live/multi_filter_window.h"
#include "platform/file_ops.h"
#include "platform/folders.h"
#include "platform/instance_lock.h"
#include "platform/portaudio_wave_system.h"
#include "platform/scripted_prompts.h"
#include "platform/string_table.h"
#include "platform/virtual_sound_card.h"
#include "testing/gui_test_support.h"
#include "testing/jack_test_server.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using test::TestFolder;

constexpr uint32_t kRate = 44100;

// Two tones, 200 Hz and 6 kHz, of equal level: a low pass at 1 kHz keeps the first only.
void WriteTwoTones(const std::string& path, double seconds, int channels = 2) {
  const auto frames = static_cast<size_t>(seconds * kRate);
  std::vector<int16_t> samples;
  samples.reserve(frames * static_cast<size_t>(channels));
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double value = 8000 * std::sin(2 * std::numbers::pi * 200 * t) + 8000 * std::sin(2 * std::numbers::pi * 6000 * t);
    for (int c = 0; c < channels; ++c) samples.push_back(static_cast<int16_t>(std::lround(value)));
  }
  test::WriteBytes(path, test::WaveBytes()
                             .Format(1, static_cast<uint16_t>(channels), kRate, 16)
                             .Data(test::Samples16(samples))
                             .Build());
}

WaveFormat FormatOf(const std::string& path) {
  WaveStream stream(4096, 0);
  if (stream.Open(path, kOpenRead) != kStreamOk) return {};
  return stream.Format();
}

template <typename Condition>
bool WaitFor(Condition condition, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!condition()) {
    if (timer.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

QPushButton* ButtonNamed(QWidget& window, const QString& text) {
  for (QPushButton* button : window.findChildren<QPushButton*>())
    if (button->text() == text) return button;
  return nullptr;
}

// Answers the next save dialog with path, or cancels it when path is empty.
void AnswerSaveDialog(const std::string& path) {
  test::WhenModalOpens([path](QDialog& dialog) {
    auto* save = qobject_cast<SaveDestinationDialog*>(&dialog);
    auto* name = save != nullptr ? save->findChild<QLineEdit*>("fileNameEdit") : nullptr;
    if (path.empty() || name == nullptr) return dialog.reject();
    name->setText(QString::fromStdString(path));
    static_cast<QDialog&>(*save).accept();
  });
}

// Closes a document window as its close box does; true when it closed.
bool CloseWindowOf(CChildFrame& child) {
  auto* window = qobject_cast<QMdiSubWindow*>(child.parentWidget());
  const bool closed = window != nullptr && window->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return closed;
}

// The ztlive program running on its own, as a second instance; killed at the end like a crash.
class RunningInstance {
 public:
  RunningInstance() {
    char program[] = ZTLIVE_APP_BINARY;
    char* argv[] = {program, nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&m_pid, program, &actions, nullptr, argv, environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~RunningInstance() { Kill(); }
  bool Started() const { return m_pid > 0; }
  void Kill() {
    if (m_pid <= 0) return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }

 private:
  pid_t m_pid = -1;
};

// Every test gets its own configuration and cache folders, so settings and presets written by
// one window never reach another test.
class AppWindowTest : public ::testing::Test {
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

  // The sound card layer goes before the server it talks to.
  void TearDown() override {
    frame.reset();
    core.reset();
    server.reset();
  }

  std::string TempFolder() const { return core->Settings().Read(setting::kTempPath); }

  // A document on a short two-tone file, filtered by the median into a temporary destination.
  CChildFrame& OpenFiltered(const std::string& name) {
    const std::string wave = folder.File(name);
    WriteTwoTones(wave, 0.3, 1);
    EXPECT_TRUE(frame->OpenDocument(QString::fromStdString(wave)));
    CChildFrame& child = *frame->ActiveChild();
    QDialog* window = frame->OpenFilterWindow(6, QString());
    if (QPushButton* run = window != nullptr ? ButtonNamed(*window, "Run &Filter") : nullptr; run != nullptr) run->click();
    window->close();
    EXPECT_TRUE(child.Document().DestinationIsTemporary());
    EXPECT_TRUE(FileExists(child.Document().DestinationName()));
    return child;
  }

  TestFolder folder;
  ScriptedPrompts prompts;
  std::unique_ptr<test::ScopedEnvironment> m_home;
  std::unique_ptr<test::ScopedEnvironment> m_cache;
  std::unique_ptr<test::JackTestServer> server;
  std::unique_ptr<AppCore> core;
  std::unique_ptr<CMainFrame> frame;
};

TEST(WindowPlacementText, TenNumbersRoundTripAndAnythingElseIsNoPlacement) {
  WindowPlacement placement;
  placement.showState = WindowPlacement::kShowMaximized;
  placement.left = 10;
  placement.top = -20;
  placement.right = 810;
  placement.bottom = 580;
  const std::string text = FormatWindowPlacement(placement);
  EXPECT_EQ(text, "0,3,-1,-1,-1,-1,10,-20,810,580");
  const std::optional<WindowPlacement> back = ParseWindowPlacement(text);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->showState, 3u);
  EXPECT_EQ(back->top, -20);
  EXPECT_EQ(back->bottom, 580);
  for (const char* bad : {"", "1,2,3", "0,1,2,3,4,5,6,7,8,9,10", "0,1,2,3,4,5,6,7,8,x", "0,1,,3,4,5,6,7,8,9"})
    EXPECT_FALSE(ParseWindowPlacement(bad).has_value()) << bad;
}

TEST_F(AppWindowTest, StartUpOpensTheCommandLinesFileAndWarnsOfAMissingTemporaryFolder) {
  const std::string wave = folder.File("tones.wav");
  WriteTwoTones(wave, 1.0);
  StartWith(std::make_unique<VirtualSoundCard>(0, 0));
  core->Settings().Write(setting::kTempPath, folder.File("no such folder"));
  StartOptions options;
  options.files.push_back(QString::fromStdString(wave));
  EXPECT_FALSE(StartUp(*frame, *core, options).has_value());
  ASSERT_EQ(frame->Children().size(), 1);
  EXPECT_EQ(frame->ActiveChild()->Document().SourceName(), wave);
  EXPECT_EQ(frame->ActiveChild()->View().State().Pane(PaneId::Source).DataLength(), kRate * 4);
  ASSERT_EQ(prompts.Texts().size(), 1u);
  EXPECT_EQ(prompts.Texts()[0], StringText(StringId::kTempFolderMissing));

  // The default temporary folder is made when missing, so a first start has no warning.
  prompts.Clear();
  core->Settings().Remove(setting::kTempPath.section, setting::kTempPath.key);
  EXPECT_TRUE(CheckTempFolder(*core));
  EXPECT_TRUE(prompts.Texts().empty());

  EXPECT_FALSE(ParseStartOptions({"--screenshot"}).has_value());
  EXPECT_FALSE(ParseStartOptions({"--bogus"}).has_value());
}

TEST_F(AppWindowTest, AFileWhoseHeaderClaimsTooLittleOpensWholeAndTheStatusSaysSo) {
  // A writer killed before its header caught up: 4 bytes claimed, 4000 frames present.
  const std::string killed = folder.File("killed.wav");
  test::WriteBytes(killed, test::WaveBytes().Format(1, 1, kRate, 16).Data(std::vector<uint8_t>(8000, 1), 4).Build(40));
  StartWith(std::make_unique<VirtualSoundCard>(0, 0));
  ASSERT_TRUE(frame->OpenDocument(QString::fromStdString(killed)));
  EXPECT_EQ(frame->ActiveChild()->View().State().Pane(PaneId::Source).DataLength(), 8000);
  EXPECT_EQ(frame->statusBar()->currentMessage().toStdString(), StringText(StringId::kLengthRecovered));
}

TEST_F(AppWindowTest, DroppedFilesOpenOnceAndTheRecentListKeepsTheLastFour) {
  StartWith(std::make_unique<VirtualSoundCard>(0, 0));
  std::vector<std::string> files;
  for (int i = 0; i < 5; ++i) {
    files.push_back(folder.File("file" + std::to_string(i) + ".wav"));
    WriteTwoTones(files.back(), 0.2, 1);
  }
  QMimeData data;
  QList<QUrl> urls;
  for (const std::string& file : files) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(file)));
  urls.push_back(urls.front());  // the same file again only brings its window to the front
  data.setUrls(urls);
  // The drop goes to the widget that accepted the drag's entry.
  QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(frame.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(frame.get(), &drop);
  EXPECT_EQ(frame->Children().size(), 5);
  const std::vector<std::string> expected = {files[4], files[3], files[2], files[1]};
  EXPECT_EQ(frame->Recent().Files(), expected);

  // A file that is not a wave file says so, opens nothing and leaves the list.
  const std::string broken = folder.File("broken.wav");
  test::WriteFileText(broken, "not a wave file");
  EXPECT_FALSE(frame->OpenDocument(QString::fromStdString(broken)));
  EXPECT_EQ(frame->Children().size(), 5);
  EXPECT_FALSE(prompts.Texts().empty());

  // The list and the window's placement are there again at the next start.
  frame->setGeometry(40, 50, 900, 640);
  frame->close();
  frame = std::make_unique<CMainFrame>(*core);
  frame->RestorePlacement();
  EXPECT_EQ(frame->Recent().Files(), expected);
  EXPECT_EQ(frame->geometry().size(), QSize(900, 640));
  const std::optional<WindowPlacement> stored = ParseWindowPlacement(core->Settings().Read(setting::kWindowPos));
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->right - stored->left, 900);
}

TEST_F(AppWindowTest, TheProgressWindowShowsDuringARunAndItsCancelStopsTheRun) {
  const std::string wave = folder.File("long.wav");
  WriteTwoTones(wave, 120.0);
  StartWith(std::make_unique<VirtualSoundCard>(0, 0));
  ASSERT_TRUE(frame->OpenDocument(QString::fromStdString(wave)));
  bool seen = false;
  // Polled inside the run (its block reads dispatch Qt's events): once a part of the region
  // is done, the window must be up, and its Cancel ends the run.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    ProgressWindow* progress = frame->Progress();
    if (progress == nullptr || core->Run().readPosition < core->Run().regionStart + (1u << 20)) return;
    seen = progress->isVisible();
    poll.stop();
    progress->CancelButton().click();
  });
  poll.start(1);
  QDialog* window = frame->OpenFilterWindow(6, QString());  // the median is slow enough to be caught
  ASSERT_NE(window, nullptr);
  QPushButton* run = ButtonNamed(*window, "Run &Filter");
  ASSERT_NE(run, nullptr);
  run->click();
  EXPECT_TRUE(seen);
  EXPECT_EQ(frame->Progress(), nullptr) << "the window goes with the run";
  const std::string destination = frame->ActiveChild()->Document().DestinationName();
  ASSERT_FALSE(destination.empty());
  EXPECT_TRUE(frame->ActiveChild()->Document().DestinationIsTemporary());
  EXPECT_LT(std::filesystem::file_size(destination), std::filesystem::file_size(wave)) << "the cancelled run holds what was written so far";
  EXPECT_GT(std::filesystem::file_size(destination), 44u);
}

// The user's whole job on the real sound card layer: open, select, play, preview the low pass,
// run it into the destination, play the destination, save it as 24-bit, make it the source.
TEST_F(AppWindowTest, TheMainJobWorksEndToEndOnTheSoundCard) {
  server = std::make_unique<test::JackTestServer>();
  if (!server->Running()) GTEST_SKIP() << server->FailureText();
  auto devices = std::make_unique<PortAudioWaveSystem>();
  const int loopbackOut = test::LoopbackDeviceId(devices->OutputDeviceNames());
  const int loopbackIn = test::LoopbackDeviceId(devices->InputDeviceNames());
  ASSERT_GE(loopbackOut, 0);
  ASSERT_GE(loopbackIn, 0);
  const std::string wave = folder.File("tones.wav");
  WriteTwoTones(wave, 2.0);
  StartWith(std::move(devices));
  core->Settings().Write(setting::kDevOut, loopbackOut);
  core->Settings().Write(setting::kDevIn, loopbackIn);
  core->Settings().Write(setting::kLoopPreview, 0);
  core->Run().loopPreview = 0;
  core->ApplyDeviceSettings();

  ASSERT_TRUE(frame->OpenDocument(QString::fromStdString(wave)));
  CChildFrame& child = *frame->ActiveChild();
  WavePane& source = child.View().State().Pane(PaneId::Source);
  const uint32_t second = kRate * 4;
  source.SetSelection(second / 2, second / 2 + second);
  child.View().PanesChanged();
  child.View().SetActivePane(PaneId::Source);
  test::SaveScreenshot(*frame, "main_window_source");

  // Play: the selection plays to its end and the engine stops by itself.
  frame->Command("play")->trigger();
  EXPECT_EQ(core->Run().engineState, kEnginePlaying);
  ASSERT_TRUE(WaitFor([&] { return core->Run().engineState == kEngineStopped; }, 10000));

  // Preview the low pass at 1 kHz, recording what the sound card plays.
  auto* window = frame->OpenFilterWindow(19, QString());
  ASSERT_NE(window, nullptr);
  QRadioButton* steepest = nullptr;
  for (QRadioButton* button : window->findChildren<QRadioButton*>())
    if (button->text() == "18dB/Octave") steepest = button;
  ASSERT_NE(steepest, nullptr);
  steepest->click();
  const std::string recorded = folder.File("preview.wav");
  WaveFormat format = FormatOf(wave);
  // A second engine records from the loopback, with a run state of its own that stays in
  // recording (183) whatever the window's engine does.
  RunState recorderRun;
  recorderRun.engineState = 183;
  WaveStream recorderPlay(4096, 0, recorderRun);
  WaveStream recorderRecord(4096, 0, recorderRun);
  DeviceEngine recorder(core->Devices(), core->Queue(), prompts, recorderRun, recorderPlay, recorderRecord,
                        DeviceEngine::Settings{unsigned(loopbackOut), unsigned(loopbackIn), 7});
  ASSERT_EQ(recorder.OpenInput(recorded, format, kCreateOverwrite), 0);
  QPushButton* preview = ButtonNamed(*window, "&Preview");
  ASSERT_NE(preview, nullptr);
  preview->click();  // returns when the preview has drained
  test::ProcessEventsFor(300);
  recorder.CloseInput();
  EXPECT_FALSE(child.Document().DestinationName().empty() && FileExists(child.Document().DestinationName()))
      << "a preview writes no destination";
  const double kept = ToneLevelDbfs(recorded, 200, core->Run());
  const double removed = ToneLevelDbfs(recorded, 6000, core->Run());
  EXPECT_GT(kept - removed, 30) << "the preview played the filtered region: 200 Hz " << kept << " dB, 6 kHz "
                                << removed << " dB";

  // Run it into the destination, which the lower pane then shows.
  QPushButton* run = ButtonNamed(*window, "Run &Filter");
  ASSERT_NE(run, nullptr);
  run->click();
  const std::string destination = child.Document().DestinationName();
  ASSERT_TRUE(FileExists(destination));
  EXPECT_TRUE(child.Document().DestinationIsTemporary());
  const WavePane& shown = child.View().State().Pane(PaneId::Destination);
  EXPECT_EQ(shown.FileName(), destination);
  EXPECT_EQ(shown.DataLength(), second);
  EXPECT_EQ(child.View().State().ActivePane(), PaneId::Destination);
  EXPECT_GT(ToneLevelDbfs(destination, 200, core->Run()) - ToneLevelDbfs(destination, 6000, core->Run()), 30);
  test::SaveScreenshot(*frame, "main_window_with_destination");

  // Play the destination.
  child.View().State().Pane(PaneId::Destination).SetSelection(0, second);
  child.View().PanesChanged();
  frame->Command("play")->trigger();
  EXPECT_EQ(core->Run().engineState, kEnginePlaying);
  ASSERT_TRUE(WaitFor([&] { return core->Run().engineState == kEngineStopped; }, 10000));

  // Save it as 24-bit through the save dialog.
  const std::string saved = folder.File("filtered24.wav");
  test::WhenModalOpens([&](QDialog& dialog) {
    auto* save = qobject_cast<SaveDestinationDialog*>(&dialog);
    if (save == nullptr) return dialog.reject();
    // Typed into the dialog's name field, as a user would.
    auto* name = save->findChild<QLineEdit*>("fileNameEdit");
    if (name == nullptr) return dialog.reject();
    name->setText(QString::fromStdString(saved));
    save->SetBitsPerSample(24);
    static_cast<QDialog&>(*save).accept();  // QFileDialog takes the chosen name in its accept
  });
  frame->Command("saveDestinationAs")->trigger();
  EXPECT_EQ(FormatOf(saved).bitsPerSample, 24);
  EXPECT_EQ(child.Document().DestinationName(), saved);
  EXPECT_FALSE(child.Document().DestinationIsTemporary());
  EXPECT_FALSE(FileExists(destination)) << "the temporary destination is deleted once saved";
  EXPECT_NEAR(ToneLevelDbfs(saved, 200, core->Run()), ToneLevelDbfs(wave, 200, core->Run()), 1.0);

  // Make it the source: a new document on the saved file; this one has no destination now.
  frame->Command("makeDestinationTheSource")->trigger();
  ASSERT_EQ(frame->Children().size(), 2);
  EXPECT_EQ(frame->ActiveChild()->Document().SourceName(), saved);
  EXPECT_TRUE(child.Document().DestinationName().empty());
  EXPECT_EQ(prompts.UnscriptedQuestions(), 0u);
}

TEST_F(AppWindowTest, TheMultiFilterCommandKeepsOneChainWindowThatRunsOverTheActiveDocument) {
  StartWith(std::make_unique<VirtualSoundCard>(0, 0));
  for (const FilterWindowEntry& entry : FilterWindowEntries())
    EXPECT_FALSE(frame->Command(QString::fromStdString("filter" + std::to_string(entry.typeId)))->icon().isNull())
        << entry.typeId;
  QAction* command = frame->Command("multiFilter");
  ASSERT_NE(command, nullptr);
  EXPECT_EQ(command->text(), "LI&VE! Multi Filter...");
  command->trigger();
  QPointer<MultiFilterWindow> window = frame->ChainWindow();
  ASSERT_NE(window, nullptr);
  command->trigger();
  EXPECT_EQ(frame->ChainWindow(), window.data()) << "one chain window at a time";
  EXPECT_EQ(frame->findChildren<MultiFilterWindow*>().size(), 1);

  const std::string wave = folder.File("chain.wav");
  WriteTwoTones(wave, 0.3, 1);
  ASSERT_TRUE(frame->OpenDocument(QString::fromStdString(wave)));
  ASSERT_NE(window->Chain().InsertFilter(6), nullptr);
  window->RunButton().click();
  CZantoDoc& document = frame->ActiveChild()->Document();
  EXPECT_TRUE(document.DestinationIsTemporary());
  EXPECT_TRUE(FileExists(document.DestinationName())) << testing::PrintToString(prompts.Texts());

  window->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(window, nullptr) << "a closed chain window is gone";
  command->trigger();
  EXPECT_NE(frame->ChainWindow(), nullptr);
}

TEST_F(AppWindowTest, DiscardDeletesATemporaryDestinationButOnlyClosesASavedOne) {
  StartWith(std::make_unique<VirtualSoundCard>(0, 0));
  for (const bool saveFirst : {false, true}) {
    SCOPED_TRACE(saveFirst ? "saved" : "temporary");
    CChildFrame& child = OpenFiltered(saveFirst ? "saved.wav" : "temporary.wav");
    const std::string temporary = child.Document().DestinationName();
    ASSERT_TRUE(FileExists(PeakFile::PeakFileName(temporary))) << "the destination pane made its peak file";
    std::string kept = temporary;
    if (saveFirst) {
      kept = folder.File("kept.wav");
      AnswerSaveDialog(kept);
      frame->Command("saveDestinationAs")->trigger();
      ASSERT_EQ(child.Document().DestinationName(), kept);
      ASSERT_TRUE(FileExists(PeakFile::PeakFileName(kept)));
    }
    frame->Command("discardDestination")->trigger();
    EXPECT_TRUE(child.Document().DestinationName().empty());
    EXPECT_TRUE(child.View().State().Pane(PaneId::Destination).FileName().empty());
    EXPECT_FALSE(FileExists(temporary));
    EXPECT_FALSE(FileExists(PeakFile::PeakFileName(temporary)));
    EXPECT_EQ(FileExists(kept), saveFirst) << "the user's saved file is never deleted";
    EXPECT_EQ(FileExists(PeakFile::PeakFileName(kept)), saveFirst);
  }
  EXPECT_EQ(prompts.UnscriptedQuestions(), 0u);
}

TEST_F(AppWindowTest, ClosingADocumentWithAnUnsavedFilteredDestinationAsksToSaveIt) {
  StartWith(std::make_unique<VirtualSoundCard>(0, 0));
  const struct {
    const char* name;
    PromptAnswer answer;
    bool saveInDialog;  // for Yes: the save dialog is given a name, else cancelled
    bool closes;
    bool temporaryStays;
  } cases[] = {
      {"yes-saved", PromptAnswer::Yes, true, true, false},
      {"yes-dialog-cancelled", PromptAnswer::Yes, false, false, true},
      {"no", PromptAnswer::No, false, true, false},
      {"cancel", PromptAnswer::Cancel, false, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CChildFrame& child = OpenFiltered(std::string(c.name) + ".wav");
    const std::string source = child.Document().SourceName();
    const std::string temporary = child.Document().DestinationName();
    const std::string saved = folder.File(std::string(c.name) + "-filtered.wav");
    prompts.Clear();
    prompts.Script(c.answer);
    if (c.answer == PromptAnswer::Yes) AnswerSaveDialog(c.saveInDialog ? saved : "");
    const QPointer<CChildFrame> watched(&child);
    EXPECT_EQ(CloseWindowOf(child), c.closes);
    EXPECT_EQ(watched.isNull(), c.closes);
    ASSERT_EQ(prompts.Entries().size(), 1u);
    EXPECT_EQ(prompts.Entries()[0].text, FormatText(StringId::kCloseSaveDestination, {source}));
    EXPECT_EQ(prompts.Entries()[0].buttons, PromptButtons::YesNoCancel);
    EXPECT_EQ(FileExists(temporary), c.temporaryStays);
    EXPECT_EQ(FileExists(PeakFile::PeakFileName(temporary)), c.temporaryStays);
    EXPECT_EQ(FileExists(saved), c.saveInDialog);
    if (!c.closes) {
      // Kept open: the destination is still there to be saved; now let it go.
      EXPECT_EQ(watched->Document().DestinationName(), temporary);
      prompts.Script(PromptAnswer::No);
      EXPECT_TRUE(CloseWindowOf(*watched));
      EXPECT_FALSE(FileExists(temporary));
    }
  }
  // A document whose destination is saved, or that has none, closes without a question.
  ASSERT_TRUE(frame->OpenDocument(QString::fromStdString(folder.File("no.wav"))));
  prompts.Clear();
  EXPECT_TRUE(CloseWindowOf(*frame->ActiveChild()));
  EXPECT_TRUE(prompts.Entries().empty());
  EXPECT_TRUE(FileExists(folder.File("yes-saved-filtered.wav")));
}

TEST_F(AppWindowTest, QuittingAsksTheSameAndCancelKeepsTheProgramRunning) {
  StartWith(std::make_unique<VirtualSoundCard>(0, 0));
  CChildFrame& child = OpenFiltered("tones.wav");
  const std::string temporary = child.Document().DestinationName();
  prompts.Script(PromptAnswer::Cancel);
  EXPECT_FALSE(frame->close()) << "Cancel stops the quit";
  EXPECT_TRUE(frame->isVisible());
  ASSERT_EQ(frame->Children().size(), 1);
  EXPECT_TRUE(FileExists(temporary));

  prompts.Script(PromptAnswer::No);
  EXPECT_TRUE(frame->close());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(frame->Children().isEmpty());
  EXPECT_FALSE(FileExists(temporary)) << "nothing is left orphaned in the temporary folder";
  EXPECT_FALSE(FileExists(PeakFile::PeakFileName(temporary)));
  EXPECT_EQ(prompts.Entries().size(), 2u);
  EXPECT_EQ(prompts.UnscriptedQuestions(), 0u);
}

TEST_F(AppWindowTest, AnEndedSessionsTemporaryFilesAreOfferedOnceAndOpenedOrRemoved) {
  for (const PromptAnswer answer : {PromptAnswer::Yes, PromptAnswer::No}) {
    SCOPED_TRACE(Prompts::AnswerName(answer));
    StartWith(std::make_unique<VirtualSoundCard>(0, 0));
    const std::string temp = TempFolder();
    ASSERT_EQ(EnsureFolder(temp), 0);
    const std::vector<std::string> leftovers = {JoinPath(temp, "zttmp2.wav"), JoinPath(temp, "zttmp10.wav")};
    for (const std::string& path : leftovers) {
      WriteTwoTones(path, 0.2, 1);
      test::WriteFileText(PeakFile::PeakFileName(path), "old peaks");
    }
    const std::string other = JoinPath(temp, "notes.wav");
    WriteTwoTones(other, 0.1, 1);
    prompts.Clear();
    prompts.Script(answer);
    EXPECT_FALSE(StartUp(*frame, *core, StartOptions{}).has_value());
    ASSERT_EQ(prompts.Entries().size(), 1u);
    EXPECT_EQ(prompts.Entries()[0].text, FormatText(StringId::kRecoverTempFiles, {"2", temp}));
    EXPECT_TRUE(FileExists(other)) << "only temporary names are ours";
    if (answer == PromptAnswer::Yes) {
      ASSERT_EQ(frame->Children().size(), 2);
      for (size_t i = 0; i < leftovers.size(); ++i) {
        CZantoDoc& document = frame->Children()[static_cast<qsizetype>(i)]->Document();
        EXPECT_EQ(document.SourceName(), leftovers[i]);
        EXPECT_TRUE(document.SourceIsTemporary());
        EXPECT_TRUE(FileExists(leftovers[i]));
      }
      EXPECT_TRUE(frame->Recent().Files().empty()) << "temporary files do not join the recent list";
      // Saved: the file moves to the user's name. Not saved: it goes with its window.
      const std::string saved = folder.File("recovered.wav");
      prompts.Script(PromptAnswer::Yes);
      AnswerSaveDialog(saved);
      EXPECT_TRUE(CloseWindowOf(*frame->Children()[0]));
      EXPECT_TRUE(FileExists(saved));
      EXPECT_FALSE(FileExists(leftovers[0]));
      prompts.Script(PromptAnswer::No);
      EXPECT_TRUE(CloseWindowOf(*frame->Children()[0]));
      EXPECT_FALSE(FileExists(leftovers[1]));
      EXPECT_FALSE(FileExists(PeakFile::PeakFileName(leftovers[1])));
    } else {
      EXPECT_TRUE(frame->Children().isEmpty());
      for (const std::string& path : leftovers) {
        EXPECT_FALSE(FileExists(path));
        EXPECT_FALSE(FileExists(PeakFile::PeakFileName(path)));
      }
    }
    EXPECT_EQ(prompts.UnscriptedQuestions(), 0u);
    frame.reset();
    core.reset();
    DeleteFile(other);
  }
}

// A second program running on the same temporary folder keeps its files from being offered
// or deleted; once it has crashed, they are leftovers like any other.
TEST_F(AppWindowTest, TheTemporaryFilesOfAnotherRunningInstanceAreLeftAlone) {
  const std::string temp = DefaultTempFolder();
  ASSERT_EQ(EnsureFolder(temp), 0);
  RunningInstance other;
  ASSERT_TRUE(other.Started());
  ASSERT_TRUE(WaitFor([&] { return InstanceLockHeld(temp); }, 20000)) << "the other instance holds the folder";
  const std::string itsFile = JoinPath(temp, "zttmp1.wav");
  WriteTwoTones(itsFile, 0.2, 1);

  StartWith(std::make_unique<VirtualSoundCard>(0, 0));
  ASSERT_EQ(TempFolder(), temp);
  EXPECT_FALSE(StartUp(*frame, *core, StartOptions{}).has_value());
  EXPECT_TRUE(prompts.Entries().empty()) << "nothing is offered while another instance runs";
  EXPECT_TRUE(FileExists(itsFile));
  EXPECT_EQ(core->TempFolderLock().Held(), InstanceLock::State::kShared);
  frame.reset();
  core.reset();

  other.Kill();
  EXPECT_FALSE(InstanceLockHeld(temp)) << "a crashed instance holds nothing";
  StartWith(std::make_unique<VirtualSoundCard>(0, 0));
  prompts.Script(PromptAnswer::No);
  StartUp(*frame, *core, StartOptions{});
  ASSERT_EQ(prompts.Entries().size(), 1u);
  EXPECT_EQ(prompts.Entries()[0].text, FormatText(StringId::kRecoverTempFiles, {"1", temp}));
  EXPECT_FALSE(FileExists(itsFile));
}

TEST_F(AppWindowTest, TheClickFiltersProgressShowsItsCountsUnderTheirHeading) {
  StartWith(std::make_unique<VirtualSoundCard>(0, 0));
  for (const bool clicks : {true, false}) {
    SCOPED_TRACE(clicks);
    ProgressModel model(core->Run(), 4 * kRate, clicks, kRate);
    ProgressWindow window(model, core->Run(), frame.get());
    window.show();
    auto* heading = window.findChild<QGroupBox*>("clicksDetected");
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->title().toStdString(), "Total Clicks Detected");
    EXPECT_EQ(heading->isVisible(), clicks);
    QStringList texts;
    for (QLabel* label : heading->findChildren<QLabel*>()) texts.push_back(label->text());
    if (clicks) {
      EXPECT_TRUE(texts.contains("Total clicks: 0")) << texts.join(" | ").toStdString();
      EXPECT_TRUE(texts.contains("Clicks/Sec 0")) << texts.join(" | ").toStdString();
      EXPECT_FALSE(test::SaveScreenshot(window, "progress_window_clicks").isEmpty());
    }
  }
}

TEST(AppProgram, TheScreenshotOptionSavesAPictureOfTheWindowOnAFile) {
  TestFolder folder;
  const std::string wave = folder.File("tones.wav");
  WriteTwoTones(wave, 1.0);
  const std::string picture = folder.File("window.png");
  test::ScopedEnvironment platform("QT_QPA_PLATFORM", "offscreen");
  test::ScopedEnvironment home("ZTLIVE_HOME", folder.File("home"));
  test::ScopedEnvironment cache("XDG_CACHE_HOME", folder.File("cache"));
  EXPECT_EQ(test::RunProgram({ZTLIVE_APP_BINARY, "--screenshot", picture, wave}), 0);
  const QImage image(QString::fromStdString(picture));
  ASSERT_FALSE(image.isNull());
  EXPECT_GE(image.width(), 600);
  EXPECT_GE(image.height(), 400);
  EXPECT_EQ(test::RunProgram({ZTLIVE_APP_BINARY, "--screenshot"}), 2);
}

}  // namespace
}  // namespace ztlive
