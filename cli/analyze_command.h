// ztlive-cli analyze --hum FILE [--from S --to S] [--json]: what a stretch of a wave file holds
// that a filter can take out; --hum finds the mains fundamental of its hum or buzz.
#pragma once

#include "cli/command.h"

namespace ztlive::cli {

extern const Command kAnalyzeCommand;

}  // namespace ztlive::cli
