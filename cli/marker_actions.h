// The actions of ztlive-cli markers that change a file's markers or the file itself:
// quantize-cd, chop [--keep-original] and find-silence [--threshold DB] [--length TENTHS].
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/command.h"
#include "core/peak_file.h"

namespace ztlive::cli {

// The options these actions take.
extern const std::vector<OptionSpec> kMarkerActionOptions;

// Runs the action named (the file's markers are in peaks); nothing when it is not one of
// these actions, else the exit code.
std::optional<int> RunMarkerAction(const std::string& action, const std::string& path, PeakFile& peaks,
                                   const ParsedArguments& parsed, CommandContext& context);

}  // namespace ztlive::cli
