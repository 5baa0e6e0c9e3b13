// A playlist of three short tones played through the real sound card layer: a private JACK
// server's loopback device records what the player plays, and the tones must come back in
// list order, each about as long as its file.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>

#include "live/playlist_player.h"
#include "platform/portaudio_wave_system.h"
#include "platform/scripted_prompts.h"
#include "testing/jack_test_server.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kRate = 44100;
constexpr double kToneSeconds = 0.6;
constexpr double kFrequencies[] = {440.0, 1250.0, 3100.0};

void WriteTone(const std::string& path, double frequency) {
  const auto frames = static_cast<size_t>(kToneSeconds * kRate);
  std::vector<int16_t> samples;
  for (size_t i = 0; i < frames; ++i) {
    const auto value = static_cast<int16_t>(std::lround(9000 * std::sin(2 * std::numbers::pi * frequency * i / kRate)));
    samples.push_back(value);
    samples.push_back(value);
  }
  test::WriteBytes(path, test::WaveBytes().Format(1, 2, kRate, 16).Data(test::Samples16(samples)).Build());
}

// The power of one frequency in a window of mono samples (Goertzel).
double Power(const std::vector<double>& window, double frequency) {
  const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / kRate);
  double previous = 0;
  double beforePrevious = 0;
  for (double sample : window) {
    const double current = sample + coefficient * previous - beforePrevious;
    beforePrevious = previous;
    previous = current;
  }
  return previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
}

// Which tone each window of the recording's left channel holds (-1: none, silence).
std::vector<int> TonesHeard(const std::vector<uint8_t>& file, size_t windowFrames) {
  std::vector<int> heard;
  const size_t frames = (file.size() - 44) / 4;
  for (size_t start = 0; start + windowFrames <= frames; start += windowFrames) {
    std::vector<double> window;
    for (size_t i = 0; i < windowFrames; ++i) {
      int16_t value = 0;
      std::memcpy(&value, file.data() + 44 + 4 * (start + i), 2);
      window.push_back(value);
    }
    int best = -1;
    double bestPower = 1e11;  // well above the noise of silence, well below a whole tone's
    for (int tone = 0; tone < 3; ++tone) {
      const double power = Power(window, kFrequencies[tone]);
      if (power > bestPower) {
        best = tone;
        bestPower = power;
      }
    }
    heard.push_back(best);
  }
  return heard;
}

TEST(PlaylistPlayerJack, ThreeTonesPlayInListOrderOnTheSoundCard) {
  test::JackTestServer server(kRate, 512);
  if (!server.Running()) GTEST_SKIP() << "no JACK server: " << server.FailureText();
  test::TestFolder folder;
  PortAudioWaveSystem devices;
  const int output = test::LoopbackDeviceId(devices.OutputDeviceNames());
  const int input = test::LoopbackDeviceId(devices.InputDeviceNames());
  ASSERT_GE(output, 0);
  ASSERT_GE(input, 0);
  MessageQueue queue;
  ScriptedPrompts prompts;
  RunState run;
  WaveStream playStream{4096, 4096, run};
  WaveStream recordStream{4096, 4096, run};
  DeviceEngine engine(devices, queue, prompts, run, playStream, recordStream, {unsigned(output), unsigned(input), 7});
  // A second engine records the loopback, with a run state that stays in recording.
  RunState recorderRun;
  recorderRun.engineState = 183;
  WaveStream recorderPlayStream{4096, 4096, recorderRun};
  DeviceEngine recorder(devices, queue, prompts, recorderRun, recorderPlayStream, recordStream,
                        {unsigned(output), unsigned(input), 7});

  Playlist list(prompts);
  for (int tone = 0; tone < 3; ++tone) {
    const std::string path = folder.File("tone" + std::to_string(tone) + ".wav");
    WriteTone(path, kFrequencies[tone]);
    ASSERT_TRUE(list.AddEntry(path));
  }
  PlaylistPlayer player(engine, run, list);
  std::vector<int> started;
  player.SetEntryStarted([&](int index) { started.push_back(index); });

  ASSERT_EQ(recorder.OpenInput(folder.File("recorded.wav"), MakePcmFormat(2, kRate, 16), kCreateOverwrite), 0);
  player.StartList(0);
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while ((player.ListPlaying() || engine.OutputOpen()) && Clock::now() < deadline) {
    queue.DispatchOne(10);
    player.Poll();
  }
  ASSERT_FALSE(player.ListPlaying()) << "the list did not end";
  const auto settle = Clock::now() + std::chrono::milliseconds(300);  // the loop's delay
  while (Clock::now() < settle) queue.DispatchOne(10);
  recorder.CloseInput();
  EXPECT_EQ(started, (std::vector<int>{0, 1, 2}));
  EXPECT_TRUE(prompts.Entries().empty());

  const size_t windowFrames = 2205;  // 50 ms
  const std::vector<int> heard = TonesHeard(test::ReadBytes(folder.File("recorded.wav")), windowFrames);
  std::vector<int> order;
  std::vector<int> windows(3, 0);
  for (int tone : heard) {
    if (tone < 0) continue;
    ++windows[static_cast<size_t>(tone)];
    if (order.empty() || order.back() != tone) order.push_back(tone);
  }
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2})) << "each tone once, in list order";
  // 0.6 s is 12 windows; one or two straddle a tone's edges.
  for (int count : windows) {
    EXPECT_GE(count, 10);
    EXPECT_LE(count, 13);
  }
}

}  // namespace
}  // namespace ztlive
