// A filter chain written on the command line: filters in order joined by "+", each
// optionally with ":preset=NAME", ":values=v0,v1,..." or, for the paragraphic equalizer,
// ":bands=F:DB:OCT,...", e.g. "impulse:preset=Vinyl+notch:values=0,50,10+continuous-noise".
// Names are those of --filter.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "filters/filter_registry.h"
#include "live/filter_chain.h"

namespace ztlive::cli {

struct ChainMember {
  const FilterDescriptor* descriptor = nullptr;
  std::optional<std::string> preset;  // ":preset=NAME"
  std::optional<std::string> values;  // ":values=..." as written; checked when the engine is made
  std::optional<std::string> bands;   // ":bands=..." as written; checked when the engine is made
};

// Why a chain was refused: the message to print and the exit code.
struct ChainRefusal {
  std::string message;
  int exitCode = 0;
};

// The members of a filter list in order, or why it is not one (an empty member, a member that is not
// NAME[:preset=P|:values=...|:bands=...], an unknown filter name).
std::optional<ChainRefusal> ParseChainSpec(std::string_view filterList, std::vector<ChainMember>& members);

// What the chain asks of its filters in order: at most as many as a chain preset holds, Punch
// and Crunch not first of two or more, and each one built.
std::optional<ChainRefusal> CheckChainFilters(const std::vector<FilterTypeId>& types);

// The filter list that rebuilds the chain exactly: every filter's name with its current values.
std::string ChainSpecText(const FilterChain& chain);
// The filters' names only ("impulse+median").
std::string ChainNamesText(const FilterChain& chain);

}  // namespace ztlive::cli
