// ztlive-cli filters [NAME]: every filter with its name, type and whether it is built; or
// the values of one filter, in the order --values takes them.
#pragma once

#include "cli/command.h"

namespace ztlive::cli {

extern const Command kFiltersCommand;

}  // namespace ztlive::cli
