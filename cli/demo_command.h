// ztlive-cli demo: writes the demo recording (music with hum and hiss) and restores it with
// the filters, printing the levels before and after.
#pragma once

#include "cli/command.h"

namespace ztlive::cli {

extern const Command kDemoCommand;

}  // namespace ztlive::cli
