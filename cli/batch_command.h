// ztlive-cli batch: one filter or chain over many files, each file in a child process of its
// own (--jobs at once), a share of the list for one of many machines (--shard), resumable.
#pragma once

#include "cli/command.h"

namespace ztlive::cli {

extern const Command kBatchCommand;

}  // namespace ztlive::cli
