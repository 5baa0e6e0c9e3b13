#include "cli/batch_command.h"

#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "cli/batch_plan.h"
#include "cli/batch_progress.h"
#include "cli/batch_workers.h"
#include "cli/chain_members.h"
#include "cli/chain_spec.h"
#include "cli/config_snapshot.h"
#include "cli/filter_names.h"
#include "cli/filter_session.h"
#include "cli/interrupts.h"
#include "cli/process_command.h"
#include "cli/region_options.h"
#include "document/file_checks.h"
#include "document/staged_output.h"
#include "live/batch_job.h"
#include "platform/ascii.h"
#include "platform/file_ops.h"
#include "platform/folders.h"
#include "platform/settings_store.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr std::string_view kBatchArguments =
    "JOB.fbt | (--filter NAME|TYPE [--preset P | --values v0,...,v10] | --chain FILTERS | --chain-preset P) "
    "[--first S | --last S | --from S --to S] [--noise-from S --noise-to S] FILE..., either with [--out-dir DIR] [--jobs N] [--shard K/N] [--resume] "
    "[--stop-on-error] [--dry-run] [--write-job OUT.fbt]";
constexpr FilterTypeId kMultiFilterType = 28;
constexpr int kMaxJobs = 256;
constexpr int kPollMs = 50;

int Usage(CommandContext& context) {
  PrintError(context, FormatText(StringId::kCliWrongArguments, {"ztlive-cli batch " + std::string(kBatchArguments)}));
  return kExitUsage;
}

// A refusal before anything ran: the message and the exit code.
struct Refusal {
  std::string message;
  int exitCode = kExitFailure;
};

int Refuse(CommandContext& context, const Refusal& refusal) {
  PrintError(context, refusal.message);
  return refusal.exitCode;
}

// The job and how each file is run: the filter options of the batch-file command.
struct BatchSetup {
  BatchJob job;
  std::vector<std::string> runOptions;  // e.g. {"--filter", "15", "--preset", "Vinyl"}
  bool fromJobFile = false;
  std::optional<std::string> notWritable;  // the option a job file cannot hold
};

bool ReadSeconds(const ParsedArguments& parsed, const char* option, double& seconds, std::optional<Refusal>& refusal) {
  const auto value = parsed.values.find(option);
  if (value == parsed.values.end()) return false;
  char* end = nullptr;
  seconds = std::strtod(value->second.c_str(), &end);
  if (value->second.empty() || *end != '\0' || !IsBatchSecondsValid(seconds))
    refusal = Refusal{"--" + std::string(option) + " " + value->second + ": " + BatchSecondsRangeMessage(), kExitUsage};
  return true;
}

// The region options of a job given on the command line; false when they do not fit together.
bool ReadRegionOptions(const ParsedArguments& parsed, BatchJob& job, std::optional<Refusal>& refusal) {
  const bool first = ReadSeconds(parsed, "first", job.firstSeconds, refusal);
  const bool last = ReadSeconds(parsed, "last", job.lastSeconds, refusal);
  job.rangeFrom = 0;
  job.rangeTo = kBatchSecondsMax;
  const bool from = ReadSeconds(parsed, "from", job.rangeFrom, refusal);
  const bool to = ReadSeconds(parsed, "to", job.rangeTo, refusal);
  if (int{first} + int{last} + int{from || to} > 1) return false;
  job.regionMode = static_cast<int32_t>(first  ? BatchRegionMode::FirstSeconds
                                        : last ? BatchRegionMode::LastSeconds
                                        : from || to ? BatchRegionMode::Range
                                                     : BatchRegionMode::EntireFile);
  return true;
}

// A filter of the job, checked before anything runs: known, built, and its values or preset usable.
std::optional<Refusal> CheckFilter(const FilterDescriptor* descriptor, const std::string& name,
                                   const std::optional<std::string>& values, const std::optional<std::string>& preset,
                                   CommandContext& context) {
  if (descriptor == nullptr)
    return Refusal{FormatText(StringId::kCliUnknownFilter, {name, JoinedFilterCommandNames()}), kExitUsage};
  if (descriptor->typeId == kNormalizeFilter)
    return Refusal{std::string(StringText(StringId::kCliBatchNormalizeRefused)), kExitFailure};
  if (!descriptor->Built() || descriptor->traits.analysisOnly)
    return Refusal{FormatText(StringId::kFilterNotBuilt, {FilterCommandName(*descriptor), std::to_string(descriptor->typeId)}),
                   kExitFailure};
  const std::unique_ptr<FilterProcessor> engine = descriptor->create();
  engine->prompts = &context.prompts;
  PresetValues checked;
  int exitCode = kExitOk;
  if (!ReadFilterValues(values, preset, *engine, checked, exitCode, context)) return Refusal{"", exitCode};
  return std::nullopt;
}

// A job given on the command line.
std::optional<Refusal> SetupFromOptions(const ParsedArguments& parsed, BatchSetup& setup, CommandContext& context) {
  BatchJob& job = setup.job;
  std::optional<Refusal> refusal;
  if (!ReadRegionOptions(parsed, job, refusal)) return Refusal{"", Usage(context)};
  if (refusal) return refusal;
  auto given = [&](const char* option) {
    const auto value = parsed.values.find(option);
    return value != parsed.values.end() ? std::optional<std::string>(value->second) : std::nullopt;
  };
  if (const auto name = given("filter")) {
    const FilterDescriptor* descriptor = FilterByName(*name);
    if (auto problem = CheckFilter(descriptor, *name, given("values"), given("preset"), context)) return problem;
    job.filterType = descriptor->typeId;
    job.presetName = given("preset").value_or("Default");
    setup.runOptions = {"--filter", *name};
    if (const auto values = given("values")) {
      setup.runOptions.insert(setup.runOptions.end(), {"--values", *values});
      setup.notWritable = "--values";
    }
    if (const auto preset = given("preset")) setup.runOptions.insert(setup.runOptions.end(), {"--preset", *preset});
  } else if (const auto filters = given("chain")) {
    std::vector<ChainMember> members;
    if (auto problem = ParseChainSpec(*filters, members)) return Refusal{problem->message, problem->exitCode};
    std::vector<FilterTypeId> types;
    for (const ChainMember& member : members) types.push_back(member.descriptor->typeId);
    if (auto problem = CheckChainFilters(types)) return Refusal{problem->message, problem->exitCode};
    setup.runOptions = {"--chain", *filters};
    setup.notWritable = "--chain FILTERS";
  } else {
    const std::string preset = parsed.values.at("chain-preset");
    std::vector<FilterTypeId> types;
    int exitCode = kExitOk;
    if (!ReadStoredChainTypes(preset, types, context, exitCode)) return Refusal{"", exitCode};
    job.filterType = kMultiFilterType;
    job.presetName = preset;
    setup.runOptions = {"--chain-preset", preset};
  }
  // Each file's noise print from its own noise-only stretch, as process takes it.
  for (const char* option : {"noise-from", "noise-to"}) {
    if (const auto seconds = given(option)) {
      setup.runOptions.insert(setup.runOptions.end(), {"--" + std::string(option), *seconds});
      setup.notWritable = "--" + std::string(option);
    }
  }
  job.files = parsed.positional;
  return std::nullopt;
}

// A job from a job file: its filter row and the first stored preset whose name begins with the
// job's preset name (ASCII case ignored), as the window picks it. An empty name or "Default"
// that matches nothing runs the filter with what its window opens with.
std::optional<Refusal> SetupFromJobFile(const std::string& path, BatchSetup& setup, CommandContext& context) {
  BatchJob& job = setup.job;
  setup.fromJobFile = true;
  const BatchLoadResult loaded = LoadBatchJob(path, job);
  if (loaded == BatchLoadResult::WrongMagic) return Refusal{NotABatchFileMessage(path)};
  if (loaded != BatchLoadResult::Loaded) return Refusal{path + ": " + BatchLoadMessage(loaded)};
  if (job.filterType == kNoBatchFilter) return Refusal{FormatText(StringId::kCliBatchNoFilter, {path})};
  if (BatchFilterRow(job.filterType) < 0)
    return Refusal{FormatText(StringId::kCliBatchUnknownFilterType, {path, std::to_string(job.filterType)})};
  const std::vector<std::string> presets = BatchPresetNames(job.filterType);
  const int found = FindBatchPreset(presets, job.presetName);
  const bool fallsBack = job.presetName.empty() || EqualsIgnoringCase(job.presetName, "Default");
  if (found < 0 && (!fallsBack || job.filterType == kMultiFilterType))
    return Refusal{FormatText(StringId::kPresetNotFound, {job.presetName})};
  const std::optional<std::string> preset = found >= 0 ? std::optional<std::string>(presets[found]) : std::nullopt;
  if (job.filterType == kMultiFilterType) {
    std::vector<FilterTypeId> types;
    int exitCode = kExitOk;
    if (!ReadStoredChainTypes(*preset, types, context, exitCode)) return Refusal{"", exitCode};
    setup.runOptions = {"--chain-preset", *preset};
    return std::nullopt;
  }
  const std::string type = std::to_string(job.filterType);
  if (auto problem = CheckFilter(FindFilterDescriptor(job.filterType), type, std::nullopt, preset, context))
    return problem;
  setup.runOptions = {"--filter", type};
  if (preset) setup.runOptions.insert(setup.runOptions.end(), {"--preset", *preset});
  return std::nullopt;
}

// One file of the share and what becomes of it.
struct BatchItem {
  std::string source;
  std::string output;
  BatchByteRegion region;
  double seconds = 0;  // of sound in the region
  double bytesPerSecond = 0;
  std::string skip;    // a reason: nothing to run
  std::string fail;    // a reason: reported as failed without running
};

bool IsLink(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// Decides what becomes of a file before any run: refusals, the region, an existing result.
// checkOutput: false in a dry run whose destination directory is not made yet.
void Classify(BatchItem& item, const BatchJob& job, bool resume, bool checkOutput) {
  if (IsMp3(item.source)) {
    item.fail = Mp3RefusedMessage(item.source);
    return;
  }
  if (std::string problem = DescribeInputProblem(item.source); !problem.empty()) {
    item.fail = problem;
    return;
  }
  WaveInfo info;
  if (!ProbeWaveInfo(item.source, info) || info.blockAlign == 0 || info.sampleRate == 0) {
    item.fail = DescribeInputProblem(item.source);
    if (item.fail.empty()) item.fail = BatchLoadMessage(BatchLoadResult::CannotOpen);
    return;
  }
  item.bytesPerSecond = double(info.sampleRate) * info.blockAlign;
  item.region = BatchRegion(job, info.dataBytes, static_cast<uint32_t>(item.bytesPerSecond), info.blockAlign);
  item.seconds = double(item.region.end - item.region.start) / item.bytesPerSecond;
  if (item.output.empty()) {
    item.fail = NoFreeOutputNameMessage(item.source);
  } else if (IsLink(item.output)) {
    item.fail = FormatText(StringId::kCliBatchOutputIsLink, {item.output});
  } else if (item.output == item.source || SameFile(item.output, item.source)) {
    item.fail = FormatText(StringId::kOutputIsInput, {item.output, item.source});
  } else if (std::string problem = checkOutput ? DescribeOutputProblem(item.output) : std::string(); !problem.empty()) {
    item.fail = problem;
  } else if (item.region.end <= item.region.start || item.region.end > 0xFFFFFFFFull) {
    item.skip = StringText(StringId::kCliBatchRegionEmpty);
  } else if (resume && FileExists(item.output)) {
    item.skip = FormatText(StringId::kCliBatchOutputExists, {item.output});
  }
}

// What a child killed outright left beside its output: taken under the output's lock, so a
// run that writes it now is never disturbed.
void RemoveUnfinishedOutput(const std::string& output) {
  std::string error;
  const auto lock = OutputLock::Acquire(output, error);
  if (!lock) return;
  const std::string staged = StagingPath(output);
  struct stat info {};
  if (lstat(staged.c_str(), &info) == 0 && S_ISREG(info.st_mode)) DeleteFile(staged);
}

std::string FirstLines(const std::string& text) {
  std::string joined;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    // The answers of questions say nothing about why a run failed.
    if (line.empty() || line.rfind("  -> ", 0) == 0) continue;
    joined += (joined.empty() ? "" : " ") + line;
  }
  return joined;
}

struct RunOptions {
  int jobs = 1;
  bool stopOnError = false;
};

// Runs the items at most jobs at once; returns how many were never started.
size_t RunItems(std::vector<BatchItem>& items, const BatchSetup& setup, const RunOptions& options,
                const ConfigSnapshot& snapshot, CommandContext& context, BatchProgress& progress) {
  const std::string program = OwnExecutable();
  WorkerPool pool(snapshot.Folder());
  const InterruptGuard interrupts;
  bool stopping = false;
  bool stoppedOnError = false;
  bool forwarded = false;
  size_t next = 0;
  size_t notStarted = 0;
  auto settle = [&](const WorkerEnd& end) {
    BatchItem& item = items[end.id];
    if (end.signal != 0) {
      RemoveUnfinishedOutput(item.output);
      progress.Failed(end.id, item.source, FormatText(StringId::kCliBatchWorkerSignal, {std::to_string(end.signal)}),
                      item.seconds);
    } else if (end.exitCode != 0) {
      std::string reason = FirstLines(end.err);
      if (reason.empty()) reason = FirstLines(end.out);
      progress.Failed(end.id, item.source, reason, item.seconds);
    } else if (!FileExists(item.output)) {
      progress.Failed(end.id, item.source, FormatText(StringId::kCliBatchNoResult, {item.output}), item.seconds);
    } else {
      progress.Done(end.id, item.source, item.output, item.seconds);
      return;
    }
    if (options.stopOnError && !stopping) stopping = stoppedOnError = true;
  };

  while (next < items.size() || pool.Running() > 0) {
    if (InterruptGuard::Interrupted() && !forwarded) {
      // The children may not have had the signal (a kill of this process alone).
      stopping = forwarded = true;
      pool.SignalAll(SIGINT);
    }
    while (!stopping && next < items.size() && pool.Running() < static_cast<size_t>(options.jobs)) {
      BatchItem& item = items[next];
      const size_t id = next++;
      if (!item.fail.empty()) {
        progress.Failed(id, item.source, item.fail, item.seconds);
        if (options.stopOnError) stopping = stoppedOnError = true;
        continue;
      }
      if (!item.skip.empty()) {
        progress.Skipped(item.source, item.skip, item.seconds);
        continue;
      }
      std::vector<std::string> argv{program};
      if (!context.answerFlag.empty()) argv.emplace_back(context.answerFlag);
      argv.emplace_back(kBatchFileCommandName);
      argv.insert(argv.end(), setup.runOptions.begin(), setup.runOptions.end());
      argv.insert(argv.end(), {"--start-byte", std::to_string(item.region.start), "--end-byte",
                               std::to_string(item.region.end), "--", item.source, item.output});
      std::string error;
      if (!pool.Start(id, argv, error)) {
        progress.Failed(id, item.source, FormatText(StringId::kCliBatchWorkerNotStarted, {error}), item.seconds);
        if (options.stopOnError) stopping = stoppedOnError = true;
        continue;
      }
      progress.Started(id, item.source);
    }
    if (stopping && pool.Running() == 0) break;
    if (const auto end = pool.WaitOne(kPollMs)) settle(*end);
    progress.Tick();
  }
  notStarted = items.size() - next;
  if (forwarded) PrintError(context, StringText(StringId::kCliBatchInterrupted));
  else if (stoppedOnError) PrintError(context, StringText(StringId::kCliBatchStoppedOnError));
  return notStarted;
}

void PrintPlan(const std::vector<BatchItem>& items, CommandContext& context) {
  for (const BatchItem& item : items) {
    std::string line;
    if (!item.fail.empty() || !item.skip.empty()) {
      line = FormatText(StringId::kCliBatchPlanNotRun, {item.source, item.fail.empty() ? item.skip : item.fail});
    } else {
      line = FormatText(StringId::kCliBatchPlanLine,
                        {item.source, item.output, ClockText(double(item.region.start) / item.bytesPerSecond),
                         ClockText(double(item.region.end) / item.bytesPerSecond)});
    }
    std::fprintf(context.out, "%s\n", line.c_str());
  }
}

int WriteJob(const BatchSetup& setup, const std::string& path, const std::optional<std::string>& outDir,
             CommandContext& context) {
  if (setup.notWritable) return Refuse(context, {FormatText(StringId::kCliBatchJobNotWritable, {*setup.notWritable})});
  if (std::string problem = SaveBatchJob(path, setup.job); !problem.empty()) return Refuse(context, {problem});
  std::fprintf(context.out, "%s\n",
               FormatText(StringId::kCliBatchJobWritten, {path, std::to_string(setup.job.files.size())}).c_str());
  if (outDir) PrintError(context, FormatText(StringId::kCliBatchOutDirNotKept, {*outDir}));
  return kExitOk;
}

int RunBatch(const std::vector<std::string>& args, CommandContext& context) {
  // A batch job stores a filter's preset or values, never bands.
  const ParsedArguments parsed = ParseArguments(args,
                                                WithRunChoice({{"first", true},
                                                               {"last", true},
                                                               {"from", true},
                                                               {"to", true},
                                                               {"noise-from", true},
                                                               {"noise-to", true},
                                                               {"out-dir", true},
                                                               {"jobs", true},
                                                               {"shard", true},
                                                               {"resume", false},
                                                               {"stop-on-error", false},
                                                               {"dry-run", false},
                                                               {"write-job", true}},
                                                              false),
                                                "batch");
  if (!parsed.error.empty()) return Refuse(context, {parsed.error, kExitUsage});
  const int runs = RunChoiceCount(parsed);
  const bool regionOptions = parsed.Has("first") || parsed.Has("last") || parsed.Has("from") || parsed.Has("to") ||
                             parsed.Has("noise-from") || parsed.Has("noise-to");
  const bool jobFile = runs == 0;
  if (runs > 1 || parsed.positional.empty() || (jobFile && (parsed.positional.size() != 1 || regionOptions)) ||
      FilterOptionsMisused(parsed))
    return Usage(context);

  const int cores = AvailableCores();
  RunOptions options;
  options.jobs = cores;
  options.stopOnError = parsed.Has("stop-on-error");
  if (parsed.Has("jobs")) {
    const auto jobs = ParseJobs(parsed.values.at("jobs"), kMaxJobs);
    if (!jobs) return Refuse(context, {FormatText(StringId::kCliBatchBadJobs, {std::to_string(kMaxJobs), parsed.values.at("jobs")}), kExitUsage});
    options.jobs = *jobs;
  }
  Shard shard;
  if (parsed.Has("shard")) {
    const auto given = ParseShard(parsed.values.at("shard"));
    if (!given) return Refuse(context, {FormatText(StringId::kCliBatchBadShard, {parsed.values.at("shard")}), kExitUsage});
    shard = *given;
  }
  const bool resume = parsed.Has("resume");
  const auto outDirOption = parsed.values.find("out-dir");
  std::optional<std::string> outDir;
  if (outDirOption != parsed.values.end()) outDir = outDirOption->second;

  // Settings and presets are read once, here: the batch and its children use this copy.
  std::string error;
  std::optional<ConfigSnapshot> snapshot = ConfigSnapshot::Take(error);
  if (!snapshot) return Refuse(context, {error});
  setenv("ZTLIVE_HOME", snapshot->Folder().c_str(), 1);

  BatchSetup setup;
  if (auto refusal = jobFile ? SetupFromJobFile(parsed.positional[0], setup, context)
                             : SetupFromOptions(parsed, setup, context)) {
    if (refusal->message.empty()) return refusal->exitCode;  // already said
    return Refuse(context, *refusal);
  }
  std::vector<std::string> files;
  if (!ExpandPlaylists(setup.job.files, files, error)) return Refuse(context, {error});
  setup.job.files = files;
  if (parsed.Has("write-job")) return WriteJob(setup, parsed.values.at("write-job"), outDir, context);

  // The destination: --out-dir, else for a job file the window's destination directory setting.
  if (!outDir && setup.fromJobFile) {
    SettingsStore settings;
    if (settings.Read(setting::kBatchUseDestDir) != 0) outDir = settings.Read(setting::kBatchDestDir);
  }
  if (!outDir && (resume || shard.count > 1))
    return Refuse(context, {FormatText(StringId::kCliBatchNeedsOutDir, {resume ? "--resume" : "--shard"}), kExitUsage});
  std::vector<std::string> outputs;
  if (outDir) {
    outputs = DirectoryOutputNames(files, *outDir);
  } else {
    BatchJob numbered = setup.job;
    numbered.useDestinationDirectory = false;
    outputs = BatchOutputNames(numbered);
  }

  const bool dryRun = parsed.Has("dry-run");
  if (outDir && !dryRun && !files.empty()) {
    if (const int made = EnsureFolder(*outDir); made != 0) return Refuse(context, {*outDir + ": " + SystemErrorText(made)});
  }
  const bool checkOutput = !outDir || FolderExists(*outDir);
  std::vector<BatchItem> items;
  double totalSeconds = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    if (!InShard(i, shard)) continue;
    BatchItem item;
    item.source = files[i];
    item.output = i < outputs.size() ? outputs[i] : std::string();
    Classify(item, setup.job, resume, checkOutput);
    totalSeconds += item.seconds;
    items.push_back(std::move(item));
  }
  if (dryRun) {
    PrintPlan(items, context);
    return kExitOk;
  }
  // An existing result is replaced only when the question is answered Yes.
  for (BatchItem& item : items) {
    if (!item.fail.empty() || !item.skip.empty() || !FileExists(item.output)) continue;
    if (context.prompts.Ask(FormatText(StringId::kSaveReplaceQuestion, {item.output}),
                            StringText(StringId::kCaptionFileReplace), PromptButtons::YesNo,
                            PromptIcon::Question) != PromptAnswer::Yes)
      item.skip = FormatText(StringId::kCliBatchKeptExisting, {item.output});
  }
  // What a killed earlier run left beside results that are not run again.
  for (const BatchItem& item : items)
    if (!item.skip.empty() && !item.output.empty()) RemoveUnfinishedOutput(item.output);

  BatchProgress progress(context.out, context.err, items.size(), totalSeconds);
  const size_t notStarted = RunItems(items, setup, options, *snapshot, context, progress);
  progress.Summary(notStarted);
  return progress.AnyFailed() || notStarted > 0 ? kExitFailure : kExitOk;
}

}  // namespace

const Command kBatchCommand{"batch", kBatchArguments,
                            "runs a filter or a chain over many files, each into a new file, on every core; "
                            "a share of the list with --shard, the rest of an interrupted batch with --resume",
                            RunBatch};

}  // namespace ztlive::cli
