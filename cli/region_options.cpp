#include "cli/region_options.h"

#include <cmath>
#include <cstdlib>

#include "core/wave_stream.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

bool ParseSeconds(const std::string& text, double& seconds) {
  char* end = nullptr;
  seconds = std::strtod(text.c_str(), &end);
  return !text.empty() && end != nullptr && *end == '\0' && std::isfinite(seconds) && seconds >= 0;
}

}  // namespace

bool ProbeWaveInfo(const std::string& path, WaveInfo& info) {
  RunState run;
  WaveStream stream(64, 0, run);
  if (stream.Open(path, kOpenRead) != kStreamOk) return false;
  const WaveFormat& format = stream.Format();
  info = WaveInfo{stream.DataBytes(), format.channels, format.sampleRate, format.blockAlign, format.bitsPerSample};
  return true;
}

std::string ClockText(double seconds) {
  const auto millis = static_cast<long long>(std::llround(seconds * 1000));
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld.%03lld", millis / 60000, millis / 1000 % 60, millis % 1000);
  return text;
}

bool ReadRegion(const ParsedArguments& parsed, const WaveInfo& info, Region& region, CommandContext& context,
                const char* fromOption, const char* toOption) {
  double from = 0;
  double to = -1;
  for (const auto& [name, target] : {std::pair<const char*, double*>{fromOption, &from}, {toOption, &to}}) {
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

}  // namespace ztlive::cli
