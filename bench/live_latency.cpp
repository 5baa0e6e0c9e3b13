// live_latency: the round trip of a live run through the JACK loopback at several live block
// sizes and pre-rolls, against the design's figure (one input buffer plus PreRollBuffs - 1
// play buffers plus the server period). A chord is played into the loopback's left channel;
// the live run plays each frame's left value on the right channel, so the capture holds the
// input and the run's output side by side. Each 1024-frame chunk of the output is matched
// value for value against the input; the lag is where it matches. Overruns and underruns are
// counted while the run plays. Prints a table; takes about a minute.
#include <algorithm>
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
constexpr size_t kSourceFrames = 5 * kRate;

void WriteLeftChord(const std::string& path) {
  const std::vector<float> chord = test::ChordValues(kSourceFrames, 1, kRate);
  std::vector<float> stereo(kSourceFrames * 2, 0.0f);
  for (size_t i = 0; i < kSourceFrames; ++i) stereo[2 * i] = chord[i];
  std::vector<uint8_t> data(stereo.size() * 2);
  FloatToPcm(stereo.data(), stereo.size(), 2, data.data());
  test::WriteBytes(path, test::WaveBytes().Format(1, 2, kRate, 16).Data(data).Build());
}

double Ms(double frames) { return frames * 1000 / kRate; }

void Measure(PortAudioWaveSystem& devices, const std::string& chord, int liveBlock, int preRoll) {
  const auto loopOut = static_cast<unsigned>(test::LoopbackDeviceId(devices.OutputDeviceNames()));
  const auto loopIn = static_cast<unsigned>(test::LoopbackDeviceId(devices.InputDeviceNames()));
  MessageQueue queue;
  ScriptedPrompts prompts;
  RunState run;
  WaveStream input(4096, 8192, run);
  WaveStream output(4096, 8192, run);
  DeviceEngine engine(devices, queue, prompts, run, output, input, {loopOut, loopIn, preRoll, liveBlock});
  RunState sourceRun;
  WaveStream sourceStream(4096, 4096, sourceRun);
  WaveStream sourceUnused(4096, 4096, sourceRun);
  DeviceEngine source(devices, queue, prompts, sourceRun, sourceStream, sourceUnused, {loopOut, 0, 7});
  if (source.PlayFileRegion(chord, 0, 0) != 0) return;
  const uint64_t overrunsBefore = devices.OverrunFrames();
  const uint64_t underrunsBefore = devices.UnderrunFrames();
  uint64_t overruns = 0;
  uint64_t underruns = 0;
  const double design = test::DesignLagFrames(liveBlock, preRoll, 2, kPeriod);
  // Live input runs for a second before the run starts, as when the recording window opened
  // it; the run ends before the source does (closing a device stalls the thread a while).
  const test::LiveCapture capture =
      test::RunLivePass(engine, queue, input, output, run, kRate, kSourceFrames - 3 * kRate / 2, 1000, [&] {
        overruns = devices.OverrunFrames() - overrunsBefore;
        underruns = devices.UnderrunFrames() - underrunsBefore;
      });
  source.CloseOutput();
  test::LagSurvey survey = test::SurveyLags(capture, 1024, 3 * long(design), 256);
  if (survey.lags.empty()) {
    std::printf("| %d | %d | %.1f ms | no match | | | | |\n", liveBlock, preRoll, Ms(design));
    return;
  }
  std::sort(survey.lags.begin(), survey.lags.end());
  const double fastest = double(survey.lags.front());
  const double median = double(survey.lags[survey.lags.size() / 2]);
  const double slowest = double(survey.lags.back());
  std::printf("| %d | %d | %.1f ms | %.1f / %.1f / %.1f ms | %+.1f ms | %zu/%zu | %llu | %llu |\n", liveBlock, preRoll,
              Ms(design), Ms(fastest), Ms(median), Ms(slowest), Ms(median - design), survey.lags.size(), survey.heard,
              static_cast<unsigned long long>(overruns), static_cast<unsigned long long>(underruns));
}

}  // namespace
}  // namespace ztlive

int main() {
  using namespace ztlive;
  test::JackTestServer server(kRate, kPeriod);
  if (!server.Running()) {
    std::printf("no JACK server: %s\n", server.FailureText().c_str());
    return 1;
  }
  test::TestFolder folder;
  WriteLeftChord(folder.File("chord.wav"));
  PortAudioWaveSystem devices;
  std::printf("JACK dummy server, %u Hz, period %d frames; 16-bit stereo\n\n", kRate, kPeriod);
  std::printf("| live block | pre-roll | design | measured min / median / max | median - design | chunks matched | "
              "overruns | underruns |\n|---|---|---|---|---|---|---|---|\n");
  const struct {
    int liveBlock;
    int preRoll;
  } settings[] = {{4096, 7}, {2048, 7}, {1024, 7}, {512, 7}, {512, 6}, {512, 4}, {256, 8}, {256, 6}, {256, 4}};
  for (const auto& s : settings) Measure(devices, folder.File("chord.wav"), s.liveBlock, s.preRoll);
  return 0;
}
