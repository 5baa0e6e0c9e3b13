// ztlive-cli chain: the stored chain presets (save, list, show, delete), in the same preset
// file as the chain window's.
#pragma once

#include "cli/command.h"

namespace ztlive::cli {

extern const Command kChainCommand;

}  // namespace ztlive::cli
