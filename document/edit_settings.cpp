#include "document/edit_settings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

namespace ztlive {

namespace {

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

SilenceSettings ReadSilenceSettings(const SettingsStore& settings) {
  SilenceSettings silence;
  const std::string stored = settings.Read(setting::kSilenceLength);
  const std::string_view text = Trimmed(stored);
  double seconds = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (error == std::errc() && end == text.data() + text.size() && std::isfinite(seconds) &&
      seconds >= kSilenceSecondsMinimum && seconds <= kSilenceSecondsMaximum)
    silence.seconds = seconds;
  const int place = settings.Read(setting::kSilencePaste);
  if (place >= static_cast<int>(SilencePlace::FileStart) && place <= static_cast<int>(SilencePlace::SelectionStart))
    silence.place = static_cast<SilencePlace>(place);
  return silence;
}

void WriteSilenceSettings(SettingsStore& settings, const SilenceSettings& silence) {
  char text[32];
  const auto [end, error] = std::to_chars(text, text + sizeof text, silence.seconds, std::chars_format::general, 6);
  if (error == std::errc())
    settings.Write(setting::kSilenceLength, std::string_view(text, static_cast<size_t>(end - text)));
  settings.Write(setting::kSilencePaste, static_cast<int32_t>(silence.place));
}

MarkSilenceSettings ReadMarkSilenceSettings(const SettingsStore& settings) {
  return {.thresholdDb =
              std::clamp(settings.Read(setting::kMarkSilenceThresh), kMarkSilenceThresholdMinimum, kMarkSilenceThresholdMaximum),
          .minimumTenths =
              std::clamp(settings.Read(setting::kMarkSilenceLength), kMarkSilenceTenthsMinimum, kMarkSilenceTenthsMaximum)};
}

void WriteMarkSilenceSettings(SettingsStore& settings, const MarkSilenceSettings& values) {
  settings.Write(setting::kMarkSilenceThresh, values.thresholdDb);
  settings.Write(setting::kMarkSilenceLength, values.minimumTenths);
}

}  // namespace ztlive
