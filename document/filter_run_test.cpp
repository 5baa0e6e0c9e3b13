// The filter run on real files: destinations, sync mode, questions, channel checks, bad
// input, stops and value updates during a run, previews on the virtual sound card, progress.
#include "document/filter_run.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "core/peak_file.h"
#include "document/staged_output.h"
#include "filters/eq/low_pass_filter.h"
#include "platform/file_ops.h"
#include "platform/scripted_prompts.h"
#include "platform/virtual_sound_card.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using test::TestFolder;
using test::WaveBytes;

// 16-bit values that tell where they came from.
std::vector<int16_t> Ramp(size_t count, int step = 3) {
  std::vector<int16_t> values(count);
  for (size_t i = 0; i < count; ++i) values[i] = static_cast<int16_t>((i * step) % 20000 - 10000);
  return values;
}

std::vector<int16_t> DataValues(const std::string& path) {
  const std::vector<uint8_t> bytes = test::ReadBytes(path);
  std::vector<int16_t> values((bytes.size() - 44) / 2);
  std::memcpy(values.data(), bytes.data() + 44, values.size() * 2);
  return values;
}

PresetValues Values(std::initializer_list<int32_t> list) {
  PresetValues values;
  size_t i = 0;
  for (const int32_t v : list) values.p[i++] = v;
  return values;
}

class TestView : public RunView {
 public:
  explicit TestView(CZantoDoc& doc) : document(doc) {}
  CZantoDoc& Document() override { return document; }
  void Selection(int64_t& first, int64_t& last) override {
    first = selectionFirst;
    last = selectionLast;
  }
  void SetDestinationName(const std::string& name) override { shownDestination = name; }
  void MakeDestinationPaneActive() override { destinationActive = true; }
  void StartCursorTimer() override { ++cursorTimers; }
  void ShowStatus(const std::string& text) override { statuses.push_back(text); }
  void RefreshAll() override { ++refreshes; }

  CZantoDoc& document;
  int64_t selectionFirst = 0;
  int64_t selectionLast = 0;
  std::string shownDestination;
  bool destinationActive = false;
  int cursorTimers = 0;
  int refreshes = 0;
  std::vector<std::string> statuses;
};

class TestDialog : public RunDialog {
 public:
  FilterProcessor* AttachProcessor(FilterProcessor* processor) override {
    attached.push_back(processor);
    FilterProcessor* previous = current;
    current = processor;
    return previous;
  }
  void EnableRunControls(bool enabled) override { enables.push_back(enabled); }
  FilterProcessor* current = nullptr;
  std::vector<FilterProcessor*> attached;
  std::vector<bool> enables;
};

class FilterRunTest : public ::testing::Test {
 protected:
  FilterRunTest() { input.SetMessageQueue(&queue); }

  void WriteSource(const std::string& name, int channels, const std::vector<int16_t>& values) {
    test::WriteBytes(folder.File(name),
                     WaveBytes().Format(1, static_cast<uint16_t>(channels), 8000, 16).Data(test::Samples16(values)).Build());
  }

  // The run's result when a low pass (or type) runs over the source into the destination.
  int Run(FilterTypeId type, const PresetValues& values, bool preview = false, int channelMode = -1) {
    return filterRun.RunFilter(&view, type, &dialog, preview, channelMode, values);
  }

  TestFolder folder;
  TestFolder temp;
  SettingsStore settings{folder.File("settings.ini")};
  const int tempPathStored = settings.WriteText("zantopaths", "TempPath", temp.Path());  // before the document
  ScriptedPrompts prompts;
  RunState run;
  MessageQueue queue;
  VirtualSoundCard card;
  WaveStream input{4096, 8192, run};
  WaveStream output{4096, 8192, run};
  DeviceEngine devices{card, queue, prompts, run, output, input, {}};
  FilterRun filterRun{RunServices{run, queue, prompts, settings, devices, input, output}};
  CZantoDoc document{folder.File("source.wav"), settings, prompts};
  TestView view{document};
  TestDialog dialog;
  const PresetValues lowPass = Values({1, 1000});
};

// What the low pass writes for these values, run straight through the engine.
std::vector<int16_t> Filtered(const std::vector<int16_t>& values, int channels) {
  LowPassProcessor engine;
  engine.SetValues(Values({1, 1000}));
  TestFolder scratch;
  RunState run;
  test::WriteBytes(scratch.File("in.wav"),
                   WaveBytes().Format(1, static_cast<uint16_t>(channels), 8000, 16).Data(test::Samples16(values)).Build());
  WaveStream in(4096, 8192, run);
  WaveStream out(4096, 8192, run);
  in.Open(scratch.File("in.wav"), kOpenRead);
  run.regionEnd = static_cast<uint32_t>(values.size() * 2);
  WaveFormat format = in.Format();
  out.Create(scratch.File("out.wav"), format, kCreateOverwrite);
  out.SetMode(kModeFile);
  out.PrepareWriteBuffer();
  engine.Prepare(in, out);
  SampleValue* first = nullptr;
  SampleValue* last = nullptr;
  while (in.ReadBlock(0, 0, &first, &last) == 0) engine.Process(in, out);
  out.FinishWrite(kFlagDirty, kFlagDirty);
  out.Close();
  return DataValues(scratch.File("out.wav"));
}

TEST_F(FilterRunTest, ARunWithoutADestinationMakesATemporaryOneAndItsPeaks) {
  const std::vector<int16_t> source = Ramp(30000);
  WriteSource("source.wav", 1, source);
  const std::vector<uint8_t> sourceBytes = test::ReadBytes(folder.File("source.wav"));
  ASSERT_EQ(Run(19, lowPass), 1);
  EXPECT_TRUE(document.DestinationIsTemporary());
  EXPECT_EQ(document.DestinationName(), temp.File("zttmp1.wav"));
  EXPECT_EQ(view.shownDestination, document.DestinationName());
  EXPECT_TRUE(view.destinationActive);
  EXPECT_TRUE(document.Modified());
  EXPECT_EQ(view.cursorTimers, 1);
  EXPECT_EQ(DataValues(document.DestinationName()), Filtered(source, 1));
  EXPECT_TRUE(FileExists(PeakFile::PeakFileName(document.DestinationName())));
  EXPECT_EQ(view.statuses, std::vector<std::string>{"Please wait, building peak waveform display..."});
  EXPECT_EQ(test::ReadBytes(folder.File("source.wav")), sourceBytes) << "the source is never touched";
  EXPECT_FALSE(filterRun.RunBusy());
  // The window got the running engine and its controls back.
  ASSERT_EQ(dialog.attached.size(), 2u);
  EXPECT_NE(dialog.attached[0], nullptr);
  EXPECT_EQ(dialog.attached[1], nullptr);
  EXPECT_EQ(dialog.enables, (std::vector<bool>{false, true}));
  EXPECT_TRUE(prompts.Entries().empty());
}

TEST_F(FilterRunTest, OutsideSyncModeAnExistingDestinationIsReplacedByTheRegionAfterTheQuestion) {
  document.SetSyncMode(0);
  const std::vector<int16_t> source = Ramp(20000);
  WriteSource("source.wav", 1, source);
  WriteSource("dest.wav", 1, Ramp(50000, 7));
  const std::vector<uint8_t> before = test::ReadBytes(folder.File("dest.wav"));
  document.SetDestinationName(folder.File("dest.wav"), false);
  view.selectionFirst = 2 * 1000;
  view.selectionLast = 2 * 9000;

  prompts.Script(PromptAnswer::No);
  EXPECT_EQ(Run(19, lowPass), 1) << "a declined question is no failure";
  EXPECT_EQ(test::ReadBytes(folder.File("dest.wav")), before);
  EXPECT_EQ(prompts.Entries()[0].text, "The destination file alreadys exists, do you want to overwrite " + folder.File("dest.wav"));
  EXPECT_EQ(prompts.Entries()[0].caption, "File exists");

  prompts.Script(PromptAnswer::Yes);
  ASSERT_EQ(Run(19, lowPass), 1);
  const std::vector<int16_t> expected = Filtered(std::vector<int16_t>(source.begin() + 1000, source.begin() + 9000), 1);
  EXPECT_EQ(DataValues(folder.File("dest.wav")), expected);
}

TEST_F(FilterRunTest, SyncModeWritesTheRegionInPlaceOrAppendsAfterTheQuestion) {
  ASSERT_EQ(document.SyncMode(), 1) << "the default";
  const std::vector<int16_t> source = Ramp(20000);
  WriteSource("source.wav", 1, source);
  const std::vector<int16_t> old = Ramp(12000, 7);
  WriteSource("dest.wav", 1, old);
  const std::vector<uint8_t> original = test::ReadBytes(folder.File("dest.wav"));
  document.SetDestinationName(folder.File("dest.wav"), false);

  // Inside the destination: the region lands at its own position, the rest stays.
  view.selectionFirst = 2 * 4096;
  view.selectionLast = 2 * 8192;
  ASSERT_EQ(Run(19, lowPass), 1);
  std::vector<int16_t> values = DataValues(folder.File("dest.wav"));
  ASSERT_EQ(values.size(), old.size());
  const std::vector<int16_t> region =
      Filtered(std::vector<int16_t>(source.begin() + 4096, source.begin() + 8192), 1);
  EXPECT_TRUE(std::equal(region.begin(), region.end(), values.begin() + 4096));
  EXPECT_TRUE(std::equal(old.begin(), old.begin() + 4096, values.begin()));
  EXPECT_TRUE(std::equal(old.begin() + 8192, old.end(), values.begin() + 8192));

  // Beyond the destination's end: No leaves it as it was plus one zero word.
  view.selectionFirst = 2 * 15000;
  view.selectionLast = 2 * 17000;
  prompts.Script(PromptAnswer::No);
  const std::vector<int16_t> kept = DataValues(folder.File("dest.wav"));
  ASSERT_EQ(Run(19, lowPass), 1);
  EXPECT_EQ(prompts.Entries().back().text,
            "The destination file is not long to apply this filter in Sync Mode, Do you want to append the filtered "
            "section to the end of the file?");
  values = DataValues(folder.File("dest.wav"));
  ASSERT_EQ(values.size(), kept.size() + 1);
  EXPECT_TRUE(std::equal(kept.begin(), kept.end(), values.begin()));
  EXPECT_EQ(values.back(), 0);

  // Yes appends the filtered region at the end.
  prompts.Script(PromptAnswer::Yes);
  ASSERT_EQ(Run(19, lowPass), 1);
  const std::vector<int16_t> appended = DataValues(folder.File("dest.wav"));
  ASSERT_EQ(appended.size(), values.size() + 2000);
  const std::vector<int16_t> tail = Filtered(std::vector<int16_t>(source.begin() + 15000, source.begin() + 17000), 1);
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), appended.begin() + static_cast<long>(values.size())));

  // Every run that wrote into the destination is an undo entry of its own; undone newest
  // first, the destination is byte for byte what it was, its old length included.
  UndoStore& undo = document.Undo();
  ASSERT_EQ(undo.Count(), 3);
  EXPECT_EQ(undo.DescribeUndoEntry(2), "Undo Dest: Filter LowPass 00:00.512-00:01.024");
  for (int i = 0; i < 3; ++i) {
    uint32_t start = 0;
    uint32_t end = 0;
    ASSERT_EQ(undo.ApplyUndo(0, start, end), kUndoFilter);
    ASSERT_EQ(undo.RemoveUndoEntry(0), 1);
  }
  EXPECT_EQ(test::ReadBytes(folder.File("dest.wav")), original);
}

TEST_F(FilterRunTest, BadInputIsRefusedWithItsMessageAndCodeAndNothingHalfWritten) {
  // Not a wave file.
  test::WriteFileText(folder.File("source.wav"), "this is text, not audio");
  document.SetDestinationName(folder.File("out.wav"), false);
  EXPECT_EQ(Run(19, lowPass), kRunSourceUnreadable);
  EXPECT_EQ(prompts.Entries().back().text,
            "ERROR: Can not read the wave file. Please check that the filename is correct and that the file is not in "
            "use by another program.");
  EXPECT_FALSE(FileExists(folder.File("out.wav")));

  // A stereo source with a mono mode; a mono source with a stereo mode.
  std::vector<int16_t> stereo = Ramp(8000);
  WriteSource("source.wav", 2, stereo);
  const std::vector<uint8_t> sourceBytes = test::ReadBytes(folder.File("source.wav"));
  EXPECT_EQ(Run(19, lowPass, false, 0), kRunStereoSource);
  EXPECT_EQ(prompts.Entries().back().text,
            "The source file is a stereo file. A Mono source file is required for the selected conversion.");
  WriteSource("mono.wav", 1, Ramp(8000));
  document.SetSourceName(folder.File("mono.wav"));
  EXPECT_EQ(Run(19, lowPass, false, 3), kRunMonoSource);
  EXPECT_FALSE(FileExists(folder.File("out.wav"))) << "refused before anything is written";
  document.SetSourceName(folder.File("source.wav"));

  // A destination in a folder that does not exist is named with that cause.
  document.SetDestinationName(folder.File("missing/out.wav"), false);
  EXPECT_EQ(Run(19, lowPass), kRunDestinationFailed);
  EXPECT_EQ(prompts.Entries().back().text, folder.File("missing/out.wav") + " cannot be written: the folder " +
                                                folder.File("missing") + " does not exist.");

  // A region beyond the data.
  document.SetDestinationName(folder.File("out.wav"), false);
  document.SetSyncMode(0);
  view.selectionFirst = 4 * 9000;
  view.selectionLast = 4 * 9500;
  EXPECT_EQ(Run(19, lowPass), kRunSeekFailed);
  EXPECT_EQ(prompts.Entries().back().text,
            "ERROR: Cannot seek to the specified position in the wave file. The file may be corrupt.");
  EXPECT_EQ(test::ReadBytes(folder.File("source.wav")), sourceBytes);
  EXPECT_FALSE(filterRun.RunBusy());

  // A type without an engine yet.
  view.selectionFirst = view.selectionLast = 0;
  EXPECT_EQ(Run(4, lowPass), kRunNoProcessor);
  EXPECT_EQ(prompts.Entries().back().text, "ERROR: No filter is selected to run. Try Again");
}

TEST_F(FilterRunTest, ASecondRequestStopsTheRunningOneAndValuesChangeBetweenBlocks) {
  document.SetSyncMode(0);
  const std::vector<int16_t> source = Ramp(100000);
  WriteSource("source.wav", 1, source);
  document.SetDestinationName(folder.File("out.wav"), false);
  int pumps = 0;
  int secondResult = -1;
  queue.SetPumpHook([&](int) {
    if (++pumps == 3) {
      filterRun.UpdateRunningValues(Values({0, 200}));
      EXPECT_TRUE(filterRun.ValuesChanged());
      EXPECT_EQ(dialog.current->values.p[1], 200) << "the running engine follows at once";
    }
    if (pumps == 6) secondResult = filterRun.RunFilter(&view, 19, &dialog, false, -1, lowPass);
  });
  ASSERT_EQ(Run(19, lowPass), 1);
  EXPECT_EQ(secondResult, kRunBusy) << "the second request starts nothing";
  EXPECT_EQ(run.stopRequested, 1);
  const std::vector<int16_t> written = DataValues(folder.File("out.wav"));
  EXPECT_GT(written.size(), 0u);
  EXPECT_LT(written.size(), source.size()) << "the run ended after the current block";
  EXPECT_EQ(written.size() % 4096, 0u);
  EXPECT_FALSE(filterRun.RunBusy());
}

TEST_F(FilterRunTest, APreviewPlaysTheFilteredRegionAndReturnsWhenPlaybackHasDrained) {
  const std::vector<int16_t> source = Ramp(20000);
  WriteSource("source.wav", 1, source);
  run.loopPreview = 0;
  queue.SetPumpHook([&](int) { card.Advance(512); });
  ASSERT_EQ(Run(19, lowPass, true), 1);
  EXPECT_FALSE(devices.OutputOpen());
  EXPECT_TRUE(document.DestinationName().empty()) << "a preview makes no destination";
  const std::vector<int16_t> expected = Filtered(source, 1);
  std::vector<int16_t> played(card.Played().size() / 2);
  std::memcpy(played.data(), card.Played().data(), played.size() * 2);
  EXPECT_EQ(played, expected);
  EXPECT_FALSE(document.Modified());
}

// A write refused by the kernel (a file size limit, as on a full disk) ends the run with code 8
// and the write message; a new output is not left behind, an earlier file of that name stays
// as it was, and no temporary is left. Runs in a child process.
TEST_F(FilterRunTest, AFailedWriteLeavesNoNewFileAndAnEarlierFileAsItWas) {
  document.SetSyncMode(0);
  WriteSource("source.wav", 1, Ramp(200000));
  const std::vector<uint8_t> earlier = test::ReadBytes(folder.File("source.wav"));
  for (const bool existed : {false, true}) {
    SCOPED_TRACE(existed ? "replacing an earlier file" : "a new file");
    DeleteFile(folder.File("out.wav"));
    if (existed) test::WriteBytes(folder.File("out.wav"), std::vector<uint8_t>(earlier.begin(), earlier.begin() + 5000));
    document.SetDestinationName(folder.File("out.wav"), false);
    // The child may write 100 000 bytes; the kernel refuses the rest.
    const pid_t child = fork();
    if (child == 0) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{100000, 100000};
      setrlimit(RLIMIT_FSIZE, &limit);
      const int result = Run(19, lowPass);
      const bool messaged =
          !prompts.Entries().empty() && prompts.Entries().back().text.rfind("ERROR: Cannot write", 0) == 0;
      _exit(result == kRunWriteFailed && messaged ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "code 8 with the write message";
    if (existed)
      EXPECT_EQ(test::ReadBytes(folder.File("out.wav")),
                std::vector<uint8_t>(earlier.begin(), earlier.begin() + 5000));
    else
      EXPECT_FALSE(FileExists(folder.File("out.wav")));
    EXPECT_FALSE(FileExists(StagingPath(folder.File("out.wav")))) << "no temporary is left";
  }
}

// The output is refused, with nothing touched, when it is the source by any spelling, has the
// peak-file name, or is being written by another writer; the source with a peak-file name too.
TEST_F(FilterRunTest, AnOutputThatIsTheSourceOrLockedOrAPeakNameIsRefusedUntouched) {
  WriteSource("source.wav", 1, Ramp(8000));
  const std::vector<uint8_t> sourceBytes = test::ReadBytes(folder.File("source.wav"));
  ASSERT_EQ(symlink(folder.File("source.wav").c_str(), folder.File("link.wav").c_str()), 0);
  ASSERT_EQ(link(folder.File("source.wav").c_str(), folder.File("hard.wav").c_str()), 0);
  std::string lockError;
  std::optional<OutputLock> held = OutputLock::Acquire(folder.File("busy.wav"), lockError);
  ASSERT_TRUE(held.has_value()) << lockError;
  const std::string inside = folder.Path() + "/../" + folder.Path().substr(folder.Path().rfind('/') + 1);
  const struct {
    const char* name;
    std::string destination;
    int syncMode;
    std::string message;
  } cases[] = {
      {"same name", folder.File("source.wav"), 1, " is the same file as the input "},
      {"dot spelling", folder.Path() + "/./source.wav", 0, " is the same file as the input "},
      {"parent spelling", inside + "/source.wav", 1, " is the same file as the input "},
      {"symbolic link", folder.File("link.wav"), 0, " is the same file as the input "},
      {"hard link", folder.File("hard.wav"), 1, " is the same file as the input "},
      {"peak-file name", folder.File("out.pkf"), 0, " has the peak file extension .pkf"},
      {"locked by another writer", folder.File("busy.wav"), 0, " is being written by another run of the program."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    document.SetSyncMode(c.syncMode);
    document.SetDestinationName(c.destination, false);
    EXPECT_EQ(Run(19, lowPass), kRunDestinationFailed);
    ASSERT_FALSE(prompts.Entries().empty());
    EXPECT_NE(prompts.Entries().back().text.find(c.message), std::string::npos) << prompts.Entries().back().text;
    EXPECT_EQ(test::ReadBytes(folder.File("source.wav")), sourceBytes);
    EXPECT_FALSE(FileExists(folder.File("out.pkf")));
    EXPECT_FALSE(FileExists(folder.File("busy.wav")));
    EXPECT_FALSE(filterRun.RunBusy());
  }
  test::WriteBytes(folder.File("take.pkf"), sourceBytes);
  document.SetSourceName(folder.File("take.pkf"));
  document.SetDestinationName(folder.File("out.wav"), false);
  EXPECT_EQ(Run(19, lowPass), kRunSourceUnreadable);
  EXPECT_NE(prompts.Entries().back().text.find(" has the peak file extension .pkf"), std::string::npos);
  EXPECT_FALSE(FileExists(folder.File("out.wav")));
}

// A new destination, the window's temporary one included, appears under its final name only
// when the run has ended, with its peak file built for that name and no temporary left; the
// document keeps the final name throughout.
TEST_F(FilterRunTest, ANewDestinationAppearsWholeUnderItsFinalName) {
  WriteSource("source.wav", 1, Ramp(30000));
  bool sawFinalDuringRun = false;
  bool sawTemporaryDuringRun = false;
  queue.SetPumpHook([&](int) {
    if (!filterRun.RunBusy() || document.DestinationName().empty()) return;
    sawFinalDuringRun |= FileExists(document.DestinationName());
    sawTemporaryDuringRun |= FileExists(StagingPath(document.DestinationName()));
  });
  ASSERT_EQ(Run(19, lowPass), 1);
  const std::string destination = temp.File("zttmp1.wav");
  EXPECT_EQ(document.DestinationName(), destination);
  EXPECT_TRUE(document.DestinationIsTemporary());
  EXPECT_EQ(view.shownDestination, destination);
  EXPECT_FALSE(sawFinalDuringRun) << "the final name appears only at the end";
  EXPECT_TRUE(sawTemporaryDuringRun);
  EXPECT_EQ(DataValues(destination), Filtered(Ramp(30000), 1));
  EXPECT_TRUE(FileExists(PeakFile::PeakFileName(destination)));
  EXPECT_FALSE(FileExists(StagingPath(destination)));
  EXPECT_FALSE(FileExists(destination + ".lock"));
}

// A peak file that cannot be written after the run makes the run fail, not succeed.
TEST_F(FilterRunTest, APeakFileThatCannotBeWrittenFailsTheRun) {
  document.SetSyncMode(0);
  WriteSource("source.wav", 1, Ramp(8000));
  document.SetDestinationName(folder.File("out.wav"), false);
  ASSERT_EQ(mkdir(folder.File("out.pkf").c_str(), 0755), 0);  // a folder where the peak file goes
  EXPECT_EQ(Run(19, lowPass), kRunWriteFailed);
  EXPECT_NE(prompts.Entries().back().text.find("is not a peak file"), std::string::npos) << prompts.Entries().back().text;
  EXPECT_TRUE(FileExists(folder.File("out.wav"))) << "the audio itself was written";
}

TEST(ProgressModel, PercentAndClickCounts) {
  RunState run;
  run.regionStart = run.readPosition = 1000;
  run.regionEnd = 3000;
  ProgressModel clicks(run, 2000, true, 44100);
  EXPECT_TRUE(clicks.ShowsClicks());
  EXPECT_EQ(clicks.ClicksPerSecondText(), "Clicks/Sec 0");
  EXPECT_EQ(clicks.TotalClicksText(), "Total clicks: 0");
  run.readPosition = 1999;
  run.clickCount = 10;
  clicks.Tick();
  EXPECT_EQ(clicks.PercentText(), "49%");
  EXPECT_EQ(clicks.ClicksPerSecondText(), "Click/Sec: 441");  // 10 x 44100 / (999 + 1)
  EXPECT_EQ(clicks.TotalClicksText(), "Total clicks: 10");
  run.readPosition = 3000;
  clicks.Tick();
  EXPECT_EQ(clicks.Percent(), 100);
  EXPECT_EQ(clicks.ClicksPerSecondText(), "Click/Sec: 0");
  EXPECT_FALSE(ProgressModel(run, 2000, false, 44100).ShowsClicks());
}

}  // namespace
}  // namespace ztlive
