#include "cli/device_commands.h"

#include <unistd.h>

#include <chrono>

#include "cli/command_player.h"
#include "cli/interrupts.h"
#include "cli/region_options.h"
#include "core/device_engine.h"
#include "core/wave_ranges.h"
#include "platform/portaudio_wave_system.h"
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

  const std::unique_ptr<CommandPlayer> player = CommandPlayer::Open(context.prompts);
  if (player == nullptr) return kExitFailure;
  DeviceEngine& engine = player->Engine();

  const InterruptGuard interrupts;
  const bool progress = isatty(fileno(context.err)) != 0;
  const double bytesPerSecond = static_cast<double>(info.sampleRate) * info.blockAlign;
  const double total = (region.to - region.from) / bytesPerSecond;
  do {
    if (engine.PlayFileRegion(path, region.from, region.to) != 0) return kExitFailure;
    auto lastLine = std::chrono::steady_clock::time_point{};
    while (engine.OutputOpen() && !InterruptGuard::Interrupted()) {
      engine.AwaitOutput(50);
      const auto now = std::chrono::steady_clock::now();
      if (progress && now - lastLine > std::chrono::milliseconds(100)) {
        lastLine = now;
        const double played = (engine.PlayPosition() - region.from) / bytesPerSecond;
        std::fprintf(context.err, "\r%s / %s ", ClockText(played).c_str(), ClockText(total).c_str());
        std::fflush(context.err);
      }
    }
    if (engine.OutputLost()) {  // the engine has said so
      if (progress) std::fprintf(context.err, "\n");
      return kExitFailure;
    }
  } while (parsed.Has("loop") && !InterruptGuard::Interrupted());
  if (InterruptGuard::Interrupted()) {
    // The stop command: the device returns its buffers and the output closes.
    player->Run().stopRequested.store(1);
    engine.CloseOutput();
  }
  if (progress) std::fprintf(context.err, "\n");
  return kExitOk;
}

}  // namespace

const Command kDevicesCommand{"devices", "", "lists the sound card inputs and outputs with their ids", RunDevices};
const Command kPlayCommand{"play", kPlayArguments,
                           "plays a wave file, or the region from --from to --to seconds, on the DevOut device "
                           "(Ctrl+C stops)",
                           RunPlay};

}  // namespace ztlive::cli
