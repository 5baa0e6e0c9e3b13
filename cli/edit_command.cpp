#include "cli/edit_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>

#include "cli/region_options.h"
#include "core/peak_file.h"
#include "core/run_state.h"
#include "core/temp_files.h"
#include "document/edit_commands.h"
#include "document/file_checks.h"
#include "platform/file_ops.h"
#include "platform/folders.h"
#include "platform/output_lock.h"
#include "platform/settings_store.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr std::string_view kArguments =
    "FILE.wav OP [--from S --to S] [options], OP one of:\n"
    "        gain --db X | normalize [--db X] | fade-in [--log] | fade-out [--log] | mute\n"
    "        | insert-silence --seconds X [--at start|end|S] | reverse | cut\n"
    "        | interpolate [--channel left|right|both]";

// The level a fade starts or ends at: below the smallest step of a 24-bit sample, so it is
// silence.
constexpr int kFadeSilenceLevel = -14400;  // hundredths of a dB

enum class Op { Gain, Normalize, FadeIn, FadeOut, Mute, InsertSilence, Reverse, Cut, Interpolate };

struct OpInfo {
  std::string_view name;
  Op op;
  std::string_view options;   // the options it takes, besides --from and --to
  std::string_view required;  // the one it needs, if any
  bool takesRegion;
};

constexpr OpInfo kOps[] = {
    {"gain", Op::Gain, "db", "db", true},
    {"normalize", Op::Normalize, "db", "", true},
    {"fade-in", Op::FadeIn, "log", "", true},
    {"fade-out", Op::FadeOut, "log", "", true},
    {"mute", Op::Mute, "", "", true},
    {"insert-silence", Op::InsertSilence, "seconds at", "seconds", false},
    {"reverse", Op::Reverse, "", "", true},
    {"cut", Op::Cut, "", "", true},
    {"interpolate", Op::Interpolate, "channel", "", true},
};

const char* const kOptionNames[] = {"db", "log", "seconds", "at", "channel", "from", "to"};

int Usage(CommandContext& context) {
  PrintError(context, FormatText(StringId::kCliWrongArguments, {"ztlive-cli edit " + std::string(kArguments)}));
  return kExitUsage;
}

bool Takes(const OpInfo& info, std::string_view option) {
  if (option == "from" || option == "to") return info.takesRegion;
  size_t at = 0;
  while (at < info.options.size()) {
    const size_t end = std::min(info.options.find(' ', at), info.options.size());
    if (info.options.substr(at, end - at) == option) return true;
    at = end + 1;
  }
  return false;
}

std::optional<double> ParseNumber(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end == nullptr || *end != '\0' || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::string Seconds(uint64_t bytes, const WaveInfo& info) {
  const double rate = static_cast<double>(info.sampleRate) * std::max(info.blockAlign, 1);
  return ClockText(rate > 0 ? static_cast<double>(bytes) / rate : 0.0);
}

// Refuses, after its message, a file that is a link, not a regular file, or not a wave file
// that can be edited.
bool CheckFile(const std::string& path, CommandContext& context) {
  if (IsPeakFileName(path)) {
    PrintError(context, FormatText(StringId::kPeakFileNameForWave, {path}));
    return false;
  }
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    PrintError(context, FormatText(StringId::kCliEditThroughLink, {path}));
    return false;
  }
  if (std::string problem = DescribeInputProblem(path); !problem.empty()) {
    PrintError(context, problem);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    PrintError(context, FormatText(StringId::kInputNotWave, {path}));
    return false;
  }
  // Refused here, a file that cannot be written is not mistaken for an edit that failed part way.
  if (access(path.c_str(), W_OK) != 0) {
    PrintError(context, FormatText(StringId::kOutputNotWritten, {path, SystemErrorText(errno)}));
    return false;
  }
  return true;
}

// The settings of the op's options; false after a message.
struct EditChoices {
  std::optional<double> db;
  bool log = false;
  double seconds = 0;
  SilencePlace place = SilencePlace::FileStart;
  std::optional<double> atSeconds;
  InterpolateChannels channels = InterpolateChannels::Both;
};

int ReadChoices(const ParsedArguments& parsed, EditChoices& choices, CommandContext& context) {
  if (const auto db = parsed.values.find("db"); db != parsed.values.end()) {
    const std::optional<double> value = ParseNumber(db->second);
    if (!value) {
      PrintError(context, FormatText(StringId::kCliNotDecibels, {db->second}));
      return kExitUsage;
    }
    choices.db = value;
  }
  choices.log = parsed.flags.count("log") != 0;
  if (const auto seconds = parsed.values.find("seconds"); seconds != parsed.values.end()) {
    const std::optional<double> value = ParseNumber(seconds->second);
    if (!value || *value <= 0) {
      PrintError(context, FormatText(StringId::kCliSecondsNotPositive, {seconds->second}));
      return kExitUsage;
    }
    choices.seconds = *value;
  }
  if (const auto at = parsed.values.find("at"); at != parsed.values.end()) {
    if (at->second == "start") {
      choices.place = SilencePlace::FileStart;
    } else if (at->second == "end") {
      choices.place = SilencePlace::FileEnd;
    } else {
      choices.atSeconds = ParseNumber(at->second);
      if (!choices.atSeconds || *choices.atSeconds < 0) {
        PrintError(context, FormatText(StringId::kCliBadSilencePlace, {at->second}));
        return kExitUsage;
      }
      choices.place = SilencePlace::SelectionStart;
    }
  }
  if (const auto channel = parsed.values.find("channel"); channel != parsed.values.end()) {
    if (channel->second == "left") {
      choices.channels = InterpolateChannels::Left;
    } else if (channel->second == "right") {
      choices.channels = InterpolateChannels::Right;
    } else if (channel->second == "both") {
      choices.channels = InterpolateChannels::Both;
    } else {
      PrintError(context, FormatText(StringId::kCliBadChannel, {channel->second}));
      return kExitUsage;
    }
  }
  return kExitOk;
}

EditOutcome RunOp(Op op, const EditTarget& target, const EditChoices& choices) {
  const FadeCurve fadeCurve = choices.log ? FadeCurve::Logarithmic : FadeCurve::Linear;
  const int level = static_cast<int>(std::lround(std::clamp(choices.db.value_or(0.0), -1000.0, 1000.0) * 100));
  switch (op) {
    case Op::Gain:
      return FadeSelection(target, FadeSettings{level, level, FadeCurve::Linear, 0, 0});
    case Op::Normalize:
      return NormalizeSelection(target, NormalizeSettings{choices.db.has_value(), choices.db.value_or(0.0)});
    case Op::FadeIn:
      return FadeSelection(target, FadeSettings{kFadeSilenceLevel, 0, fadeCurve, 0, 0});
    case Op::FadeOut:
      return FadeSelection(target, FadeSettings{0, kFadeSilenceLevel, fadeCurve, 0, 0});
    case Op::Mute:
      return MuteSelection(target);
    case Op::InsertSilence:
      return InsertSilence(target, SilenceSettings{choices.seconds, choices.place});
    case Op::Reverse:
      return ReverseSelection(target);
    case Op::Cut:
      return CutSelection(target);
    case Op::Interpolate:
      return InterpolateSelection(target, choices.channels);
  }
  return {};
}

// After an edit failed part way: the old bytes its undo entry saved are moved to a name of
// their own and named to the user, so that ending the program does not delete them. Returns
// false when they could not be moved and must stay where they are.
bool KeepSavedCopy(CZantoDoc& document, const std::string& file, const WaveInfo& info, CommandContext& context) {
  const UndoEntry& entry = document.Undo().Entry(0);
  if (entry.savedCopy.empty()) return true;
  const std::string kept = MakeNumberedName(JoinPath(document.TempFolder(), "ztlive-edit-backup1.wav"), 1);
  const bool moved = !kept.empty() && MoveFile(entry.savedCopy, kept, true) == 0;
  PrintError(context, FormatText(StringId::kCliEditOldBytesKept,
                                 {file, Seconds(entry.start, info), Seconds(entry.end, info),
                                  moved ? kept : entry.savedCopy}));
  return moved;
}

int RunEdit(const std::vector<std::string>& args, CommandContext& context) {
  const ParsedArguments parsed = ParseArguments(args,
                                                {{"db", true},
                                                 {"log", false},
                                                 {"seconds", true},
                                                 {"at", true},
                                                 {"channel", true},
                                                 {"from", true},
                                                 {"to", true}},
                                                "edit");
  if (!parsed.error.empty()) {
    PrintError(context, parsed.error);
    return kExitUsage;
  }
  if (parsed.positional.size() != 2) return Usage(context);
  const std::string& file = parsed.positional[0];
  const std::string& name = parsed.positional[1];
  const OpInfo* info = nullptr;
  for (const OpInfo& candidate : kOps)
    if (candidate.name == name) info = &candidate;
  if (info == nullptr) {
    PrintError(context, FormatText(StringId::kCliUnknownEdit, {name}));
    return kExitUsage;
  }
  for (const char* option : kOptionNames) {
    if (parsed.Has(option) && !Takes(*info, option)) {
      PrintError(context, FormatText(StringId::kCliEditOptionNotFor, {"--" + std::string(option), name}));
      return kExitUsage;
    }
  }
  if (!info->required.empty() && !parsed.Has(std::string(info->required))) {
    PrintError(context, FormatText(StringId::kCliEditNeedsOption, {name, "--" + std::string(info->required)}));
    return kExitUsage;
  }
  EditChoices choices;
  if (const int code = ReadChoices(parsed, choices, context); code != kExitOk) return code;

  if (!CheckFile(file, context)) return kExitFailure;
  std::string lockError;
  const std::optional<OutputLock> lock = OutputLock::Acquire(file, lockError);
  if (!lock) {
    PrintError(context, lockError);
    return kExitFailure;
  }
  WaveInfo wave;
  if (ReadWaveInfo(file, wave, context.prompts) != 0) return kExitFailure;
  Region region{0, static_cast<uint32_t>(std::min<uint64_t>(wave.dataBytes, UINT32_MAX))};
  if (info->takesRegion && !ReadRegion(parsed, wave, region, context)) return kExitFailure;
  if (choices.atSeconds) {
    const uint64_t frame = static_cast<uint64_t>(std::floor(*choices.atSeconds * wave.sampleRate));
    const uint64_t offset = frame * static_cast<uint64_t>(wave.blockAlign);
    if (offset > wave.dataBytes) {
      PrintError(context, FormatText(StringId::kCliBadSilencePlace, {parsed.values.at("at")}));
      return kExitUsage;
    }
    region = {static_cast<uint32_t>(offset), static_cast<uint32_t>(offset)};
  }

  SettingsStore settings;
  const std::string tempFolder = settings.Read(setting::kTempPath);
  if (EnsureFolder(tempFolder) != 0) {
    PrintError(context, FormatText(StringId::kRangeWriteError, {tempFolder}));
    return kExitFailure;
  }
  auto document = std::make_unique<CZantoDoc>(file, settings, context.prompts);
  const EditTarget target{*document, kPaneSource, file, region.from, region.to};
  const EditOutcome outcome = RunOp(info->op, target, choices);
  if (outcome.failed) {
    // The old bytes are never deleted while the file may hold the edit only in part.
    if (outcome.changed && outcome.undoRecorded && !KeepSavedCopy(*document, file, wave, context))
      static_cast<void>(document.release());
    return kExitFailure;
  }
  if (!outcome.changed) {
    PrintError(context, FormatText(StringId::kCliEditNotChanged, {file}));
    return kExitFailure;
  }
  // A peak file beside the file follows the change (markers and all).
  if (FileExists(PeakFile::PeakFileName(file))) {
    RunState run;
    PeakFile peaks(file, run, context.prompts);
    if (peaks.Build(outcome.rebuildFrom, outcome.rebuildTo) != 0) return kExitFailure;
  }
  WaveInfo after;
  if (ReadWaveInfo(file, after, context.prompts) != 0) return kExitFailure;
  const uint64_t shownFrom = info->op == Op::InsertSilence ? outcome.rebuildFrom : region.from;
  const uint64_t shownTo =
      info->op == Op::InsertSilence ? outcome.rebuildFrom + (after.dataBytes - wave.dataBytes) : region.to;
  std::fprintf(context.out, "%s\n",
               FormatText(StringId::kCliEditDone,
                          {file, name, Seconds(shownFrom, wave), Seconds(shownTo, wave), Seconds(after.dataBytes, after)})
                   .c_str());
  return kExitOk;
}

}  // namespace

const Command kEditCommand{"edit", kArguments,
                           "change a wave file in place (without --from/--to: all of it); undo data is not kept "
                           "between runs of ztlive-cli",
                           RunEdit};

}  // namespace ztlive::cli
