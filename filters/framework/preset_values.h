// The eleven integer settings of a filter, and the texts they are stored as in the preset
// file: "%d,%d,...,%d" (plain), the same with a line feed after the last value (a preset saved
// under a new name), and with one blank before the eleventh value (the automatic "Default").
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace ztlive {

inline constexpr int kPresetValueCount = 11;

struct PresetValues {
  std::array<int32_t, kPresetValueCount> p{};

  int32_t& operator[](size_t i) { return p[i]; }
  int32_t operator[](size_t i) const { return p[i]; }
  friend bool operator==(const PresetValues&, const PresetValues&) = default;
};

enum class PresetTextForm { Plain, TrailingLineFeed, BlankBeforeLast };

std::string FormatPresetValues(const PresetValues& values, PresetTextForm form);

// Scans up to eleven decimal integers separated by commas, each after optional blanks, as the
// stored texts hold them; stops at the first thing that does not fit. Numbers beyond 32 bits
// are held at the nearest limit. Integers the text does not supply are 0. Returns how many
// integers were read.
int ParsePresetValues(std::string_view text, PresetValues& values);

}  // namespace ztlive
