#include "cli/input_options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr uint32_t kRateChoices[] = {48000, 44100, 22050, 11025};
constexpr int kCustomRateChoice = 4;

bool IsInputWidth(long bits) { return bits == 8 || bits == 16 || bits == 20 || bits == 24; }

// A whole number without sign or anything after it; false otherwise.
bool ParseWhole(const std::string& text, long& value) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text.c_str(), &end, 10);
  return errno == 0 && end != nullptr && *end == '\0';
}

}  // namespace

WaveFormat StoredRecordFormat(const SettingsStore& settings) {
  const int choice = settings.Read(setting::kRecordRate);
  uint32_t rate = kRateChoices[1];
  if (choice >= 0 && choice < kCustomRateChoice) {
    rate = kRateChoices[choice];
  } else if (choice == kCustomRateChoice) {
    const int custom = settings.Read(setting::kCustomRate);
    rate = static_cast<uint32_t>(std::clamp<int>(custom, kLowestInputRate, kHighestInputRate));
  }
  const int bits = settings.Read(setting::kRecordBits);
  const uint16_t channels = settings.Read(setting::kRecordStereo) == 1 ? 1 : 2;
  return MakePcmFormat(channels, rate, static_cast<uint16_t>(IsInputWidth(bits) ? bits : 16));
}

bool ReadInputOptions(const ParsedArguments& parsed, const SettingsStore& settings, InputOptions& options,
                      CommandContext& context) {
  const WaveFormat stored = StoredRecordFormat(settings);
  uint32_t rate = stored.sampleRate;
  uint16_t bits = stored.bitsPerSample;
  if (const auto given = parsed.values.find("rate"); given != parsed.values.end()) {
    long value = 0;
    if (!ParseWhole(given->second, value) || value < long{kLowestInputRate} || value > long{kHighestInputRate}) {
      PrintError(context, FormatText(StringId::kCliBadRate, {std::to_string(kLowestInputRate),
                                                             std::to_string(kHighestInputRate), given->second}));
      return false;
    }
    rate = static_cast<uint32_t>(value);
  }
  if (const auto given = parsed.values.find("bits"); given != parsed.values.end()) {
    long value = 0;
    if (!ParseWhole(given->second, value) || !IsInputWidth(value)) {
      PrintError(context, FormatText(StringId::kCliBadBits, {given->second}));
      return false;
    }
    bits = static_cast<uint16_t>(value);
  }
  const uint16_t channels = parsed.Has("mono") ? 1 : stored.channels;
  options.format = MakePcmFormat(channels, rate, bits);

  options.seconds.reset();
  if (const auto given = parsed.values.find("seconds"); given != parsed.values.end()) {
    char* end = nullptr;
    const double seconds = std::strtod(given->second.c_str(), &end);
    if (given->second.empty() || end == nullptr || *end != '\0' || !std::isfinite(seconds)) {
      PrintError(context, FormatText(StringId::kCliNotSeconds, {given->second}));
      return false;
    }
    // At least one frame, and no more than a 32-bit data chunk holds.
    if (seconds * rate < 1 || seconds * rate * options.format.blockAlign > 4.0e9) {
      PrintError(context, FormatText(StringId::kCliSecondsNotPositive, {given->second}));
      return false;
    }
    options.seconds = seconds;
  }
  return true;
}

std::string PeakText(SampleValue peak) {
  if (peak <= 0) return std::string(StringText(StringId::kCliLevelSilent));
  const double db = 20.0 * std::log10(static_cast<double>(peak) / kSampleMax);
  char text[32];
  std::snprintf(text, sizeof text, "%5.1f dB", std::max(db, -99.9));
  return text;
}

void MeasurePeaks(const SampleValue* begin, const SampleValue* end, int channels, SampleValue& left,
                  SampleValue& right) {
  left = right = 0;
  const bool stereo = channels == 2;
  for (const SampleValue* value = begin; value < end; ++value) {
    const SampleValue magnitude = *value == INT32_MIN ? INT32_MAX : std::abs(*value);
    SampleValue& peak = stereo && ((value - begin) & 1) ? right : left;
    peak = std::max(peak, magnitude);
  }
  if (!stereo) right = left;
}

std::string ChannelsText(int channels) {
  return std::string(StringText(channels == 2 ? StringId::kCliStereo : StringId::kCliMono));
}

}  // namespace ztlive::cli
