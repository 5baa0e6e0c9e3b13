// Filter type ids and the entries of the two lists that offer them to the user (the batch
// editor's and the filter chain's; the registry makes both).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>


namespace ztlive {

using FilterTypeId = int32_t;

inline constexpr FilterTypeId kChainInput = -1;   // the chain's two ends, with no engine
inline constexpr FilterTypeId kChainOutput = -2;
inline constexpr FilterTypeId kMultiFilter = 28;  // the chain itself; its owners build it

struct FilterTypeEntry {
  FilterTypeId typeId;
  int32_t iconId;          // the list shows the icons at 36 x 36 pixels
  std::string_view name;
};

// The index of a type in a list, from the first entry; -1 when it is not there.
int FindFilterType(std::span<const FilterTypeEntry> list, FilterTypeId typeId);

}  // namespace ztlive
