#include "filters/eq/filter_modes.h"

#include <algorithm>

namespace ztlive {

namespace {

constexpr ValueControl kHidden{};
constexpr ValueControl kFrequency{"Frequency", 5, 20000};

constexpr std::array<FilterModeInfo, 6> kModes = {{
    {FilterMode::LowPass, 19, "Lowpass Filter", "&Low Pass...", kFrequency, kHidden, true, false},
    {FilterMode::HighPass, 12, "Highpass Filter", "&High Pass...", kFrequency, kHidden, true, false},
    {FilterMode::BandPass, 11, "Bandpass Filter", "&BandPass...", {"Low Freq", 5, 20000}, {"High Freq", 5, 20000}, true,
     false},
    {FilterMode::Notch, 13, "Notch Filter", "&Notch...", {"Center Freq", 5, 19000}, {"Bandwidth (Oct)", 1, 200, true, 100},
     false, true},
    {FilterMode::Averaging, 2, "Averaging Filter", "&Average...", {"Samples", 2, 100, false}, kHidden, false, false},
    {FilterMode::Median, 6, "Median Filter", "&Median...", {"Samples", 3, 20, false}, kHidden, false, false},
}};

}  // namespace

const std::array<FilterModeInfo, 6>& FilterModes() { return kModes; }

const FilterModeInfo* FindFilterMode(int32_t typeId) {
  if (typeId == 7) typeId = 6;  // the second median type
  for (const FilterModeInfo& mode : kModes)
    if (mode.typeId == typeId) return &mode;
  return nullptr;
}

PresetValues DefaultModeValues(const FilterModeInfo& mode) {
  PresetValues values;
  if (!mode.first.label.empty()) values.p[1] = std::clamp(1000, mode.first.minimum, mode.first.maximum);
  if (!mode.second.label.empty()) values.p[2] = std::clamp(2000, mode.second.minimum, mode.second.maximum);
  return values;
}

std::optional<int> FirstValueOutOfRange(const FilterModeInfo& mode, const PresetValues& values) {
  if (mode.slopeShown && (values.p[0] < 0 || values.p[0] > 2)) return 0;
  for (const auto& [index, control] : {std::pair{1, &mode.first}, {2, &mode.second}}) {
    if (control->label.empty()) continue;
    const int32_t value = values.p[static_cast<size_t>(index)];
    if (value < control->minimum || value > control->maximum) return index;
  }
  if (mode.slotShown && values.p[3] != 0 && values.p[3] != 1) return 3;
  return std::nullopt;
}

}  // namespace ztlive
