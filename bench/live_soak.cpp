// live_soak: a long live run of the impulse and continuous noise filters as a chain on a
// private JACK server (dummy driver), as the Multi-Filter window's "Live Preview" runs it.
//
//   live_soak SECONDS LIVE_BLOCK PRE_ROLL
//
// A child process plays a worn record (music with hiss, hum and clicks, 30 s, looped) into the
// loopback; the live run reads the loopback's capture at the given "LiveBlockSize" and
// "PreRollBuffs" and plays on the dummy output (not the loopback, so nothing feeds back). The
// continuous noise filter gets a print of the record's hiss. Prints one table row: input
// overruns and output underruns (frames, as the sound card layer counts them) and the CPU
// time of the live process (the player and the server are not counted) per second of audio.
// The configuration folder is a private one.
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/device_engine.h"
#include "document/run_environment.h"
#include "filters/restoration/continuous_noise_filter.h"
#include "filters/restoration/noise_print.h"
#include "filters/restoration/noise_sampler.h"
#include "live/chain_runner.h"
#include "live/filter_chain.h"
#include "platform/console_prompts.h"
#include "platform/portaudio_wave_system.h"
#include "platform/scripted_prompts.h"
#include "testing/engine_run.h"
#include "testing/jack_test_server.h"
#include "testing/test_folder.h"
#include "testing/test_signals.h"

namespace ztlive {
namespace {

constexpr uint32_t kRate = 44100;
constexpr int kPeriod = 512;
constexpr double kRecordSeconds = 30;
constexpr size_t kLeadFrames = kRate;  // hiss and hum only: the noise print's stretch
constexpr FilterTypeId kImpulseType = 15;
constexpr FilterTypeId kContinuousNoiseType = 8;
constexpr int32_t kNoiseSizeIndex = 2;  // 1024 pairs

PresetValues Values(std::initializer_list<int32_t> list) {
  PresetValues values;
  std::copy(list.begin(), list.end(), values.p.begin());
  return values;
}

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

int DeviceId(const std::vector<std::string>& names, const std::string& part) {
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i].find(part) != std::string::npos) return static_cast<int>(i);
  return -1;
}

std::vector<SampleValue> WornRecord() {
  const size_t frames = static_cast<size_t>(kRecordSeconds * kRate);
  const std::vector<SampleValue> music = test::MusicLike(2, kRecordSeconds, kRate);
  std::vector<SampleValue> values(frames * 2, 0);
  for (size_t i = kLeadFrames * 2; i < values.size(); ++i) values[i] = music[i - kLeadFrames * 2];
  test::AddRecordWear(values, 2, kRate, {.cleanFrames = kLeadFrames});
  return values;
}

bool WriteRecord(const std::string& path, const std::vector<SampleValue>& values) {
  RunState run;
  WaveStream out(4096, 4096, run);
  WaveFormat format = MakePcmFormat(2, kRate, 16);
  if (out.Create(path, format, kCreateOverwrite) != kStreamOk) return false;
  out.SetMode(kModeFile);
  out.PrepareWriteBuffer();
  bool written = true;
  for (size_t i = 0; i < values.size() && written; ++i) written = out.WriteSample(values[i]) != 0;
  written = written && out.FinishWrite(kFlagDirty, kFlagDirty) == 0;
  out.Close();
  return written;
}

// The child: plays the record on the loopback again and again until it is killed.
[[noreturn]] void PlayForever(const std::string& path) {
  PortAudioWaveSystem devices;
  MessageQueue queue;
  ScriptedPrompts prompts;
  RunState run;
  WaveStream play(4096, 4096, run);
  WaveStream unused(4096, 4096, run);
  const int loopOut = test::LoopbackDeviceId(devices.OutputDeviceNames());
  DeviceEngine engine(devices, queue, prompts, run, play, unused, {unsigned(std::max(loopOut, 0)), 0, 7});
  for (;;) {
    run.stopRequested.store(0);
    if (engine.PlayFileRegion(path, 0, 0) != 0) _exit(1);
    while (engine.OutputOpen()) queue.DispatchOne(50);
  }
}

class NoNames : public PresetNameAsker {
 public:
  bool AskPresetName(std::string&) override { return false; }
};

int Soak(double seconds, int liveBlock, int preRoll) {
  test::TestFolder folder;
  const test::ScopedEnvironment home("ZTLIVE_HOME", folder.Path());  // presets and temporary files
  const std::vector<SampleValue> record = WornRecord();
  const std::string recordPath = folder.File("worn.wav");
  if (!WriteRecord(recordPath, record)) {
    std::fprintf(stderr, "cannot write %s\n", recordPath.c_str());
    return 1;
  }
  // The print of the lead's hiss, as a noise-sampling run over it makes.
  NoiseSampler sampler;
  sampler.SetValues(Values({int32_t{256} << kNoiseSizeIndex}));
  test::RunEngine(sampler, 2, kRate, std::vector<SampleValue>(record.begin(), record.begin() + 2 * kLeadFrames));
  const NoisePrint print = ReduceSpectrum(sampler.Average(0), &sampler.Average(1), kRate, int32_t{256} << kNoiseSizeIndex);

  test::JackTestServer server(kRate, kPeriod);
  if (!server.Running()) {
    std::fprintf(stderr, "no JACK server: %s\n", server.FailureText().c_str());
    return 1;
  }
  const pid_t player = fork();
  if (player == 0) PlayForever(recordPath);

  SettingsStore settings(folder.File("settings.ini"));
  auto owned = std::make_unique<PortAudioWaveSystem>();
  PortAudioWaveSystem& devices = *owned;
  const int loopIn = test::LoopbackDeviceId(devices.InputDeviceNames());
  const int dummyOut = DeviceId(devices.OutputDeviceNames(), "system");
  if (loopIn < 0 || dummyOut < 0) {
    std::fprintf(stderr, "no loopback input or dummy output: %s / %s\n", test::JoinedNames(devices.InputDeviceNames()).c_str(),
                 test::JoinedNames(devices.OutputDeviceNames()).c_str());
    kill(player, SIGTERM);
    waitpid(player, nullptr, 0);
    return 1;
  }
  settings.Write(setting::kDevIn, loopIn);
  settings.Write(setting::kDevOut, dummyOut);
  settings.Write(setting::kPreRollBuffs, preRoll);
  settings.Write(setting::kLiveBlockSize, liveBlock);

  RunState run;
  ConsolePrompts prompts(ConsolePrompts::Policy::No);
  RunEnvironment environment(std::move(owned), run, settings, prompts);
  const auto start = std::chrono::steady_clock::now();
  const auto end = start + std::chrono::duration<double>(seconds);
  // The counts are taken when the time is up, before the stop: closing the devices stalls the
  // thread while the input still records, which is no dropout of the run.
  uint64_t overruns = 0;
  uint64_t underruns = 0;
  bool timeUp = false;
  environment.Queue().SetPumpHook([&](int maxWaitMs) {
    if (maxWaitMs != 0) environment.Queue().PollWake(maxWaitMs < 0 ? 10 : std::min(maxWaitMs, 10));
    if (std::chrono::steady_clock::now() < end || run.stopRequested.load() != 0) return;
    overruns = devices.OverrunFrames();
    underruns = devices.UnderrunFrames();
    timeUp = true;
    run.stopRequested.store(1);
  });

  NoNames names;
  FilterChain chain(run, prompts, names);
  ChainNode* impulse = chain.InsertFilter(kImpulseType);
  ChainNode* noise = chain.InsertFilter(kContinuousNoiseType);
  if (impulse == nullptr || noise == nullptr) return 1;
  impulse->processor->SetValues(Values({2000, 7, 1, 0, 20, 1}));  // Vinyl LP, accuracy
  noise->processor->SetValues(Values({20, 100, 100, kNoiseSizeIndex}));
  static_cast<NoiseReductionProcessor&>(*noise->processor).SetNoisePrint(print);

  // What the recording window's "&Record" does in FeedThru Mode, then the chain's run.
  run.liveInput = 1;
  run.engineState = 237;
  const double cpuStart = CpuSeconds();
  int result = environment.Devices().OpenInput("", MakePcmFormat(2, kRate, 16), kCreateInPlace);
  if (result == 0) result = RunChain(environment.Runner(), chain, nullptr, false);
  const double cpu = CpuSeconds() - cpuStart;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.liveInput = 0;
  kill(player, SIGTERM);
  waitpid(player, nullptr, 0);
  if (result != 1 || !timeUp) {
    std::fprintf(stderr, "the live run failed or ended early (%d) after %.1f s\n", result, wall);
    return 1;
  }
  const double design = (double(liveBlock) / 2 * preRoll + kPeriod) / kRate * 1000;
  std::printf("| %d | %d | %.0f ms | %.0f s | %lld | %llu | %llu | %.4f s | %.2f %% |\n", liveBlock, preRoll, design, wall,
              static_cast<long long>(run.clickCount), static_cast<unsigned long long>(overruns),
              static_cast<unsigned long long>(underruns), cpu / wall, 100 * cpu / wall);
  return 0;
}

}  // namespace
}  // namespace ztlive

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: live_soak SECONDS LIVE_BLOCK PRE_ROLL\n");
    return 2;
  }
  std::printf("| live block | pre-roll | design delay | ran | clicks found | input overruns (frames) | output underruns (frames) "
              "| CPU per s of audio | share of one core |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|\n");
  return ztlive::Soak(std::atof(argv[1]), std::atoi(argv[2]), std::atoi(argv[3]));
}
