// Filter names on the command line: the lower-case, hyphenated names of the filter lists
// ("low-pass", "continuous-noise", ...), or a type number.
#pragma once

#include <string>
#include <vector>

#include "filters/framework/filter_types.h"

namespace ztlive::cli {

// The type, or -1 for a name or number no list holds.
FilterTypeId FilterTypeByName(const std::string& name);
std::string FilterCommandName(FilterTypeId type);
// Every name, in list order, for the usage text.
std::vector<std::string> FilterCommandNames();

}  // namespace ztlive::cli
