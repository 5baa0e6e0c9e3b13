// ztlive-cli live: the sound card's input through a filter or a chain to the output device,
// appended to a log file when one is given, until Ctrl+C or for a time.
#pragma once

#include "cli/command.h"

namespace ztlive::cli {

extern const Command kLiveCommand;

}  // namespace ztlive::cli
