#include "cli/device_commands.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>

#include "core/device_engine.h"
#include "core/wave_ranges.h"
#include "platform/portaudio_wave_system.h"
#include "platform/settings_store.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr std::string_view kPlayArguments = "FILE.wav [--from S] [--to S] [--loop]";

int Usage(CommandContext& context, std::string_view name, std::string_view arguments) {
  PrintError(context, FormatText(StringId::kCliWrongArguments, {"ztlive-cli " + std::string(name) + " " + std::string(arguments)}));
  return kExitUsage;
}

void PrintList(CommandContext& context, StringId title, const std::vector<std::string>& names) {
  std::fprintf(context.out, "%s\n", std::string(StringText(title)).c_str());
  if (names.empty()) std::fprintf(context.out, "%s\n", std::string(StringText(StringId::kCliNoDevices)).c_str());
  for (size_t i = 0; i < names.size(); ++i) std::fprintf(context.out, "  %zu: %s\n", i, names[i].c_str());
}

int RunDevices(const std::vector<std::string>& args, CommandContext& context) {
  const ParsedArguments parsed = ParseArguments(args, {}, "devices");
  if (!parsed.error.empty()) {
    PrintError(context, parsed.error);
    return kExitUsage;
  }
  if (!parsed.positional.empty()) return Usage(context, "devices", "");
  PortAudioWaveSystem devices;
  if (!devices.InitError().empty()) {
    PrintError(context, FormatText(StringId::kCliSoundSystemFailed, {devices.InitError()}));
    return kExitFailure;
  }
  PrintList(context, StringId::kCliInputDevices, devices.InputDeviceNames());
  PrintList(context, StringId::kCliOutputDevices, devices.OutputDeviceNames());
  return kExitOk;
}

bool ParseSeconds(const std::string& text, double& seconds) {
  char* end = nullptr;
  seconds = std::strtod(text.c_str(), &end);
  return !text.empty() && end != nullptr && *end == '\0' && std::isfinite(seconds) && seconds >= 0;
}

// Ctrl+C asks the playback to stop; the loop below sees the flag and stops the engine.
volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

class InterruptGuard {
 public:
  InterruptGuard() {
    g_interrupted = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: the queue's wait returns at once
    sigaction(SIGINT, &action, &m_previousInt);
    sigaction(SIGTERM, &action, &m_previousTerm);
  }
  ~InterruptGuard() {
    sigaction(SIGINT, &m_previousInt, nullptr);
    sigaction(SIGTERM, &m_previousTerm, nullptr);
  }

 private:
  struct sigaction m_previousInt {};
  struct sigaction m_previousTerm {};
};

std::string Clock(double seconds) {
  const auto millis = static_cast<long long>(std::llround(seconds * 1000));
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld.%03lld", millis / 60000, millis / 1000 % 60, millis % 1000);
  return text;
}

struct Region {
  uint32_t from = 0;
  uint32_t to = 0;
};

// The region's byte offsets from --from and --to, in whole frames; false after a message.
bool ReadRegion(const ParsedArguments& parsed, const WaveInfo& info, Region& region, CommandContext& context) {
  double from = 0;
  double to = -1;
  for (const auto& [name, target] : {std::pair<const char*, double*>{"from", &from}, {"to", &to}}) {
    const auto value = parsed.values.find(name);
    if (value == parsed.values.end()) continue;
    if (!ParseSeconds(value->second, *target)) {
      PrintError(context, FormatText(StringId::kCliNotSeconds, {value->second}));
      return false;
    }
  }
  const uint64_t frames = info.dataBytes / static_cast<uint64_t>(info.blockAlign);
  auto offset = [&](double seconds) {
    const double frame = std::min<double>(std::floor(seconds * info.sampleRate), static_cast<double>(frames));
    return static_cast<uint64_t>(frame) * static_cast<uint64_t>(info.blockAlign);
  };
  const uint64_t first = offset(from);
  const uint64_t last = to < 0 ? info.dataBytes : offset(to);
  if (last <= first || first > 0xFFFFFFFFull) {
    PrintError(context, FormatText(StringId::kCliRegionEmpty, {std::to_string(from), to < 0 ? "end" : std::to_string(to)}));
    return false;
  }
  region = {static_cast<uint32_t>(first), static_cast<uint32_t>(std::min<uint64_t>(last, 0xFFFFFFFFull))};
  return true;
}

int RunPlay(const std::vector<std::string>& args, CommandContext& context) {
  const ParsedArguments parsed =
      ParseArguments(args, {{"from", true}, {"to", true}, {"loop", false}}, "play");
  if (!parsed.error.empty()) {
    PrintError(context, parsed.error);
    return kExitUsage;
  }
  if (parsed.positional.size() != 1) return Usage(context, "play", kPlayArguments);
  const std::string& path = parsed.positional[0];
  WaveInfo info;
  if (ReadWaveInfo(path, info, context.prompts) != 0) return kExitFailure;
  Region region;
  if (!ReadRegion(parsed, info, region, context)) return kExitUsage;

  PortAudioWaveSystem devices;
  if (devices.OutputDeviceNames().empty()) {
    context.prompts.Show(StringText(StringId::kNoPlaybackDevice), "", PromptIcon::Error);
    return kExitFailure;
  }
  const SettingsStore settings;
  const DeviceEngine::Settings engineSettings{static_cast<unsigned>(settings.Read(setting::kDevOut)),
                                              static_cast<unsigned>(settings.Read(setting::kDevIn)),
                                              settings.Read(setting::kPreRollBuffs)};
  MessageQueue queue;
  RunState run;
  WaveStream playStream(4096, 4096, run);
  WaveStream recordStream(4096, 4096, run);
  DeviceEngine engine(devices, queue, context.prompts, run, playStream, recordStream, engineSettings);

  const InterruptGuard interrupts;
  const bool progress = isatty(fileno(context.err)) != 0;
  const double bytesPerSecond = static_cast<double>(info.sampleRate) * info.blockAlign;
  const double total = (region.to - region.from) / bytesPerSecond;
  int result = kExitOk;
  do {
    if (engine.PlayFileRegion(path, region.from, region.to) != 0) return kExitFailure;
    auto lastLine = std::chrono::steady_clock::time_point{};
    while (engine.OutputOpen() && !g_interrupted) {
      queue.DispatchOne(50);
      const auto now = std::chrono::steady_clock::now();
      if (progress && now - lastLine > std::chrono::milliseconds(100)) {
        lastLine = now;
        const double played = (engine.PlayPosition() - region.from) / bytesPerSecond;
        std::fprintf(context.err, "\r%s / %s ", Clock(played).c_str(), Clock(total).c_str());
        std::fflush(context.err);
      }
    }
  } while (parsed.Has("loop") && !g_interrupted);
  if (g_interrupted) {
    // The stop command: the device returns its buffers and the output closes.
    run.stopRequested.store(1);
    engine.CloseOutput();
  }
  if (progress) std::fprintf(context.err, "\n");
  return result;
}

}  // namespace

const Command kDevicesCommand{"devices", "", "lists the sound card inputs and outputs with their ids", RunDevices};
const Command kPlayCommand{"play", kPlayArguments,
                           "plays a wave file, or the region from --from to --to seconds, on the DevOut device "
                           "(Ctrl+C stops)",
                           RunPlay};

}  // namespace ztlive::cli
