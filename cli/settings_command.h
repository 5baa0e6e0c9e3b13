// ztlive-cli settings get|set SECTION KEY [VALUE]: reads and writes the program settings.
#pragma once

#include "cli/command.h"

namespace ztlive::cli {

extern const Command kSettingsCommand;

}  // namespace ztlive::cli
