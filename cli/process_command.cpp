#include "cli/process_command.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <chrono>
#include <functional>
#include <map>

#include "cli/chain_members.h"
#include "cli/chain_spec.h"
#include "cli/equalizer_bands.h"
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
    "(--filter NAME|TYPE [--preset NAME | --values v0,...,v10] [--bands F:DB:OCT,...] | --chain FILTERS | "
    "--chain-preset NAME) [--from S] [--to S] "
    "[--noise-from S --noise-to S] IN.wav (OUT.wav | --preview [--loop])";
constexpr std::string_view kBatchFileArguments =
    "(--filter NAME|TYPE [--preset NAME | --values v0,...,v10] [--bands F:DB:OCT,...] | --chain FILTERS | "
    "--chain-preset NAME) [--noise-from S --noise-to S] --start-byte B --end-byte B IN.wav OUT.wav";
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

// How a run differs when it is one file of a batch: the region is given in bytes (whole
// frames, decided by the batch), and an existing destination is replaced whole rather than
// written over in place.
struct ProcessOptions {
  std::optional<Region> bytes;
  bool replaceDestination = false;
};

// The source, its region and the destination of a process run.
struct ProcessFiles {
  FilterJob job;
  WaveInfo info;
  bool readable = false;  // the source's format could be read (an unreadable one is the run's to report)
};

// Checked before anything is made: false after a message, with the exit code.
bool ReadProcessFiles(const ParsedArguments& parsed, const ProcessOptions& options, ProcessFiles& files,
                      int& exitCode, CommandContext& context) {
  files.job.source = parsed.positional[0];
  files.job.replaceDestination = options.replaceDestination;
  files.job.preview = parsed.Has("preview");
  files.job.destination = files.job.preview ? std::string() : parsed.positional[1];
  files.job.loop = parsed.Has("loop");
  // What cannot be processed is named with its reason before anything is made.
  if (const std::string problem = DescribeInputProblem(files.job.source); !problem.empty()) {
    PrintError(context, problem);
    exitCode = kExitFailure;
    return false;
  }
  files.readable = ProbeWaveInfo(files.job.source, files.info);
  if (options.bytes) {
    files.job.region = *options.bytes;
  } else if (files.readable && !ReadRegion(parsed, files.info, files.job.region, context)) {
    exitCode = kExitUsage;
    return false;
  }
  return true;
}

bool WantsNoiseSample(const ParsedArguments& parsed) { return parsed.Has("noise-from") || parsed.Has("noise-to"); }

// Samples a noise print from the noise-only stretch (--noise-from, --noise-to) at the frame size
// of value 3 of the continuous noise filter, as the window's "Sample Noise" does.
bool SampleNoise(const ParsedArguments& parsed, const ProcessFiles& files, int32_t frameSize, FilterSession& session,
                 NoisePrintHolder& print, int& exitCode, CommandContext& context) {
  FilterJob sampling;
  sampling.source = files.job.source;
  sampling.type = kNoiseSampling;
  sampling.values.p[0] = int32_t{1} << (std::clamp(frameSize, 0, 5) + 8);
  if (files.readable && !ReadRegion(parsed, files.info, sampling.region, context, "noise-from", "noise-to")) {
    exitCode = kExitUsage;
    return false;
  }
  exitCode = kExitFailure;
  return session.Run(sampling, &print) == 1 && !session.Interrupted();
}

// Runs the job (run) and reports how it ended, with name standing for what ran.
int RunAndReport(FilterSession& session, const ProcessFiles& files, const std::string& name,
                 const std::function<int()>& run, CommandContext& context) {
  const FilterJob& job = files.job;
  const auto start = std::chrono::steady_clock::now();
  const int result = run();
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (result != 1) return kExitFailure;
  if (session.Declined()) {
    PrintError(context, FormatText(StringId::kCliNothingWritten, {job.destination}));
    return kExitFailure;
  }
  const RunState& state = session.State();
  const WaveInfo& info = files.info;
  const double seconds = state.regionEnd > state.regionStart && info.blockAlign > 0
                             ? double(state.regionEnd - state.regionStart) / (double(info.sampleRate) * info.blockAlign)
                             : 0;
  if (session.Interrupted() && !job.preview) {
    PrintError(context, FormatText(StringId::kCliRunStopped, {job.destination}));
    return kExitFailure;
  }
  if (job.preview) {
    std::fprintf(context.out, "%s\n", FormatText(StringId::kCliPreviewDone, {name, Seconds(seconds, 3), job.source}).c_str());
  } else {
    std::fprintf(context.out, "%s\n",
                 FormatText(StringId::kCliRunDone, {name, Seconds(seconds, 3), job.source, job.destination,
                                                    Seconds(wall, 3), Seconds(wall > 0 ? seconds / wall : 0, 1)})
                     .c_str());
  }
  return kExitOk;
}

int ProcessWithFilter(const ParsedArguments& parsed, const ProcessOptions& options, CommandContext& context) {
  const std::string& filterName = parsed.values.at("filter");
  const FilterDescriptor* descriptor = FilterByName(filterName);
  if (descriptor == nullptr) {
    PrintError(context, FormatText(StringId::kCliUnknownFilter, {filterName, JoinedFilterCommandNames()}));
    return kExitUsage;
  }
  // Refused before any file is opened or made.
  if (!descriptor->Built() || descriptor->traits.analysisOnly) {
    PrintError(context, FormatText(StringId::kFilterNotBuilt, {FilterCommandName(*descriptor),
                                                                std::to_string(descriptor->typeId)}));
    return kExitFailure;
  }
  int exitCode = kExitOk;
  ProcessFiles files;
  if (!ReadProcessFiles(parsed, options, files, exitCode, context)) return exitCode;
  FilterJob& job = files.job;
  job.type = descriptor->typeId;

  const std::unique_ptr<FilterProcessor> engine = descriptor->create();
  engine->prompts = &context.prompts;
  if (!ReadFilterValues(parsed, *engine, job.values, exitCode, context)) return exitCode;
  // The continuous noise filter keeps a noise print beside its values: from its preset, or
  // sampled below.
  const auto* noiseFilter = dynamic_cast<const NoiseReductionProcessor*>(engine.get());
  NoisePrintHolder noisePrint;
  noisePrint.SetSampleRate(files.info.sampleRate);
  if (noiseFilter != nullptr) noisePrint.SetPrint(noiseFilter->Print());

  // The paragraphic equalizer's bands: from its preset (or --values' gain and count), and
  // --bands over them; handed to the run's engine as its window would.
  ExtraParamsHolder bands;
  if (!ReadEqualizerBands(parsed, *engine, job.values, bands, exitCode, context)) return exitCode;
  RunDialog* window = noiseFilter != nullptr ? static_cast<RunDialog*>(&noisePrint) : &bands;

  const InterruptGuard interrupts;
  FilterSession session(context, job.preview);
  if (noiseFilter != nullptr && WantsNoiseSample(parsed) &&
      !SampleNoise(parsed, files, job.values.p[3], session, noisePrint, exitCode, context))
    return exitCode;
  return RunAndReport(session, files, FilterCommandName(*descriptor), [&] { return session.Run(job, window); },
                      context);
}

// Every continuous noise filter of the chain gets a print sampled at its own frame size.
bool SampleChainNoise(const ParsedArguments& parsed, const ProcessFiles& files, FilterChain& chain,
                      FilterSession& session, int& exitCode, CommandContext& context) {
  std::map<int32_t, std::vector<FilterProcessor*>> bySize;
  for (ChainNode& node : chain.Nodes())
    if (dynamic_cast<NoiseReductionProcessor*>(node.processor.get()) != nullptr)
      bySize[node.processor->values.p[3]].push_back(node.processor.get());
  for (const auto& [frameSize, engines] : bySize) {
    NoisePrintHolder print;
    print.SetSampleRate(files.info.sampleRate);
    if (!SampleNoise(parsed, files, frameSize, session, print, exitCode, context)) return false;
    for (FilterProcessor* engine : engines) print.PushExtraParams(*engine);
  }
  return true;
}

int ProcessWithChain(const ParsedArguments& parsed, const ProcessOptions& options, CommandContext& context) {
  // The chain is checked (filter list, filters, values) before any file is opened or made.
  int exitCode = kExitOk;
  std::vector<ChainMember> members;
  std::vector<FilterTypeId> storedTypes;
  const auto filterList = parsed.values.find("chain");
  const std::string presetName = filterList == parsed.values.end() ? parsed.values.at("chain-preset") : std::string();
  if (filterList != parsed.values.end()) {
    if (const auto refusal = ParseChainSpec(filterList->second, members)) {
      PrintError(context, refusal->message);
      return refusal->exitCode;
    }
  } else if (!ReadStoredChainTypes(presetName, storedTypes, context, exitCode)) {
    return exitCode;
  }
  const InterruptGuard interrupts;
  FilterSession session(context, parsed.Has("preview"));
  GivenPresetName noName;
  FilterChain chain(session.State(), context.prompts, noName);
  if (filterList != parsed.values.end() ? !AddChainMembers(members, chain, context, exitCode)
                                  : !LoadStoredChain(presetName, storedTypes, chain, context, exitCode))
    return exitCode;

  ProcessFiles files;
  if (!ReadProcessFiles(parsed, options, files, exitCode, context)) return exitCode;
  if (WantsNoiseSample(parsed) && !SampleChainNoise(parsed, files, chain, session, exitCode, context)) return exitCode;
  return RunAndReport(session, files, ChainNamesText(chain), [&] { return session.RunChain(files.job, chain); },
                      context);
}

int RunProcess(const std::vector<std::string>& args, CommandContext& context) {
  const ParsedArguments parsed = ParseArguments(args,
                                                WithRunChoice({{"from", true},
                                                               {"to", true},
                                                               {"preview", false},
                                                               {"loop", false},
                                                               {"noise-from", true},
                                                               {"noise-to", true}}),
                                                "process");
  if (!parsed.error.empty()) {
    PrintError(context, parsed.error);
    return kExitUsage;
  }
  const bool preview = parsed.Has("preview");
  const size_t files = parsed.positional.size();
  const bool filter = parsed.Has("filter");
  if (RunChoiceCount(parsed) != 1 || files < 1 || files > 2 || FilterOptionsMisused(parsed))
    return Usage(context, "process", kProcessArguments);
  if (!preview && files != 2) {
    PrintError(context, StringText(StringId::kCliNeedsDestination));
    return kExitUsage;
  }
  return filter ? ProcessWithFilter(parsed, {}, context) : ProcessWithChain(parsed, {}, context);
}

bool ParseByteOffset(const std::string& text, uint32_t& offset) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  if (text.empty() || text[0] == '-' || *end != '\0' || errno != 0 || value > 0xFFFFFFFFull) return false;
  offset = static_cast<uint32_t>(value);
  return true;
}

// One file of a batch, run by the batch command as a child process: the run of process over
// the region START ... END (data bytes) into OUT, which is replaced whole when it exists.
int RunBatchFile(const std::vector<std::string>& args, CommandContext& context) {
  const ParsedArguments parsed = ParseArguments(
      args, WithRunChoice({{"start-byte", true}, {"end-byte", true}, {"noise-from", true}, {"noise-to", true}}),
      kBatchFileCommandName);
  if (!parsed.error.empty()) {
    PrintError(context, parsed.error);
    return kExitUsage;
  }
  const bool filter = parsed.Has("filter");
  ProcessOptions options;
  options.replaceDestination = true;
  Region region;
  if (RunChoiceCount(parsed) != 1 || FilterOptionsMisused(parsed) || parsed.positional.size() != 2 ||
      !parsed.Has("start-byte") || !parsed.Has("end-byte") ||
      !ParseByteOffset(parsed.values.at("start-byte"), region.from) ||
      !ParseByteOffset(parsed.values.at("end-byte"), region.to) || region.to <= region.from)
    return Usage(context, kBatchFileCommandName, kBatchFileArguments);
  options.bytes = region;
  return filter ? ProcessWithFilter(parsed, options, context) : ProcessWithChain(parsed, options, context);
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
                              "runs a filter or a chain of filters over a file or a region of it into OUT.wav, or plays "
                              "the result",
                              RunProcess};
const Command kBatchFileCommand{kBatchFileCommandName, kBatchFileArguments,
                                "runs one file of a batch (started by the batch command)", RunBatchFile};
const Command kConvertCommand{"convert", kConvertArguments, "writes a copy of a wave file at another sample width",
                              RunConvert};

}  // namespace ztlive::cli
