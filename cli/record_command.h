// ztlive-cli record: records the sound card's input into a new wave file, for a time or until
// Ctrl+C, and gives it its name only when it is complete.
#pragma once

#include "cli/command.h"

namespace ztlive::cli {

extern const Command kRecordCommand;

}  // namespace ztlive::cli
