// Filter names on the command line: each descriptor's command name ("low-pass",
// "continuous-noise", ...), or a type number.
#pragma once

#include <string>
#include <vector>

#include "filters/filter_registry.h"

namespace ztlive::cli {

// The descriptor named, or of the type number given; null for anything else.
const FilterDescriptor* FilterByName(const std::string& name);
std::string FilterCommandName(const FilterDescriptor& descriptor);
// Every command name, in the registry's order, for the usage text.
std::vector<std::string> FilterCommandNames();
// The same joined by ", ".
std::string JoinedFilterCommandNames();

}  // namespace ztlive::cli
