// The factory: one row per filter type saying what its engine is (preset section, display
// name, history, look-ahead, defaults) and how to make one.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "filters/framework/filter_processor.h"
#include "filters/framework/filter_types.h"
#include "platform/prompts.h"

namespace ztlive {

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
