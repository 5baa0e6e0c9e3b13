#include "filters/framework/preset_values.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace ztlive {

std::string FormatPresetValues(const PresetValues& values, PresetTextForm form) {
  std::string text;
  for (int i = 0; i < kPresetValueCount; ++i) {
    if (i > 0) text += (i == kPresetValueCount - 1 && form == PresetTextForm::BlankBeforeLast) ? ", " : ",";
    text += std::to_string(values.p[static_cast<size_t>(i)]);
  }
  if (form == PresetTextForm::TrailingLineFeed) text += '\n';
  return text;
}

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// One "%d": blanks, an optional sign, digits. False when no digit follows.
bool ScanInteger(std::string_view text, size_t& position, int32_t& value) {
  while (position < text.size() && IsSpace(text[position])) ++position;
  size_t at = position;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  if (at >= text.size() || text[at] < '0' || text[at] > '9') return false;
  int64_t magnitude = 0;
  constexpr int64_t kCap = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
    magnitude = std::min(kCap, magnitude * 10 + (text[at] - '0'));
  const int64_t signedValue = negative ? -magnitude : magnitude;
  value = static_cast<int32_t>(std::clamp<int64_t>(signedValue, std::numeric_limits<int32_t>::min(),
                                                   std::numeric_limits<int32_t>::max()));
  position = at;
  return true;
}

}  // namespace

int ParsePresetValues(std::string_view text, PresetValues& values) {
  values = PresetValues();
  size_t position = 0;
  int count = 0;
  while (count < kPresetValueCount) {
    if (!ScanInteger(text, position, values.p[static_cast<size_t>(count)])) break;
    ++count;
    if (count == kPresetValueCount || position >= text.size() || text[position] != ',') break;
    ++position;
  }
  return count;
}

}  // namespace ztlive
