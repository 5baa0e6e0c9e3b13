// Live runs at different live block sizes on a private JACK server: a chord played into the
// loopback's left channel is read block by block from the live input and played back on the
// right channel; the capture must hold the chord again on the right, value for value, after
// a delay that follows the live block size and the pre-roll.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "core/device_engine.h"
#include "platform/pcm_float.h"
#include "platform/portaudio_wave_system.h"
#include "platform/scripted_prompts.h"
#include "testing/jack_test_server.h"
#include "testing/live_pass.h"
#include "testing/loopback_signal.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

constexpr uint32_t kRate = 44100;
constexpr int kPeriod = 512;
constexpr size_t kChunkFrames = 1024;

// A 16-bit stereo file: the chord on the left, silence on the right.
void WriteLeftChord(const std::string& path, size_t frames) {
  const std::vector<float> chord = test::ChordValues(frames, 1, kRate);
  std::vector<float> stereo(frames * 2, 0.0f);
  for (size_t i = 0; i < frames; ++i) stereo[2 * i] = chord[i];
  std::vector<uint8_t> data(stereo.size() * 2);
  FloatToPcm(stereo.data(), stereo.size(), 2, data.data());
  test::WriteBytes(path, test::WaveBytes().Format(1, 2, kRate, 16).Data(data).Build());
}

TEST(LiveBlockJack, ALiveRunPlaysItsInputBackAtEveryBlockSizeWithTheDelayItAllows) {
  test::JackTestServer server(kRate, kPeriod);
  if (!server.Running()) GTEST_SKIP() << "no JACK server for the live tests: " << server.FailureText();
  PortAudioWaveSystem devices;
  const int loopOut = test::LoopbackDeviceId(devices.OutputDeviceNames());
  const int loopIn = test::LoopbackDeviceId(devices.InputDeviceNames());
  ASSERT_GE(loopOut, 0);
  ASSERT_GE(loopIn, 0);
  test::TestFolder folder;
  const size_t sourceFrames = 3 * kRate;
  WriteLeftChord(folder.File("chord.wav"), sourceFrames);

  const struct {
    int storedBlock;  // the setting as stored
    int blockValues;  // the block the engine uses
    int preRoll;
    int idleMs;  // live input runs this long before the run starts
  } cases[] = {{512, 512, 6, 0}, {4096, 4096, 7, 0}, {600, 512, 4, 500}};
  for (const auto& c : cases) {
    SCOPED_TRACE("live block " + std::to_string(c.storedBlock) + ", pre-roll " + std::to_string(c.preRoll));
    MessageQueue queue;
    ScriptedPrompts prompts;
    RunState run;
    WaveStream input(4096, 8192, run);
    WaveStream output(4096, 8192, run);
    DeviceEngine engine(devices, queue, prompts, run, output, input,
                        {unsigned(loopOut), unsigned(loopIn), c.preRoll, c.storedBlock});
    // The source plays on the same loopback, through an engine of its own.
    RunState sourceRun;
    WaveStream sourceStream(4096, 4096, sourceRun);
    WaveStream sourceUnused(4096, 4096, sourceRun);
    DeviceEngine source(devices, queue, prompts, sourceRun, sourceStream, sourceUnused, {unsigned(loopOut), 0, 7});
    ASSERT_EQ(source.PlayFileRegion(folder.File("chord.wav"), 0, 0), 0);

    const double design = test::DesignLagFrames(c.blockValues, c.preRoll, 2, kPeriod);
    // The run ends before the source does: closing a device stalls the thread a while.
    const size_t captureFrames = sourceFrames - size_t(c.idleMs) * kRate / 1000 - kRate / 4;
    const test::LiveCapture capture =
        test::RunLivePass(engine, queue, input, output, run, kRate, captureFrames, c.idleMs);
    source.CloseOutput();
    ASSERT_TRUE(capture.opened) << (prompts.Entries().empty() ? "" : prompts.Entries()[0].text);
    EXPECT_TRUE(prompts.Entries().empty());
    EXPECT_EQ(input.LiveBlockLength(), 4096) << "closing the input restores the whole block";
    EXPECT_EQ(output.LiveBlockLength(), 4096) << "closing the output restores the whole block";
    ASSERT_FALSE(capture.blockLengths.empty());
    EXPECT_TRUE(std::all_of(capture.blockLengths.begin(), capture.blockLengths.end(),
                            [&](int length) { return length == c.blockValues; }))
        << "every live block holds the live block size";

    // One step of rounding through the server's floats is allowed.
    const test::LagSurvey survey = test::SurveyLags(capture, kChunkFrames, 3 * long(design), 256);
    const size_t playedChunks = (captureFrames - static_cast<size_t>(design)) / kChunkFrames;
    EXPECT_GE(survey.heard, playedChunks - 2) << "the chord was played back whole";
    // A period the loaded server drops spoils a chunk or two, never many.
    EXPECT_LE(survey.Missed(), 2 + survey.heard / 20) << "chunks played that are not the input";
    ASSERT_FALSE(survey.lags.empty());
    const long fastest = *std::min_element(survey.lags.begin(), survey.lags.end());
    // The run cannot answer before a whole input buffer has arrived; the design's delay
    // (input buffer, pre-roll, server period) bounds it, with a period to spare for a loaded
    // server's late start (input that waited since live input opened would add far more).
    EXPECT_GE(fastest, c.blockValues / 2);
    EXPECT_LE(fastest, design + kPeriod) << "design " << design << " frames";
    std::printf("[ live block %d, pre-roll %d ] lag %ld frames (design %.0f), %zu of %zu chunks matched\n",
                c.blockValues, c.preRoll, fastest, design, survey.lags.size(), survey.heard);
  }
}

}  // namespace
}  // namespace ztlive
