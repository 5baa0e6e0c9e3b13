// What every ztlive-cli subcommand receives, and the table entry that describes it.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "platform/prompts.h"

namespace ztlive::cli {

struct CommandContext {
  Prompts& prompts;        // answers questions from --yes / --no
  std::FILE* out;          // results
  std::FILE* err;          // messages
  std::string_view answerFlag = {};  // "--yes", "--no" or empty: passed on to child runs
};

struct Command {
  std::string_view name;
  std::string_view usage;    // the arguments after the name
  std::string_view summary;  // one line for the command list
  // args: everything after the command's name, global options removed. Returns an ExitCode.
  int (*run)(const std::vector<std::string>& args, CommandContext& context);
};

// Prints a message on its own line to the context's error stream.
void PrintError(CommandContext& context, std::string_view message);

}  // namespace ztlive::cli
