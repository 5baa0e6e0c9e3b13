// Filter type ids, the two lists that offer them to the user (the batch editor's and the
// filter chain's), the factory table of every engine, and the factory.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "filters/framework/filter_processor.h"
#include "platform/prompts.h"

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

// The batch editor's 23 types and the filter chain's 20 filters with its two ends, in order.
std::span<const FilterTypeEntry> BatchFilterList();
std::span<const FilterTypeEntry> ChainFilterList();
// The index of a type in a list, from the first entry; -1 when it is not there.
int FindFilterType(std::span<const FilterTypeEntry> list, FilterTypeId typeId);

// One row of the factory: what an engine of the type is, and, once its engine exists, how to
// make one. History or look-ahead that the engine works out itself is left empty here.
struct FilterFactoryRow {
  FilterTypeId typeId;
  std::string_view sectionBase;  // "None": no presets
  std::string_view displayName;
  std::optional<int32_t> history;
  std::optional<int32_t> lookAhead;
  std::optional<PresetValues> defaults;          // p[0]..p[10] after construction; empty: the engine's own
  std::unique_ptr<FilterProcessor> (*create)();  // null until the engine is built
};

std::span<const FilterFactoryRow> FilterFactoryTable();
const FilterFactoryRow* FindFactoryRow(FilterTypeId typeId);

// Makes the engine of a type. 1 with an engine for every type whose engine exists; 1 with
// none for the types that have no engine (3, 5, 16, 32) or when memory ran out; 0 after the
// message "ERROR: No filter is selected to run. Try Again" for every other type.
int CreateFilterProcessor(FilterTypeId typeId, std::unique_ptr<FilterProcessor>& engine, Prompts& prompts);

}  // namespace ztlive
