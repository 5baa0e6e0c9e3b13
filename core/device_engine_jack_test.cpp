// The device engine on the real sound card layer: a private JACK server whose loopback
// device records what the engine plays, so file playback and streamed output are checked
// end to end, sample by sample, through PortAudio's callbacks.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "core/device_engine.h"
#include "platform/pcm_float.h"
#include "platform/portaudio_wave_system.h"
#include "platform/scripted_prompts.h"
#include "testing/jack_test_server.h"
#include "testing/loopback_signal.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<float> ToFloats(const uint8_t* bytes, size_t length) {
  std::vector<float> values(length / 2);
  PcmToFloat(bytes, values.size(), 2, values.data());
  return values;
}

class DeviceEngineJackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!server.Running()) GTEST_SKIP() << "no JACK server for the device engine tests: " << server.FailureText();
    devices = std::make_unique<PortAudioWaveSystem>();
    const int output = test::LoopbackDeviceId(devices->OutputDeviceNames());
    const int input = test::LoopbackDeviceId(devices->InputDeviceNames());
    ASSERT_GE(output, 0);
    ASSERT_GE(input, 0);
    engine = std::make_unique<DeviceEngine>(*devices, queue, prompts, run, playStream, recordStream,
                                            DeviceEngine::Settings{unsigned(output), unsigned(input), 7});
    // A second engine records, with a run state of its own that stays in recording (183)
    // after the first engine's playback has ended.
    recorderRun.engineState = 183;
    recorder = std::make_unique<DeviceEngine>(*devices, queue, prompts, recorderRun, recorderPlayStream,
                                              recordStream, DeviceEngine::Settings{unsigned(output), unsigned(input), 7});
  }

  void TearDown() override {
    if (engine != nullptr) engine->CloseOutput();
    if (recorder != nullptr) recorder->CloseInput();
  }

  // Dispatches for `ms` milliseconds.
  void DispatchFor(int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) queue.DispatchOne(10);
  }

  // The recording's samples after the engine has closed the record file.
  std::vector<float> Recording() {
    const std::vector<uint8_t> file = test::ReadBytes(folder.File("recorded.wav"));
    EXPECT_GT(file.size(), 44u);
    return ToFloats(file.data() + 44, file.size() - 44);
  }

  // Checks that `played` is inside the recording, sample for sample (one step of rounding
  // through the server's floats aside).
  void ExpectRecorded(const std::vector<float>& played) {
    const std::vector<float> recorded = Recording();
    const long lag = test::FindLag(recorded, played, played.size() / 2, 2000, 2);
    ASSERT_GE(lag, 0) << "the played signal is not in the recording";
    ASSERT_LE(static_cast<size_t>(lag) + played.size(), recorded.size()) << "the recording lacks the end";
    EXPECT_LE(test::WorstDifference(recorded, played, lag), 1.01 / 32768);
  }

  test::TestFolder folder;
  test::JackTestServer server{44100, 512};
  std::unique_ptr<PortAudioWaveSystem> devices;
  MessageQueue queue;
  ScriptedPrompts prompts;
  RunState run;
  WaveStream playStream{4096, 4096, run};
  WaveStream recordStream{4096, 4096, run};
  std::unique_ptr<DeviceEngine> engine;
  RunState recorderRun;
  WaveStream recorderPlayStream{4096, 4096, recorderRun};
  std::unique_ptr<DeviceEngine> recorder;
};

TEST_F(DeviceEngineJackTest, APlayedFileRegionIsRecordedAgainAndThePositionReachesItsEnd) {
  const WaveFormat format = MakePcmFormat(2, 44100, 16);
  const std::vector<float> chord = test::ChordValues(3 * 44100, 2, 44100);
  std::vector<uint8_t> data(chord.size() * 2);
  FloatToPcm(chord.data(), chord.size(), 2, data.data());
  test::WriteBytes(folder.File("take.wav"), test::WaveBytes().Format(1, 2, 44100, 16).Data(data).Build());

  ASSERT_EQ(recorder->OpenInput(folder.File("recorded.wav"), format, kCreateOverwrite), 0);
  const uint32_t from = 4 * 22050;
  const uint32_t to = 4 * 110250;
  ASSERT_EQ(engine->PlayFileRegion(folder.File("take.wav"), from, to), 0);
  EXPECT_EQ(run.engineState, kEnginePlaying);
  uint32_t last = engine->PlayPosition();
  EXPECT_GE(last, from);
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (engine->OutputOpen() && Clock::now() < deadline) {
    queue.DispatchOne(10);
    const uint32_t position = engine->PlayPosition();
    if (!engine->OutputOpen()) break;
    EXPECT_GE(position, last) << "the play position never goes back";
    last = position;
  }
  ASSERT_FALSE(engine->OutputOpen()) << "playback did not end";
  EXPECT_GE(engine->PlayPosition(), last);
  EXPECT_EQ(engine->PlayPosition(), to) << "the position reaches the region's end";
  EXPECT_EQ(run.engineState, kEngineStopped);
  EXPECT_EQ(run.stopRequested, 1);
  EXPECT_TRUE(engine->PlaybackDrained());
  DispatchFor(300);  // the loop's delay
  recorder->CloseInput();
  EXPECT_TRUE(prompts.Entries().empty());
  ExpectRecorded(ToFloats(data.data() + from, to - from));
}

TEST_F(DeviceEngineJackTest, StreamedBlocksPlayAfterThePreRollAndAreRecordedAgain) {
  const WaveFormat format = MakePcmFormat(2, 44100, 16);
  ASSERT_EQ(recorder->OpenInput(folder.File("recorded.wav"), format, kCreateOverwrite), 0);
  playStream.SetFormat(format);
  ASSERT_EQ(engine->OpenOutputForStream(DeviceEngine::DeviceFormat(format), 0), 0);
  const std::vector<float> chord = test::ChordValues(2 * 44100, 2, 44100);
  std::vector<uint8_t> expected(chord.size() * 2);
  FloatToPcm(chord.data(), chord.size(), 2, expected.data());
  // The writer waits for free buffers while the real device plays, as a preview's does.
  for (size_t i = 0; i < chord.size(); ++i) {
    int16_t value = 0;
    std::memcpy(&value, &expected[2 * i], 2);
    ASSERT_EQ(playStream.WriteSample(SampleValue{value} * 256), 1);
  }
  EXPECT_EQ(engine->SubmitBlock(playStream, true), 0);
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (engine->OutputOpen() && Clock::now() < deadline) queue.DispatchOne(10);
  ASSERT_FALSE(engine->OutputOpen());
  DispatchFor(300);
  recorder->CloseInput();
  EXPECT_EQ(devices->UnderrunFrames(), 0u) << "the pre-roll keeps the device fed";
  ExpectRecorded(ToFloats(expected.data(), expected.size()));
}

TEST(DeviceEngineNoDevice, WithoutDevicesTheListsAreEmptyAndOpeningFailsWithoutACrash) {
  // Without a JACK server a machine without a sound card has no device at all.
  test::ScopedEnvironment server("JACK_DEFAULT_SERVER", std::string("ztlive-test-no-such-server"));
  PortAudioWaveSystem devices;
  if (!devices.OutputDeviceNames().empty())
    GTEST_SKIP() << "this machine has a sound card: the case without devices cannot be made here";
  test::TestFolder folder;
  MessageQueue queue;
  ScriptedPrompts prompts;
  RunState run;
  WaveStream playStream{4096, 4096, run};
  WaveStream recordStream{4096, 4096, run};
  const auto missing = static_cast<unsigned>(devices.OutputDeviceNames().size());
  DeviceEngine engine(devices, queue, prompts, run, playStream, recordStream, {missing, missing, 7});
  test::WriteBytes(folder.File("take.wav"),
                   test::WaveBytes().Format(1, 1, 8000, 16).Data(std::vector<uint8_t>(800)).Build());
  EXPECT_NE(engine.PlayFileRegion(folder.File("take.wav"), 0, 0), 0);
  EXPECT_FALSE(engine.OutputOpen());
  ASSERT_EQ(prompts.Entries().size(), 1u);
  EXPECT_EQ(prompts.Entries()[0].caption, "Wave open device");
}

}  // namespace
}  // namespace ztlive
