// The registry: one line per filter type, naming its descriptor and where the two lists of
// filter types (the batch editor's and the filter chain's) show it, with which icon and name.
// The lists, the factory, the command line's names and the list of filters not built yet are
// all read from here.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "filters/framework/filter_descriptor.h"
#include "filters/framework/filter_types.h"

namespace ztlive {

struct FilterRegistryRow {
  FilterTypeId typeId;
  const FilterDescriptor& (*descriptor)();
  int32_t iconId = 0;              // 0: in neither list
  std::string_view batchName{};    // empty: not in the batch list
  int chainPosition = -1;          // its place in the chain's list; -1: not there
  std::string_view chainName{};
};

// Every filter type, in the batch list's order, then the types no list shows.
std::span<const FilterRegistryRow> FilterRegistry();
// The descriptor of a type, or null for a type with none. Type 7 gives the median's.
const FilterDescriptor* FindFilterDescriptor(FilterTypeId typeId);
// The descriptors of the engines that exist, each once, in the registry's order.
std::vector<const FilterDescriptor*> BuiltFilters();
// The descriptor whose command-line name this is, or null.
const FilterDescriptor* FindFilterByCommandName(std::string_view name);

// The batch editor's 23 types and the filter chain's 20 filters with its two ends, in order.
std::span<const FilterTypeEntry> BatchFilterList();
std::span<const FilterTypeEntry> ChainFilterList();

}  // namespace ztlive
