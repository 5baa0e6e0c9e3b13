// Fuzzes the preset-value parser: any text reads without a crash, and the values it reads
// written back in each stored form read the same again.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "filters/framework/preset_values.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ztlive::PresetValues values;
  const int count = ztlive::ParsePresetValues(std::string_view(reinterpret_cast<const char*>(data), size), values);
  if (count < 0 || count > ztlive::kPresetValueCount) __builtin_trap();
  for (int i = count; i < ztlive::kPresetValueCount; ++i)
    if (values.p[static_cast<size_t>(i)] != 0) __builtin_trap();
  for (const auto form : {ztlive::PresetTextForm::Plain, ztlive::PresetTextForm::TrailingLineFeed,
                          ztlive::PresetTextForm::BlankBeforeLast}) {
    ztlive::PresetValues again;
    if (ztlive::ParsePresetValues(ztlive::FormatPresetValues(values, form), again) != ztlive::kPresetValueCount) __builtin_trap();
    if (!(again == values)) __builtin_trap();
  }
  return 0;
}
