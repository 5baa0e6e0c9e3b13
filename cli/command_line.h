// Argument parsing for ztlive-cli: long options ("--name", "--name value", "--name=value"),
// positional arguments, and "--" to end the options. A single dash starts no option, so
// negative numbers ("-1") are positional arguments.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace ztlive::cli {

enum ExitCode { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

struct OptionSpec {
  std::string_view name;  // without the dashes
  bool takesValue = false;
};

struct ParsedArguments {
  std::set<std::string> flags;                  // options without a value that were given
  std::map<std::string, std::string> values;    // options with a value (the last one wins)
  std::vector<std::string> positional;
  std::string error;                            // empty when the arguments parsed

  bool Has(const std::string& name) const { return flags.count(name) != 0 || values.count(name) != 0; }
};

// The options that choose what a run does, shared by process, live, batch and the batch
// worker: one filter (with a stored preset, its values, or bands for the paragraphic
// equalizer) or one chain (its filters, or a stored chain preset). Returns them after `own`;
// without bands where the command cannot carry them.
std::vector<OptionSpec> WithRunChoice(std::vector<OptionSpec> own, bool bands = true);

// How many of --filter, --chain and --chain-preset were given.
int RunChoiceCount(const ParsedArguments& parsed);

// True when a filter's own options came without --filter, or --preset came with --values.
bool FilterOptionsMisused(const ParsedArguments& parsed);

// Parses args (without the program name) against the options the command knows; an unknown
// option or a missing value sets error to the message to print.
ParsedArguments ParseArguments(const std::vector<std::string>& args,
                               const std::vector<OptionSpec>& options, std::string_view command);

}  // namespace ztlive::cli
