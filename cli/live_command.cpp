#include "cli/live_command.h"

#include "cli/chain_members.h"
#include "cli/chain_spec.h"
#include "cli/equalizer_bands.h"
#include "cli/filter_names.h"
#include "cli/filter_session.h"
#include "cli/input_options.h"
#include "cli/input_session.h"
#include "cli/interrupts.h"
#include "cli/noise_print_holder.h"
#include "cli/region_options.h"
#include "filters/restoration/continuous_noise_filter.h"
#include "live/chain_runner.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr std::string_view kLiveArguments =
    "(--filter NAME|TYPE [--preset NAME | --values v0,...,v10] [--bands F:DB:OCT,...] | --chain FILTERS | "
    "--chain-preset NAME) "
    "[--log FILE.wav] [--seconds N] [--rate HZ] [--bits 8|16|20|24] [--mono]";

int Usage(CommandContext& context) {
  PrintError(context, FormatText(StringId::kCliWrongArguments, {"ztlive-cli live " + std::string(kLiveArguments)}));
  return kExitUsage;
}

std::string SecondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

double WaveSeconds(const std::string& path) {
  WaveInfo info;
  if (!ProbeWaveInfo(path, info) || info.sampleRate == 0 || info.blockAlign == 0) return 0;
  return static_cast<double>(info.dataBytes) / (static_cast<double>(info.sampleRate) * info.blockAlign);
}

// What runs live: one filter with its values (and the noise print of a continuous noise
// filter), or a chain.
struct LiveWork {
  std::string name;
  const FilterDescriptor* filter = nullptr;
  PresetValues values;
  NoisePrintHolder noisePrint;
  ExtraParamsHolder bands;   // the paragraphic equalizer's
  RunDialog* window = nullptr;  // what stands in for the filter's window
  GivenPresetName noName;  // a chain never saves here
  std::unique_ptr<FilterChain> chain;
};

// The filter and its values, checked before any device is opened; false after a message.
bool ReadFilter(const ParsedArguments& parsed, uint32_t sampleRate, LiveWork& work, int& exitCode,
                CommandContext& context) {
  const std::string& name = parsed.values.at("filter");
  work.filter = FilterByName(name);
  if (work.filter == nullptr) {
    PrintError(context, FormatText(StringId::kCliUnknownFilter, {name, JoinedFilterCommandNames()}));
    exitCode = kExitUsage;
    return false;
  }
  if (!work.filter->Built() || work.filter->traits.analysisOnly) {
    PrintError(context, FormatText(StringId::kFilterNotBuilt,
                                   {FilterCommandName(*work.filter), std::to_string(work.filter->typeId)}));
    exitCode = kExitFailure;
    return false;
  }
  work.name = FilterCommandName(*work.filter);
  const std::unique_ptr<FilterProcessor> engine = work.filter->create();
  engine->prompts = &context.prompts;
  if (!ReadFilterValues(parsed, *engine, work.values, exitCode, context) ||
      !ReadEqualizerBands(parsed, *engine, work.values, work.bands, exitCode, context))
    return false;
  // A continuous noise filter runs with the noise print of its preset (live input has no
  // noise-only stretch to sample).
  work.noisePrint.SetSampleRate(sampleRate);
  work.window = &work.bands;
  if (const auto* noise = dynamic_cast<const NoiseReductionProcessor*>(engine.get()); noise != nullptr) {
    work.noisePrint.SetPrint(noise->Print());
    work.window = &work.noisePrint;
  }
  return true;
}

// The chain from its filter list or its stored preset, built on the session's run state; false after
// a message.
bool ReadChain(const ParsedArguments& parsed, RunState& run, LiveWork& work, int& exitCode, CommandContext& context) {
  work.chain = std::make_unique<FilterChain>(run, context.prompts, work.noName);
  if (const auto filterList = parsed.values.find("chain"); filterList != parsed.values.end()) {
    std::vector<ChainMember> members;
    if (const auto refusal = ParseChainSpec(filterList->second, members)) {
      PrintError(context, refusal->message);
      exitCode = refusal->exitCode;
      return false;
    }
    if (!AddChainMembers(members, *work.chain, context, exitCode)) return false;
  } else {
    const std::string& presetName = parsed.values.at("chain-preset");
    std::vector<FilterTypeId> types;
    if (!ReadStoredChainTypes(presetName, types, context, exitCode) ||
        !LoadStoredChain(presetName, types, *work.chain, context, exitCode))
      return false;
  }
  work.name = ChainNamesText(*work.chain);
  return true;
}

int Live(const ParsedArguments& parsed, const InputOptions& options, CommandContext& context) {
  const InterruptGuard interrupts;
  InputSession session(context);
  RunState& run = session.State();
  LiveWork work;
  int exitCode = kExitOk;
  if (parsed.Has("filter") ? !ReadFilter(parsed, options.format.sampleRate, work, exitCode, context)
                           : !ReadChain(parsed, run, work, exitCode, context))
    return exitCode;
  if (!session.StartDevices()) return kExitFailure;

  const auto log = parsed.values.find("log");
  const bool logging = log != parsed.values.end();
  const double loggedBefore = logging ? WaveSeconds(log->second) : 0;
  FilterRun& runner = session.Environment().Runner();
  // Without --log nothing is written, whatever log file the window has chosen.
  runner.SetLiveLogName(logging ? log->second : std::string());
  run.logToFile = logging ? 1 : 0;
  run.liveInput = 1;

  // The status line's input level is that of the latest block the filters read.
  const WaveStream& input = session.Environment().InputStream();
  SampleValue left = 0;
  SampleValue right = 0;
  session.SetStatus([&] {
    if (input.End() > input.Begin()) MeasurePeaks(input.Begin(), input.End(), options.format.channels, left, right);
    return FormatText(StringId::kCliLiveStatus,
                      {ClockText(session.InputSeconds()), PeakText(left), PeakText(right),
                       std::to_string(session.LostInputFrames()), std::to_string(session.SilentOutputFrames())});
  });
  session.SetTimeLimit(options.seconds);
  if (!session.OpenInput("", options.format)) return kExitFailure;
  const int result = work.chain != nullptr
                         ? RunChain(runner, *work.chain, nullptr, false)
                         : runner.RunFilter(nullptr, work.filter->typeId, work.window, false, -1, work.values);
  session.EndStatus();
  run.liveInput = 0;
  run.logToFile = 0;
  if (result != 1) return kExitFailure;  // the run has said why

  std::fprintf(context.out, "%s\n",
               FormatText(StringId::kCliLiveDone, {work.name, SecondsText(session.InputSeconds()),
                                                   std::to_string(session.LostInputFrames()),
                                                   std::to_string(session.SilentOutputFrames())})
                   .c_str());
  if (logging) {
    const double loggedAfter = WaveSeconds(log->second);
    std::fprintf(context.out, "%s\n",
                 FormatText(StringId::kCliLiveLogged,
                            {SecondsText(loggedAfter - loggedBefore), log->second, SecondsText(loggedAfter)})
                     .c_str());
  }
  return kExitOk;
}

int RunLive(const std::vector<std::string>& args, CommandContext& context) {
  const ParsedArguments parsed = ParseArguments(
      args, WithRunChoice({{"log", true}, {"seconds", true}, {"rate", true}, {"bits", true}, {"mono", false}}), "live");
  if (!parsed.error.empty()) {
    PrintError(context, parsed.error);
    return kExitUsage;
  }
  if (RunChoiceCount(parsed) != 1 || !parsed.positional.empty() || FilterOptionsMisused(parsed)) return Usage(context);
  const SettingsStore settings;
  InputOptions options;
  if (!ReadInputOptions(parsed, settings, options, context)) return kExitUsage;
  return Live(parsed, options, context);
}

}  // namespace

const Command kLiveCommand{"live", kLiveArguments,
                           "runs a filter or a chain on the DevIn input live, plays the result on DevOut and appends "
                           "it to FILE.wav with --log (Ctrl+C stops)",
                           RunLive};

}  // namespace ztlive::cli
