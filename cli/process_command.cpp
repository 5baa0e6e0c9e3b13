#include "cli/process_command.h"

#include <chrono>

#include "cli/filter_names.h"
#include "cli/filter_session.h"
#include "cli/interrupts.h"
#include "cli/region_options.h"
#include "document/destination_files.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr std::string_view kProcessArguments =
    "--filter NAME|TYPE [--preset NAME | --values v0,...,v10] [--from S] [--to S] IN.wav (OUT.wav | --preview [--loop])";
constexpr std::string_view kConvertArguments = "--bits 8|16|20|24 IN.wav OUT.wav";

int Usage(CommandContext& context, std::string_view name, std::string_view arguments) {
  PrintError(context, FormatText(StringId::kCliWrongArguments, {"ztlive-cli " + std::string(name) + " " + std::string(arguments)}));
  return kExitUsage;
}

std::string Seconds(double seconds, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, seconds);
  return text;
}

std::string JoinedNames() {
  std::string joined;
  for (const std::string& name : FilterCommandNames()) joined += (joined.empty() ? "" : ", ") + name;
  return joined;
}

int RunProcess(const std::vector<std::string>& args, CommandContext& context) {
  const ParsedArguments parsed = ParseArguments(args,
                                                {{"filter", true},
                                                 {"preset", true},
                                                 {"values", true},
                                                 {"from", true},
                                                 {"to", true},
                                                 {"preview", false},
                                                 {"loop", false}},
                                                "process");
  if (!parsed.error.empty()) {
    PrintError(context, parsed.error);
    return kExitUsage;
  }
  const bool preview = parsed.Has("preview");
  const size_t files = parsed.positional.size();
  if (!parsed.values.count("filter") || files < 1 || files > 2 || (parsed.Has("preset") && parsed.Has("values")))
    return Usage(context, "process", kProcessArguments);
  if (!preview && files != 2) {
    PrintError(context, StringText(StringId::kCliNeedsDestination));
    return kExitUsage;
  }
  const std::string& filterName = parsed.values.at("filter");
  const FilterTypeId type = FilterTypeByName(filterName);
  if (type < 0) {
    PrintError(context, FormatText(StringId::kCliUnknownFilter, {filterName, JoinedNames()}));
    return kExitUsage;
  }
  FilterJob job;
  job.source = parsed.positional[0];
  job.destination = preview ? std::string() : parsed.positional[1];
  job.type = type;
  job.preview = preview;
  job.loop = parsed.Has("loop");
  int exitCode = kExitOk;
  if (!ReadFilterValues(parsed, type, job.values, exitCode, context)) return exitCode;

  // The region needs the file's format; an unreadable source is the run's to report.
  WaveInfo info;
  if (ProbeWaveInfo(job.source, info) && !ReadRegion(parsed, info, job.region, context)) return kExitUsage;

  const InterruptGuard interrupts;
  FilterSession session(context, preview);
  const auto start = std::chrono::steady_clock::now();
  const int result = session.Run(job);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (result != 1) return kExitFailure;
  const RunState& run = session.State();
  const double seconds = run.regionEnd > run.regionStart && info.blockAlign > 0
                             ? double(run.regionEnd - run.regionStart) / (double(info.sampleRate) * info.blockAlign)
                             : 0;
  if (session.Interrupted() && !preview) {
    PrintError(context, FormatText(StringId::kCliRunStopped, {job.destination}));
    return kExitFailure;
  }
  const std::string name = FilterCommandName(type);
  if (preview) {
    std::fprintf(context.out, "%s\n", FormatText(StringId::kCliPreviewDone, {name, Seconds(seconds, 3), job.source}).c_str());
  } else {
    std::fprintf(context.out, "%s\n",
                 FormatText(StringId::kCliRunDone, {name, Seconds(seconds, 3), job.source, job.destination,
                                                    Seconds(wall, 3), Seconds(wall > 0 ? seconds / wall : 0, 1)})
                     .c_str());
  }
  return kExitOk;
}

int RunConvert(const std::vector<std::string>& args, CommandContext& context) {
  const ParsedArguments parsed = ParseArguments(args, {{"bits", true}}, "convert");
  if (!parsed.error.empty()) {
    PrintError(context, parsed.error);
    return kExitUsage;
  }
  if (!parsed.values.count("bits") || parsed.positional.size() != 2) return Usage(context, "convert", kConvertArguments);
  const std::string& bitsText = parsed.values.at("bits");
  const int bits = bitsText == "8" ? 8 : bitsText == "16" ? 16 : bitsText == "20" ? 20 : bitsText == "24" ? 24 : 0;
  if (bits == 0) {
    PrintError(context, FormatText(StringId::kCliBadBits, {bitsText}));
    return kExitUsage;
  }
  // The file is treated as a document's saved destination that is saved once more.
  SettingsStore settings;
  RunState run;
  CZantoDoc document("", settings, context.prompts);
  document.SetDestinationName(parsed.positional[0], false);
  if (SaveDestinationAs(document, parsed.positional[1], bits, run) != 1) return kExitFailure;
  std::fprintf(context.out, "%s\n", FormatText(StringId::kCliConverted, {parsed.positional[1], bitsText}).c_str());
  return kExitOk;
}

}  // namespace

const Command kProcessCommand{"process", kProcessArguments,
                              "runs a filter over a file or a region of it into OUT.wav, or plays the result", RunProcess};
const Command kConvertCommand{"convert", kConvertArguments, "writes a copy of a wave file at another sample width",
                              RunConvert};

}  // namespace ztlive::cli
