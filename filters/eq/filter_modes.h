// The six modes of the shared classic-filter settings window: its title, which controls show,
// and the range, mapping and scale of its two value controls. The window builds itself from
// this table and the command line checks values against it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "filters/framework/preset_values.h"

namespace ztlive {

enum class FilterMode { LowPass, HighPass, BandPass, Notch, Averaging, Median };

struct ValueControl {
  std::string_view label;  // empty: the control is hidden
  int32_t minimum = 0;
  int32_t maximum = 0;
  bool logarithmic = true;
  int32_t scale = 1;       // the edit shows value / scale
};

struct FilterModeInfo {
  FilterMode mode;
  int32_t typeId;
  std::string_view title;
  std::string_view menuCommand;
  ValueControl first;   // p[1]
  ValueControl second;  // p[2]
  bool slopeShown;      // the "Filter Slope" group (p[0])
  bool slotShown;       // the "Slot Filter" box (p[3])
};

const std::array<FilterModeInfo, 6>& FilterModes();
// The mode of a filter type, or null for a type the window does not serve.
const FilterModeInfo* FindFilterMode(int32_t typeId);

// The values the window starts with when no preset can be loaded: slope 0, 1000 for the
// first control and 2000 for the second, each held inside its control's range.
PresetValues DefaultModeValues(const FilterModeInfo& mode);

// The index of the first value outside its control's range, or nothing when all are inside.
std::optional<int> FirstValueOutOfRange(const FilterModeInfo& mode, const PresetValues& values);

}  // namespace ztlive
