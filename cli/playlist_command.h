// ztlive-cli playlist: makes a playlist (.wls) of wave files, adds files to one, lists one
// with its files' true playing times, and plays one on the output device of the settings.
#pragma once

#include "cli/command.h"

namespace ztlive::cli {

extern const Command kPlaylistCommand;

}  // namespace ztlive::cli
