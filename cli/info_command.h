// ztlive-cli info FILE.wav: the format, length and chunks of a wave file.
#pragma once

#include "cli/command.h"

namespace ztlive::cli {

extern const Command kInfoCommand;

}  // namespace ztlive::cli
