// ztlive-cli process: runs one filter or a filter chain over a file (or a region of it) into a
// destination, or plays the result (--preview); ztlive-cli convert: saves a file at another width.
#pragma once

#include "cli/command.h"

namespace ztlive::cli {

extern const Command kProcessCommand;
extern const Command kConvertCommand;
// Not listed in the help: one file of a batch, the run of process over a region given in data
// bytes into an output that is replaced whole. The batch command runs it as a child process.
inline constexpr std::string_view kBatchFileCommandName = "batch-file";
extern const Command kBatchFileCommand;

}  // namespace ztlive::cli
