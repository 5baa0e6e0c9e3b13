// ztlive-cli peaks FILE.wav and ztlive-cli markers FILE.wav [add OFFSET | remove N|all | list].
#pragma once

#include "cli/command.h"

namespace ztlive::cli {

extern const Command kPeaksCommand;
extern const Command kMarkersCommand;

}  // namespace ztlive::cli
