// ztlive-cli devices: the sound card lists with their ids; ztlive-cli play: plays a file or a
// region of it on the output device of the settings.
#pragma once

#include "cli/command.h"

namespace ztlive::cli {

extern const Command kDevicesCommand;
extern const Command kPlayCommand;

}  // namespace ztlive::cli
