#include "cli/process_command.h"

#include <algorithm>
#include <chrono>

#include "cli/filter_names.h"
#include "cli/filter_session.h"
#include "cli/interrupts.h"
#include "cli/noise_print_holder.h"
#include "cli/region_options.h"
#include "document/destination_files.h"
#include "document/file_checks.h"
#include "filters/restoration/continuous_noise_filter.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr std::string_view kProcessArguments =
    "--filter NAME|TYPE [--preset NAME | --values v0,...,v10] [--from S] [--to S] [--noise-from S --noise-to S] "
    "IN.wav (OUT.wav | --preview [--loop])";
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

constexpr FilterTypeId kNoiseSampling = 9;

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
                                                 {"loop", false},
                                                 {"noise-from", true},
                                                 {"noise-to", true}},
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
  const FilterDescriptor* descriptor = FilterByName(filterName);
  if (descriptor == nullptr) {
    PrintError(context, FormatText(StringId::kCliUnknownFilter, {filterName, JoinedNames()}));
    return kExitUsage;
  }
  // Refused before any file is opened or made.
  if (!descriptor->Built() || descriptor->traits.analysisOnly) {
    PrintError(context, FormatText(StringId::kFilterNotBuilt, {FilterCommandName(*descriptor),
                                                                std::to_string(descriptor->typeId)}));
    return kExitFailure;
  }
  const FilterTypeId type = descriptor->typeId;
  FilterJob job;
  job.source = parsed.positional[0];
  job.destination = preview ? std::string() : parsed.positional[1];
  job.type = type;
  job.preview = preview;
  job.loop = parsed.Has("loop");
  // What cannot be processed is named with its reason before anything is made.
  if (const std::string problem = DescribeInputProblem(job.source); !problem.empty()) {
    PrintError(context, problem);
    return kExitFailure;
  }
  // The region needs the file's format; an unreadable source is the run's to report.
  WaveInfo info;
  const bool readable = ProbeWaveInfo(job.source, info);
  if (readable && !ReadRegion(parsed, info, job.region, context)) return kExitUsage;

  const std::unique_ptr<FilterProcessor> engine = descriptor->create();
  engine->prompts = &context.prompts;
  int exitCode = kExitOk;
  if (!ReadFilterValues(parsed, *engine, job.values, exitCode, context)) return exitCode;
  // The continuous noise filter keeps a noise print beside its values: from its preset, or
  // sampled below.
  const auto* noiseFilter = dynamic_cast<const NoiseReductionProcessor*>(engine.get());
  NoisePrintHolder noisePrint;
  noisePrint.SetSampleRate(info.sampleRate);
  if (noiseFilter != nullptr) noisePrint.SetPrint(noiseFilter->Print());

  const InterruptGuard interrupts;
  FilterSession session(context, preview);
  if (noiseFilter != nullptr && (parsed.Has("noise-from") || parsed.Has("noise-to"))) {
    // Sample the print from the noise-only stretch first, as the window's "Sample Noise" does.
    FilterJob sampling;
    sampling.source = job.source;
    sampling.type = kNoiseSampling;
    sampling.values.p[0] = int32_t{1} << (std::clamp(job.values.p[3], 0, 5) + 8);
    if (readable && !ReadRegion(parsed, info, sampling.region, context, "noise-from", "noise-to")) return kExitUsage;
    if (session.Run(sampling, &noisePrint) != 1 || session.Interrupted()) return kExitFailure;
  }
  const auto start = std::chrono::steady_clock::now();
  const int result = session.Run(job, &noisePrint);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (result != 1) return kExitFailure;
  if (session.Declined()) {
    PrintError(context, FormatText(StringId::kCliNothingWritten, {job.destination}));
    return kExitFailure;
  }
  const RunState& run = session.State();
  const double seconds = run.regionEnd > run.regionStart && info.blockAlign > 0
                             ? double(run.regionEnd - run.regionStart) / (double(info.sampleRate) * info.blockAlign)
                             : 0;
  if (session.Interrupted() && !preview) {
    PrintError(context, FormatText(StringId::kCliRunStopped, {job.destination}));
    return kExitFailure;
  }
  const std::string name = FilterCommandName(*descriptor);
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
  const std::string& input = parsed.positional[0];
  const std::string& output = parsed.positional[1];
  if (const std::string problem = DescribeInputProblem(input); !problem.empty()) {
    PrintError(context, problem);
    return kExitFailure;
  }
  if (input == output || SameFile(input, output)) {
    PrintError(context, FormatText(StringId::kOutputIsInput, {output, input}));
    return kExitFailure;
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
