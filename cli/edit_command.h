// ztlive-cli edit FILE.wav OP [--from S --to S] [options]: the edit commands of the window on a
// file, in place.
#pragma once

#include "cli/command.h"

namespace ztlive::cli {

extern const Command kEditCommand;

}  // namespace ztlive::cli
