// ztlive-cli process: runs one filter or a filter chain over a file (or a region of it) into a
// destination, or plays the result (--preview); ztlive-cli convert: saves a file at another width.
#pragma once

#include "cli/command.h"

namespace ztlive::cli {

extern const Command kProcessCommand;
extern const Command kConvertCommand;

}  // namespace ztlive::cli
