// ztlive-cli: the program's engine driven from a terminal, with console prompts.
#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/analyze_command.h"
#include "cli/batch_command.h"
#include "cli/chain_command.h"
#include "cli/command.h"
#include "cli/demo_command.h"
#include "cli/device_commands.h"
#include "cli/edit_command.h"
#include "cli/filters_command.h"
#include "cli/info_command.h"
#include "cli/live_command.h"
#include "cli/peaks_command.h"
#include "cli/playlist_command.h"
#include "cli/process_command.h"
#include "cli/record_command.h"
#include "cli/settings_command.h"
#include "platform/console_prompts.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

const Command* const kCommands[] = {&kProcessCommand, &kChainCommand,    &kFiltersCommand, &kDemoCommand,
                                    &kConvertCommand, &kInfoCommand,     &kPeaksCommand,   &kMarkersCommand,
                                    &kEditCommand,     &kSettingsCommand, &kDevicesCommand, &kPlayCommand,
                                    &kRecordCommand,   &kLiveCommand,     &kPlaylistCommand, &kBatchCommand,
                                    &kAnalyzeCommand};
// Commands that other commands run as child processes; not listed in the help.
const Command* const kHiddenCommands[] = {&kBatchFileCommand};

void PrintHelp(std::FILE* stream) {
  std::fprintf(stream,
               "ztlive-cli - real-time audio restoration and enhancement from the terminal\n\n"
               "Usage: ztlive-cli [--yes | --no] COMMAND [ARGUMENTS]\n\nCommands:\n");
  for (const Command* command : kCommands) {
    const std::string name(command->name);
    const std::string usage(command->usage);
    const std::string summary(command->summary);
    std::fprintf(stream, "  %s %s\n      %s\n", name.c_str(), usage.c_str(), summary.c_str());
  }
  std::fprintf(stream,
               "\nThe FILTERS of a chain name filters in order joined by +, each as for --filter and optionally with\n"
               ":preset=NAME or :values=v0,v1,...; without either a filter takes its stored \"Default\" or its\n"
               "starting values. At most 11 filters, e.g. impulse:preset=Vinyl+notch:values=0,50,10+continuous-noise\n"
               "\nA batch runs one job over many files, each file in a process of its own (--jobs N at once,\n"
               "by default one per core). The job is a job file (.fbt) or is given as for process, with the\n"
               "region as --first S, --last S or --from S --to S; a playlist (.wls) among the FILEs stands\n"
               "for its entries. Results go beside each source under the next free numbered name (song.wav\n"
               "-> song1.wav), or into --out-dir DIR under the source's name. --shard K/N runs the K-th of N\n"
               "disjoint shares of the list (for many machines); --resume skips files whose result exists\n"
               "(--shard and --resume need --out-dir); --dry-run shows what would be done; --write-job OUT.fbt\n"
               "writes the job into a job file instead of running it. A file that fails is reported and the\n"
               "rest go on (unless --stop-on-error); the exit status is 1 when any failed.\n"
               "\nOptions:\n"
               "  --yes       answer every question with Yes (or OK)\n"
               "  --no        answer every question with No (or Cancel)\n"
               "              without either, each question takes its default answer\n"
               "  --help      show this text\n"
               "  --version   show the program's version\n\n"
               "Exit status: 0 success, 1 a reported failure, 2 wrong usage.\n");
}

int Run(const std::vector<std::string>& args) {
  bool yes = false;
  bool no = false;
  std::vector<std::string> rest;
  const Command* command = nullptr;
  bool optionsEnded = false;
  for (const std::string& arg : args) {
    // Global options are recognised anywhere before "--".
    if (optionsEnded) {
      rest.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
      rest.push_back(arg);
    } else if (arg == "--yes") {
      yes = true;
    } else if (arg == "--no") {
      no = true;
    } else if (command == nullptr && (arg == "--help" || arg == "-h" || arg == "help")) {
      PrintHelp(stdout);
      return kExitOk;
    } else if (command == nullptr && arg == "--version") {
      std::printf("ztlive-cli %s\n", ZTLIVE_VERSION);
      return kExitOk;
    } else if (command == nullptr) {
      for (const Command* candidate : kCommands)
        if (candidate->name == arg) command = candidate;
      for (const Command* candidate : kHiddenCommands)
        if (candidate->name == arg) command = candidate;
      if (command == nullptr) {
        std::fprintf(stderr, "%s\n", FormatText(StringId::kCliUnknownCommand, {arg}).c_str());
        return kExitUsage;
      }
    } else {
      rest.push_back(arg);
    }
  }
  if (command == nullptr) {
    PrintHelp(stderr);
    return kExitUsage;
  }
  if (yes && no) {
    std::fprintf(stderr, "%s\n", std::string(StringText(StringId::kCliYesAndNo)).c_str());
    return kExitUsage;
  }
  ConsolePrompts prompts(yes ? ConsolePrompts::Policy::Yes
                             : no ? ConsolePrompts::Policy::No : ConsolePrompts::Policy::Default);
  CommandContext context{prompts, stdout, stderr, yes ? "--yes" : no ? "--no" : ""};
  return command->run(rest, context);
}

}  // namespace

}  // namespace ztlive::cli

int main(int argc, char** argv) {
  // Past a file size limit a write fails (and is reported, its output removed) instead of
  // the program being killed with its output half made.
  std::signal(SIGXFSZ, SIG_IGN);
  return ztlive::cli::Run(std::vector<std::string>(argv + 1, argv + argc));
}
