// The recording window's logic on the virtual sound card: formats, field texts, the buttons'
// state changes, their questions and messages, the temporary file's life, and live input.
#include "document/recording_session.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "core/full_scale.h"
#include "core/temp_files.h"
#include "platform/file_ops.h"
#include "platform/scripted_prompts.h"
#include "platform/string_table.h"
#include "platform/virtual_sound_card.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using test::TestFolder;

uint8_t Signal(uint64_t offset) { return static_cast<uint8_t>(offset * 13 + offset / 509); }

std::string Text(StringId id) { return std::string(StringText(id)); }

TEST(RecordFormatTest, ChoicesGiveConsistentPcmFormats) {
  const struct {
    int channelChoice, rateChoice, customRate, bits;
    uint16_t channels, blockAlign;
    uint32_t rate, bytesPerSecond;
  } cases[] = {
      {1, 1, 48000, 24, 1, 3, 44100, 132300},    // 24-bit mono: one 3-byte sample per frame
      {0, 1, 48000, 20, 2, 6, 44100, 264600},    // 20 bits are stored in 3 bytes
      {0, 1, 48000, 16, 2, 4, 44100, 176400},
      {1, 0, 48000, 8, 1, 1, 48000, 48000},      // 8-bit mono: one byte per frame
      {0, 2, 48000, 16, 2, 4, 22050, 88200},
      {1, 3, 48000, 16, 1, 2, 11025, 22050},
      {0, 4, 96000, 24, 2, 6, 96000, 576000},
      {0, 9, 48000, 12, 2, 4, 44100, 176400},    // unknown choices fall back to 44100 and 16 bits
  };
  for (const auto& c : cases) {
    RecordChoices choices{c.channelChoice, c.rateChoice, c.customRate, c.bits, false};
    const WaveFormat format = RecordFormat(choices);
    SCOPED_TRACE(testing::Message() << c.channelChoice << " " << c.rateChoice << " " << c.bits);
    EXPECT_EQ(format.formatTag, kFormatPcm);
    EXPECT_EQ(format.channels, c.channels);
    EXPECT_EQ(format.sampleRate, c.rate);
    EXPECT_EQ(format.blockAlign, c.blockAlign);
    EXPECT_EQ(format.avgBytesPerSecond, c.bytesPerSecond);
  }
}

TEST(RecordFormatTest, FieldTexts) {
  const struct {
    std::string actual, expected;
  } cases[] = {
      {FreeSpaceText(512 * 1024), "512.00KB"},
      {FreeSpaceText(1023 * 1024 + 512), "1023.50KB"},
      {FreeSpaceText(1024 * 1024), "   1.00MB"},
      {FreeSpaceText(uint64_t{1024000} * 1024 * 3), "   3.00GB"},
      {AvailableTimeText(176400ull * 3725, 176400), "62:05 min:sec"},
      {AvailableTimeText(1000, 0), "16:40 min:sec"},  // an unknown rate counts as one byte a second
      {ElapsedText(132300ull * 61, 132300), "01:01"},
      {ElapsedText(132299, 132300), "00:00"},
      {StateText(101), "Play"},
      {StateText(110), "Rec Pause"},
      {StateText(183), "Recording"},
      {StateText(237), "Record/Play"},
      {StateText(103), "Stopped"},
      {StateText(0), "Stopped"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected);
}

class RecordingSessionTest : public ::testing::Test {
 protected:
  RecordingSessionTest() {
    card->SetInputSignal(Signal);
    settings.Write(setting::kTempPath, temp);
    environment.Queue().SetPumpHook([this](int) { card->Advance(256); });
  }
  ~RecordingSessionTest() override { ResetFullScale(); }

  // Lets the card record frames and delivers its buffers.
  void Record(uint32_t frames) {
    card->Advance(frames);
    environment.Queue().DispatchPending();
  }

  std::vector<uint8_t> Data(const std::string& path) {
    const std::vector<uint8_t> bytes = test::ReadBytes(path);
    return bytes.size() < 44 ? std::vector<uint8_t>() : std::vector<uint8_t>(bytes.begin() + 44, bytes.end());
  }

  std::vector<uint8_t> Expected(uint64_t from, uint64_t count) {
    std::vector<uint8_t> bytes(count);
    for (uint64_t i = 0; i < count; ++i) bytes[i] = Signal(from + i);
    return bytes;
  }

  size_t TempFiles() { return FindTempFiles(temp).size(); }

  TestFolder folder;
  std::string temp = folder.Path();
  SettingsStore settings{folder.File("settings.ini")};
  ScriptedPrompts prompts;
  RunState run;
  VirtualSoundCard* card = new VirtualSoundCard(1, 1);
  RunEnvironment environment{std::unique_ptr<WaveSystem>(card), run, settings, prompts};
};

TEST_F(RecordingSessionTest, RecordStopRecordAppendsToOneValidFile) {
  settings.Write(setting::kRecordBits, 16);
  settings.Write(setting::kRecordStereo, 0);
  RecordingSession session(environment, run, settings, prompts);
  EXPECT_EQ(session.RecordCaption(), "&Record");
  EXPECT_FALSE(session.SaveEnabled());
  session.Record();
  ASSERT_EQ(session.State(), 183);
  EXPECT_EQ(session.StatusText(), "Recording");
  EXPECT_EQ(session.RecordCaption(), "Stop");
  EXPECT_FALSE(session.FormatControlsEnabled());
  Record(4 * 2048);
  session.Stop();
  EXPECT_EQ(session.State(), 103);
  EXPECT_EQ(session.RecordCaption(), "Re-Record");
  EXPECT_TRUE(session.SaveEnabled());
  const std::string file = session.FileName();
  ASSERT_FALSE(file.empty());
  const std::vector<uint8_t> first = Data(file);
  ASSERT_GE(first.size(), 4u * 2048 * 4);

  session.Record();
  Record(2 * 2048);
  session.Record();  // "&Record" acts as "Stop" while recording
  EXPECT_EQ(session.State(), 103);
  EXPECT_EQ(session.FileName(), file);
  const std::vector<uint8_t> both = Data(file);
  ASSERT_GT(both.size(), first.size());
  EXPECT_TRUE(std::equal(first.begin(), first.end(), both.begin())) << "the second take is appended";
  EXPECT_EQ(std::vector<uint8_t>(both.begin(), both.begin() + 4 * 2048), Expected(0, 4 * 2048));
  EXPECT_EQ(test::ReadBytes(file).size(), 44 + both.size()) << "the data size is in the header";
  EXPECT_TRUE(prompts.Entries().empty());
}

TEST_F(RecordingSessionTest, PreviewKeepsAnUnsavedRecordingAndWritesNothing) {
  RecordingSession session(environment, run, settings, prompts);
  session.Record();
  Record(3 * 2048);
  session.Stop();
  const size_t recorded = Data(session.FileName()).size();
  ASSERT_GT(recorded, 0u);
  session.Preview();
  EXPECT_EQ(session.State(), 110);
  EXPECT_EQ(session.StatusText(), "Rec Pause");
  Record(3 * 2048);
  EXPECT_NE(session.PeakLeft(), 0) << "the meters move while monitoring";
  session.Stop();
  EXPECT_EQ(Data(session.FileName()).size(), recorded);
  // From monitoring, "&Record" records into the same file.
  session.Preview();
  session.Record();
  EXPECT_EQ(session.State(), 183);
  Record(2048);
  session.Preview();  // pauses: arriving input is dropped
  EXPECT_EQ(session.State(), 110);
  Record(4 * 2048);
  session.Stop();
  const size_t after = Data(session.FileName()).size();
  EXPECT_GT(after, recorded);
  EXPECT_LT(after, recorded + 4u * 2048 * 4);
}

TEST_F(RecordingSessionTest, FormatChangeAfterRecordingAsksAndYesStartsANewFile) {
  RecordingSession session(environment, run, settings, prompts);
  session.Record();
  Record(4 * 2048);
  session.Stop();
  const std::string file = session.FileName();
  RecordChoices mono = session.Choices();
  mono.channelChoice = 1;

  prompts.Script(PromptAnswer::No);
  EXPECT_FALSE(session.ChangeFormat(mono));
  EXPECT_EQ(session.Choices().channelChoice, 0) << "No keeps the old choice";
  prompts.Script(PromptAnswer::Yes);
  EXPECT_TRUE(session.ChangeFormat(mono));
  EXPECT_EQ(session.ElapsedTimeText(), "00:00");
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>(2, Text(StringId::kRecordFormatChange)));

  session.Record();
  Record(2048);
  session.Stop();
  EXPECT_EQ(session.FileName(), file);
  const std::vector<uint8_t> bytes = test::ReadBytes(file);
  ASSERT_GE(bytes.size(), 44u);
  EXPECT_EQ(bytes[22], 1) << "mono header";
  EXPECT_LT(bytes.size() - 44, 4u * 2048 * 4) << "the old stereo take is gone";

  // No recording, no question; the same format, no question.
  prompts.Clear();
  RecordChoices same = session.Choices();
  EXPECT_TRUE(session.ChangeFormat(same));
  EXPECT_TRUE(prompts.Entries().empty());
}

TEST_F(RecordingSessionTest, TheResolutionSetsTheFullScaleLimits) {
  settings.Write(setting::kRecordBits, 24);
  RecordingSession session(environment, run, settings, prompts);
  EXPECT_EQ(FullScaleHigh(), 8388607);
  EXPECT_EQ(FullScaleLow(), -8388608);
  const struct {
    int bits, high;
  } cases[] = {{8, 127 * 65536}, {16, 32767 * 256}, {20, 524287 * 16}, {24, 8388607}};
  for (const auto& c : cases) {
    RecordChoices choices = session.Choices();
    choices.bitsPerSample = c.bits;
    ASSERT_TRUE(session.ChangeFormat(choices));
    EXPECT_EQ(FullScaleHigh(), c.high) << c.bits;
    EXPECT_EQ(FullScaleLow(), -c.high - 1) << c.bits;
  }
}

TEST_F(RecordingSessionTest, CustomRateOutsideItsRangeIsRefused) {
  RecordingSession session(environment, run, settings, prompts);
  const struct {
    int rateChoice, customRate;
  } refused[] = {{4, 7999}, {4, 97001}, {1, -1}};  // -1: an empty field while 44.10kHz is chosen
  for (const auto& c : refused) {
    RecordChoices custom = session.Choices();
    custom.rateChoice = c.rateChoice;
    custom.customRate = c.customRate;
    EXPECT_FALSE(session.ChangeFormat(custom)) << c.customRate;
    EXPECT_EQ(session.Choices().customRate, 48000);
  }
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>(3, "Please enter an integer between 8000 and 97000."));
  RecordChoices custom = session.Choices();
  custom.rateChoice = 4;
  custom.customRate = 97000;
  EXPECT_TRUE(session.ChangeFormat(custom));
  EXPECT_EQ(RecordFormat(session.Choices()).sampleRate, 97000u);
}

TEST_F(RecordingSessionTest, DeviceAndFormatChecksStopBeforeAnyStart) {
  const struct {
    int device;
    uint32_t refusedRate;
    StringId message;
  } cases[] = {
      {1, 0, StringId::kNoRecordingDevices},
      {0, 44100, StringId::kInputFormatRefused},
  };
  for (const auto& c : cases) {
    settings.Write(setting::kDevIn, c.device);
    card->RefuseSampleRate(c.refusedRate);
    prompts.Clear();
    RecordingSession session(environment, run, settings, prompts);
    session.Record();
    session.SetLiveMode(true);
    session.Preview();
    EXPECT_EQ(session.State(), 103);
    EXPECT_FALSE(session.InputRunning());
    EXPECT_EQ(run.liveInput, 0) << "no live input is left switched on";
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>(2, Text(c.message)));
    EXPECT_EQ(TempFiles(), 0u);
  }
}

TEST_F(RecordingSessionTest, ARecordingFileThatCannotBeMadeStopsTheStart) {
  settings.Write(setting::kTempPath, folder.File("missing"));
  RecordingSession session(environment, run, settings, prompts);
  session.Record();
  EXPECT_EQ(session.State(), 103);
  EXPECT_FALSE(session.InputRunning());
  EXPECT_EQ(prompts.Texts(),
            (std::vector<std::string>{Text(StringId::kCannotWriteWave), Text(StringId::kRecordSetupFailed)}));
  EXPECT_FALSE(session.SaveEnabled());
  // Once the folder is there, the next start records.
  settings.Write(setting::kTempPath, temp);
  session.Record();
  EXPECT_EQ(session.State(), 183);
  EXPECT_EQ(std::filesystem::path(session.FileName()).parent_path(), std::filesystem::path(temp));
  session.Stop();
}

TEST_F(RecordingSessionTest, SaveUnderTheSameNameOnlyOpens) {
  RecordingSession session(environment, run, settings, prompts);
  session.Record();
  Record(2048);
  const std::string file = session.FileName();
  std::vector<std::string> opened;
  const auto result = session.Save([&](const std::string& proposed) { return proposed; },
                                   [&](const std::string& path) { opened.push_back(path); return true; });
  EXPECT_EQ(result, RecordingSession::SaveResult::Saved);
  EXPECT_EQ(session.State(), 103) << "saving stops the recording";
  EXPECT_EQ(opened, std::vector<std::string>{file});
  EXPECT_TRUE(FileExists(file));
  EXPECT_TRUE(prompts.Entries().empty());
  EXPECT_EQ(settings.Read(setting::kLastPath), file);
  EXPECT_TRUE(session.Close()) << "nothing is left to discard";
  EXPECT_TRUE(FileExists(file));
}

TEST_F(RecordingSessionTest, SaveOverAnExistingFileAsksAndMovesOnlyOnYes) {
  RecordingSession session(environment, run, settings, prompts);
  session.Record();
  Record(4 * 2048);
  session.Stop();
  const std::string file = session.FileName();
  const std::vector<uint8_t> recording = test::ReadBytes(file);
  const std::string target = folder.File("take.wav");
  test::WriteFileText(target, "old");
  const auto ask = [&](const std::string&) { return target; };
  std::vector<std::string> opened;
  const auto open = [&](const std::string& path) { opened.push_back(path); return true; };

  prompts.Script(PromptAnswer::No);
  EXPECT_EQ(session.Save(ask, open), RecordingSession::SaveResult::Declined);
  EXPECT_EQ(test::ReadFileText(target), "old");
  EXPECT_EQ(test::ReadBytes(file), recording);
  EXPECT_TRUE(opened.empty());

  EXPECT_EQ(session.Save([](const std::string&) { return std::string(); }, open),
            RecordingSession::SaveResult::Cancelled);
  EXPECT_TRUE(FileExists(file));

  prompts.Script(PromptAnswer::Yes);
  EXPECT_EQ(session.Save(ask, open), RecordingSession::SaveResult::Saved);
  EXPECT_EQ(test::ReadBytes(target), recording);
  EXPECT_FALSE(FileExists(file));
  EXPECT_EQ(opened, std::vector<std::string>{target});
  ASSERT_EQ(prompts.Entries().size(), 2u);
  EXPECT_EQ(prompts.Entries()[1].text, FormatText(StringId::kSaveReplaceQuestion, {target}));
  EXPECT_EQ(prompts.Entries()[1].caption, "File Replace");
}

TEST_F(RecordingSessionTest, AFailedMoveKeepsTheRecordingAndSaysSo) {
  RecordingSession session(environment, run, settings, prompts);
  session.Record();
  Record(2048);
  session.Stop();
  const std::string file = session.FileName();
  const std::vector<uint8_t> recording = test::ReadBytes(file);
  // A name longer than the file system takes: the move fails for every user.
  const std::string tooLong = folder.File(std::string(300, 'a') + ".wav");
  const auto result = session.Save([&](const std::string&) { return tooLong; },
                                   [](const std::string&) { return true; });
  EXPECT_EQ(result, RecordingSession::SaveResult::Failed);
  EXPECT_EQ(test::ReadBytes(file), recording);
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>{Text(StringId::kRecordRenameFailed)});
  EXPECT_EQ(prompts.Entries().back().caption, "Error");
  EXPECT_TRUE(session.SaveEnabled());
}

TEST_F(RecordingSessionTest, CloseAsksBeforeDiscardingAndWritesTheChoices) {
  RecordingSession session(environment, run, settings, prompts);
  RecordChoices choices = session.Choices();
  choices.channelChoice = 1;
  choices.rateChoice = 4;
  choices.customRate = 32000;
  choices.bitsPerSample = 24;
  ASSERT_TRUE(session.ChangeFormat(choices));
  session.Record();
  Record(2048);
  const std::string file = session.FileName();
  prompts.Script(PromptAnswer::No);
  EXPECT_FALSE(session.Close());
  EXPECT_TRUE(FileExists(file));
  EXPECT_EQ(session.State(), 103) << "closing stops first";
  prompts.Script(PromptAnswer::Yes);
  EXPECT_TRUE(session.Close());
  EXPECT_FALSE(FileExists(file));
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>(2, "Discard new recording?"));
  EXPECT_EQ(settings.Read(setting::kRecordStereo), 1);
  EXPECT_EQ(settings.Read(setting::kRecordRate), 4);
  EXPECT_EQ(settings.Read(setting::kCustomRate), 32000);
  EXPECT_EQ(settings.Read(setting::kRecordBits), 24);
  RecordingSession reopened(environment, run, settings, prompts);
  EXPECT_EQ(reopened.Choices(), choices);
}

TEST_F(RecordingSessionTest, FeedThruRecordStartsLiveInputWithoutAFile) {
  RecordingSession session(environment, run, settings, prompts);
  session.SetLiveMode(true);
  session.Record();
  EXPECT_EQ(session.State(), 237);
  EXPECT_EQ(session.StatusText(), "Record/Play");
  EXPECT_EQ(run.liveInput, 1);
  EXPECT_EQ(session.RecordCaption(), "Stop");
  Record(4 * 2048);
  EXPECT_TRUE(session.FileName().empty());
  EXPECT_EQ(TempFiles(), 0u);
  session.Preview();
  EXPECT_EQ(session.State(), 110) << "pauses live input";
  session.Record();
  EXPECT_EQ(session.State(), 183) << "live input goes on";
  EXPECT_EQ(run.liveInput, 1);
  run.stopRequested.store(0);
  session.Stop();
  EXPECT_EQ(session.State(), 103);
  EXPECT_EQ(run.liveInput, 0);
  EXPECT_EQ(run.stopRequested, 1) << "a live run ends";
  EXPECT_FALSE(session.SaveEnabled());
  EXPECT_TRUE(session.Close());
  EXPECT_TRUE(prompts.Entries().empty());
}

TEST_F(RecordingSessionTest, ALogFileOfAnotherRateLeavesLiveInputRunning) {
  const std::string log = folder.File("log.wav");
  test::WriteBytes(log, test::WaveBytes().Format(1, 2, 22050, 16).Data(std::vector<uint8_t>(400)).Build());
  settings.Write(setting::kLogFileName, log);
  RecordingSession session(environment, run, settings, prompts);
  session.SetLiveMode(true);
  session.Record();
  ASSERT_EQ(session.State(), 237);
  const int result = environment.Runner().RunFilter(nullptr, 19, nullptr, false, -1, PresetValues{});
  EXPECT_EQ(result, kRunDestinationFailed);
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>{Text(StringId::kRunLogIncompatible)});
  EXPECT_TRUE(session.InputRunning());
  EXPECT_EQ(session.State(), 237);
  EXPECT_EQ(test::ReadBytes(log).size(), 444u) << "the log is untouched";
  session.Stop();
}

TEST_F(RecordingSessionTest, StopEndsALiveRunAndTheNextRunAppendsToTheLog) {
  // No log file named: the first run makes a temporary one and keeps its name.
  ASSERT_TRUE(settings.Read(setting::kLogFileName).empty());
  std::string log;
  RecordingSession session(environment, run, settings, prompts);
  session.SetLiveMode(true);
  std::vector<size_t> logSizes;
  for (int take = 0; take < 2; ++take) {
    session.Record();
    ASSERT_EQ(session.State(), 237);
    // The user presses Stop while the run waits for input.
    int pumps = 0;
    environment.Queue().SetPumpHook([&](int) {
      card->Advance(512);
      if (++pumps == 400) session.Stop();
    });
    run.logToFile = 1;
    const int result = environment.Runner().RunFilter(nullptr, 19, nullptr, false, -1, PresetValues{});
    run.logToFile = 0;
    EXPECT_EQ(result, 1) << take;
    EXPECT_GE(pumps, 400);
    EXPECT_EQ(session.State(), 103);
    EXPECT_FALSE(session.InputRunning());
    EXPECT_FALSE(environment.Devices().OutputOpen());
    EXPECT_FALSE(environment.Runner().RunBusy());
    if (take == 0) log = settings.Read(setting::kLogFileName);
    EXPECT_EQ(settings.Read(setting::kLogFileName), log);
    EXPECT_EQ(std::filesystem::path(log).parent_path(), std::filesystem::path(temp));
    logSizes.push_back(test::ReadBytes(log).size());
  }
  EXPECT_TRUE(prompts.Entries().empty()) << prompts.Texts().front();
  EXPECT_FALSE(card->Played().empty());
  ASSERT_EQ(logSizes.size(), 2u);
  EXPECT_GT(logSizes[0], 44u + 4096);
  EXPECT_GT(logSizes[1], logSizes[0] + 4096) << "the second run appends";
  const std::vector<uint8_t> bytes = test::ReadBytes(log);
  uint32_t dataSize = 0;
  std::memcpy(&dataSize, bytes.data() + 40, 4);
  EXPECT_EQ(dataSize, bytes.size() - 44) << "the data size covers both runs";
}

}  // namespace
}  // namespace ztlive
