// The device engine on the virtual sound card, whose clock the tests move through the message
// queue's pump hook: every wait of the engine lets the card play a little.
#include "core/device_engine.h"

#include <gtest/gtest.h>

#include <climits>

#include "platform/scripted_prompts.h"
#include "platform/settings_store.h"
#include "platform/virtual_sound_card.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using test::TestFolder;
using test::WaveBytes;

class DeviceEngineTest : public ::testing::Test {
 protected:
  DeviceEngineTest() {
    queue.SetPumpHook([this](int) {
      if (clockRunning) card.Advance(framesPerWait);
    });
  }

  std::vector<uint8_t> Pattern(size_t bytes) {
    std::vector<uint8_t> data(bytes);
    for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return data;
  }

  // Runs the card and the queue until the engine has closed its output.
  void PlayToTheEnd() {
    for (int i = 0; i < 100000 && engine.OutputOpen(); ++i) {
      card.Advance(framesPerWait);
      queue.DispatchPending();
    }
  }

  TestFolder folder;
  VirtualSoundCard card;
  MessageQueue queue;
  ScriptedPrompts prompts;
  RunState run;
  WaveStream playStream{4096, 4096, run};
  WaveStream recordStream{4096, 4096, run};
  DeviceEngine engine{card, queue, prompts, run, playStream, recordStream, {}};
  bool clockRunning = true;
  uint32_t framesPerWait = 1024;
};

TEST_F(DeviceEngineTest, AFileRegionPlaysByteForByteAndClosesWhenDrained) {
  const std::vector<uint8_t> data = Pattern(4 * 300000);
  test::WriteBytes(folder.File("take.wav"), WaveBytes().Format(1, 2, 44100, 16).Data(data).Build());
  ASSERT_EQ(engine.PlayFileRegion(folder.File("take.wav"), 4 * 1001 + 2, 4 * 250000), 0);
  EXPECT_EQ(run.engineState, kEnginePlaying);
  card.Advance(5000);
  EXPECT_EQ(engine.PlayPosition(), 4u * 1001 + 4 * 5000);
  PlayToTheEnd();
  EXPECT_FALSE(engine.OutputOpen());
  EXPECT_EQ(run.engineState, kEngineStopped);
  EXPECT_EQ(run.stopRequested, 1);
  EXPECT_TRUE(engine.PlaybackDrained());
  EXPECT_EQ(card.Played(), std::vector<uint8_t>(data.begin() + 4 * 1001, data.begin() + 4 * 250000));
  EXPECT_TRUE(prompts.Entries().empty());
}

TEST_F(DeviceEngineTest, ARegionEndingBeyondTheDataPlaysToItsEnd) {
  const std::vector<uint8_t> data = Pattern(4 * 10000);
  test::WriteBytes(folder.File("take.wav"), WaveBytes().Format(1, 2, 44100, 16).Data(data).Build());
  ASSERT_EQ(engine.PlayFileRegion(folder.File("take.wav"), 0, 4 * 90000), 0);
  PlayToTheEnd();
  EXPECT_EQ(card.Played(), data);
  EXPECT_EQ(engine.PlayFileRegion("", 0, 0), 1);
  EXPECT_EQ(prompts.Entries().back().text, "Hey dont call this functions with a null file name");
}

TEST_F(DeviceEngineTest, StreamedOutputStartsAfterThePreRollAndPlaysEveryValue) {
  engine.SetSettings({0, 0, 7});
  const WaveFormat format = MakePcmFormat(2, 44100, 16);
  playStream.SetFormat(format);
  ASSERT_EQ(engine.OpenOutputForStream(DeviceEngine::DeviceFormat(format), 0), 0);
  EXPECT_EQ(playStream.Mode(), kModeDevice);
  std::vector<uint8_t> expected;
  auto write = [&](SampleValue value) {
    const auto word = static_cast<uint16_t>(value >> 8);
    expected.push_back(static_cast<uint8_t>(word));
    expected.push_back(static_cast<uint8_t>(word >> 8));
    return playStream.WriteSample(value);
  };
  clockRunning = false;
  // Block 5 is handed over by the first value of block 6: five buffers queued, not started.
  for (int i = 0; i < 5 * 4096 + 1; ++i) ASSERT_EQ(write((i % 1000) * 256), 1);
  card.Advance(1000);
  EXPECT_TRUE(card.Played().empty()) << "not started before PreRollBuffs - 1 buffers";
  for (int i = 1; i < 4096 + 1; ++i) ASSERT_EQ(write(-i * 256), 1);  // block 6 starts the device
  card.Advance(1000);
  EXPECT_EQ(card.Played().size(), 4000u);

  // From now on the writer waits for buffers, and the card plays while it waits.
  clockRunning = true;
  for (int i = 0; i < 20 * 4096; ++i) ASSERT_EQ(write(i * 16), 1);
  EXPECT_EQ(engine.SubmitBlock(playStream, true), 0);
  PlayToTheEnd();
  EXPECT_TRUE(card.Played() == expected) << card.Played().size() << " bytes played, " << expected.size() << " written";
}

TEST_F(DeviceEngineTest, AShortFinalBlockStartsTheDeviceAtOnceAndPreRollIsClamped) {
  engine.SetSettings({0, 0, 100});
  const WaveFormat format = MakePcmFormat(1, 8000, 16);
  playStream.SetFormat(format);
  ASSERT_EQ(engine.OpenOutputForStream(DeviceEngine::DeviceFormat(format), 0), 0);
  for (int i = 0; i < 100; ++i) playStream.WriteSample(i * 256);
  EXPECT_EQ(engine.SubmitBlock(playStream, true), 0);
  card.Advance(100);
  ASSERT_EQ(card.Played().size(), 200u);
  EXPECT_EQ(card.Played()[2 * 99], 99);
}

TEST_F(DeviceEngineTest, AStopDuringTheWaitForABufferEndsTheWriter) {
  engine.SetSettings({0, 0, 2});
  const WaveFormat format = MakePcmFormat(1, 8000, 16);
  playStream.SetFormat(format);
  ASSERT_EQ(engine.OpenOutputForStream(DeviceEngine::DeviceFormat(format), 0), 0);
  clockRunning = false;
  queue.SetPumpHook([this](int) { run.stopRequested = 1; });  // a Stop command arrives while waiting
  int result = 1;
  for (int i = 0; i < 3 * 4096 + 1 && result == 1; ++i) result = playStream.WriteSample(0);
  EXPECT_EQ(result, 0);
}

TEST_F(DeviceEngineTest, AStopThatClosesTheOutputDuringTheWaitIsSafe) {
  engine.SetSettings({0, 0, 2});
  const WaveFormat format = MakePcmFormat(2, 44100, 24);
  playStream.SetFormat(format);
  ASSERT_EQ(engine.OpenOutputForStream(DeviceEngine::DeviceFormat(format), 0), 0);
  queue.SetPumpHook([this](int) {
    run.stopRequested = 1;
    engine.CloseOutput();  // the Stop command closes the device and frees its buffers
  });
  int result = 1;
  for (int i = 0; i < 3 * 4096 + 1 && result == 1; ++i) result = playStream.WriteSample(i);
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(engine.OutputOpen());
  EXPECT_EQ(run.engineState, kEngineStopped);
}

TEST_F(DeviceEngineTest, NoDeviceOrARefusedFormatIsReportedUnderWaveOpenDevice) {
  VirtualSoundCard none(0, 0);
  DeviceEngine lonely(none, queue, prompts, run, playStream, recordStream, {});
  const WaveFormat format = MakePcmFormat(2, 44100, 16);
  EXPECT_EQ(lonely.OpenOutputForStream(DeviceEngine::DeviceFormat(format), 0), kWaveBadDeviceId);
  ASSERT_EQ(prompts.Entries().size(), 1u);
  EXPECT_EQ(prompts.Entries()[0].caption, "Wave open device");
  EXPECT_FALSE(lonely.OutputOpen());
}

TEST_F(DeviceEngineTest, PeaksArePerChannelInSampleScale) {
  const std::vector<uint8_t> bytes = test::Samples16({100, -300, -32768, 5});
  engine.MeasurePeaks(bytes.data(), bytes.size(), {2, 44100, 16, 4});
  EXPECT_EQ(engine.PeakLeft(), 32768 * 256);
  EXPECT_EQ(engine.PeakRight(), 300 * 256);
  engine.MeasurePeaks(bytes.data(), bytes.size(), {1, 44100, 16, 2});
  EXPECT_EQ(engine.PeakLeft(), 32768 * 256);
  EXPECT_EQ(engine.PeakRight(), 0);
}

uint8_t Signal(uint64_t offset) { return static_cast<uint8_t>(offset * 5 + offset / 997); }

TEST_F(DeviceEngineTest, RecordingWritesTheDevicesBytesIntoAValidFile) {
  card.SetInputSignal(Signal);
  clockRunning = false;  // the test moves the clock itself
  run.engineState = 183;
  const WaveFormat format = MakePcmFormat(2, 44100, 16);
  ASSERT_EQ(engine.OpenInput(folder.File("take.wav"), format, kCreateOverwrite), 0);
  for (int i = 0; i < 40; ++i) {
    card.Advance(1024);
    queue.DispatchPending();
  }
  EXPECT_EQ(engine.RecordPosition(), 40u * 1024 * 4);
  engine.CloseInput();
  EXPECT_FALSE(engine.InputOpen());
  EXPECT_EQ(engine.BytesRecorded(), 40u * 1024 * 4) << "whole buffers, and the part one that Stop returned";
  const std::vector<uint8_t> file = test::ReadBytes(folder.File("take.wav"));
  ASSERT_EQ(file.size(), 44u + 40 * 1024 * 4);
  for (size_t i = 0; i < 40 * 1024 * 4; ++i) ASSERT_EQ(file[44 + i], Signal(i)) << i;
  EXPECT_NE(engine.PeakLeft(), 0);
}

TEST_F(DeviceEngineTest, LiveInputFillsTheBlockOnlyWhileReadBlockWaitsAndInOrder) {
  card.SetInputSignal(Signal);
  run.liveInput = 1;
  run.engineState = 237;
  run.regionEnd = 0xFFFFFFFF;
  const WaveFormat format = MakePcmFormat(1, 8000, 16);
  ASSERT_EQ(engine.OpenInput("", format, kCreateOverwrite), 0);
  EXPECT_EQ(recordStream.Mode(), kModeLiveInput);
  clockRunning = false;
  card.Advance(2 * 4096);  // before a run plays, buffers only feed the meters
  queue.DispatchPending();
  EXPECT_NE(engine.PeakLeft(), 0);
  playStream.SetFormat(format);
  ASSERT_EQ(engine.OpenOutputForStream(DeviceEngine::DeviceFormat(format), 0), 0);
  const uint64_t runStart = 2 * 2 * 4096;  // bytes recorded before the run

  // Two buffers arrive while a filter is busy: its block must not change.
  card.Advance(2 * 4096);
  queue.DispatchPending();
  EXPECT_EQ(recordStream.End(), recordStream.Begin());

  SampleValue* first = nullptr;
  SampleValue* last = nullptr;
  for (int block = 0; block < 3; ++block) {
    if (block == 2) clockRunning = true;  // the third must be recorded while ReadBlock waits
    ASSERT_EQ(recordStream.ReadBlock(0, 0, &first, &last), 0);
    ASSERT_EQ(last - first, 4096);
    for (int i = 0; i < 4096; i += 513) {
      const uint64_t offset = runStart + 2 * (static_cast<uint64_t>(block) * 4096 + static_cast<uint64_t>(i));
      const auto sample = static_cast<int16_t>(Signal(offset) | Signal(offset + 1) << 8);
      ASSERT_EQ(first[i], sample * 256) << "block " << block << ", value " << i;
    }
  }
  run.stopRequested = 1;
  EXPECT_EQ(recordStream.ReadBlock(0, 0, &first, &last), 1);
  engine.CloseInput();
}

TEST(LiveBlockSetting, AnyStoredValueBecomesTheNearestAllowedBlock) {
  const struct {
    int stored;
    int used;
  } cases[] = {{INT_MIN, 256}, {-512, 256},  {0, 256},     {255, 256},    {256, 256},   {383, 256},
               {384, 512},     {512, 512},   {767, 512},   {768, 1024},   {1000, 1024}, {1024, 1024},
               {2048, 2048},   {3071, 2048}, {3072, 4096}, {4096, 4096},  {4097, 4096}, {INT_MAX, 4096}};
  for (const auto& c : cases) EXPECT_EQ(DeviceEngine::LiveBlockValues(c.stored), c.used) << "stored " << c.stored;
}

TEST(LiveBlockSetting, TheStoredTextIsReadWithItsDefaultAndHeldToAnAllowedBlock) {
  TestFolder folder;
  const struct {
    const char* text;  // the settings file, or null for none
    int used;
  } cases[] = {{nullptr, 4096}, {"[ZANTO]\nLiveBlockSize=512\n", 512}, {"[zanto]\nLiveBlockSize=600\n", 512},
               {"[ZANTO]\nLiveBlockSize=many\n", 4096}, {"[ZANTO]\nLiveBlockSize=0x100\n", 256},
               {"[ZANTO]\nLiveBlockSize=-3\n", 256}};
  for (const auto& c : cases) {
    const std::string path = folder.File("settings.ini");
    if (c.text != nullptr) test::WriteFileText(path, c.text);
    const SettingsStore store(path);
    EXPECT_EQ(DeviceEngine::LiveBlockValues(store.Read(setting::kLiveBlockSize)), c.used)
        << (c.text != nullptr ? c.text : "no file");
  }
}

TEST_F(DeviceEngineTest, LiveRunsReadAndPlayBlocksOfTheLiveBlockSizeAndCountThePreRollInThem) {
  card.SetInputSignal(Signal);
  clockRunning = false;
  engine.SetSettings({0, 0, 3, 1000});  // held to 1024 values
  run.liveInput = 1;
  run.engineState = 237;
  run.regionEnd = 0xFFFFFFFC;
  const WaveFormat format = MakePcmFormat(1, 8000, 16);
  ASSERT_EQ(engine.OpenInput("", format, kCreateOverwrite), 0);
  EXPECT_EQ(recordStream.LiveBlockLength(), 1024);
  card.Advance(2 * 1024);  // recorded before the run, handled after its output opened: dropped
  playStream.SetFormat(format);
  ASSERT_EQ(engine.OpenOutputForStream(DeviceEngine::DeviceFormat(format), 0), 0);
  EXPECT_EQ(playStream.LiveBlockLength(), 1024);

  card.Advance(3 * 1024);  // three input buffers of 1024 values
  queue.DispatchPending();
  SampleValue* first = nullptr;
  SampleValue* last = nullptr;
  for (int block = 0; block < 3; ++block) {
    ASSERT_EQ(recordStream.ReadBlock(0, 0, &first, &last), 0);
    ASSERT_EQ(last - first, 1024) << "block " << block;
    const uint64_t offset = 2 * 1024 * static_cast<uint64_t>(block + 2) + 2 * 1023;
    EXPECT_EQ(last[-1], static_cast<int16_t>(Signal(offset) | Signal(offset + 1) << 8) * 256) << "block " << block;
    // Handing over the second block fills the pre-roll (PreRollBuffs - 1 = 2 buffers).
    for (const SampleValue* value = first; value < last; ++value) ASSERT_EQ(playStream.WriteSample(*value), 1);
    card.Advance(100);
    EXPECT_EQ(card.Played().size(), block < 2 ? 0u : 200u) << "block " << block;
  }
  engine.CloseOutput();
  engine.CloseInput();
  EXPECT_EQ(recordStream.LiveBlockLength(), 4096);
  EXPECT_EQ(playStream.LiveBlockLength(), 4096);

  run.liveInput = 0;  // a preview keeps whole blocks
  ASSERT_EQ(engine.OpenOutputForStream(DeviceEngine::DeviceFormat(format), 0), 0);
  EXPECT_EQ(playStream.LiveBlockLength(), 4096);
}

}  // namespace
}  // namespace ztlive
