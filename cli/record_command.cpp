#include "cli/record_command.h"

#include <sys/stat.h>

#include "cli/input_options.h"
#include "cli/input_session.h"
#include "cli/interrupts.h"
#include "cli/region_options.h"
#include "document/file_checks.h"
#include "document/staged_output.h"
#include "platform/file_ops.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr std::string_view kRecordArguments = "OUT.wav [--seconds N] [--rate HZ] [--bits 8|16|20|24] [--mono]";

int Usage(CommandContext& context) {
  PrintError(context, FormatText(StringId::kCliWrongArguments, {"ztlive-cli record " + std::string(kRecordArguments)}));
  return kExitUsage;
}

std::string SecondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

// Refuses, after its message, an output that is a link, not a file, or cannot be made where it
// is named, and an existing one that the question keeps.
bool CheckOutput(const std::string& path, CommandContext& context) {
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    PrintError(context, FormatText(StringId::kCliRecordIntoLink, {path}));
    return false;
  }
  if (const std::string problem = DescribeOutputProblem(path); !problem.empty()) {
    PrintError(context, problem);
    return false;
  }
  if (FileExists(path) &&
      context.prompts.Ask(FormatText(StringId::kRunOverwrite, {path}), StringText(StringId::kCaptionFileExists),
                          PromptButtons::YesNo, PromptIcon::Question) != PromptAnswer::Yes) {
    PrintError(context, FormatText(StringId::kCliNothingRecorded, {path}));
    return false;
  }
  return true;
}

// The closed recording read back in its format, whole frames only and no longer than
// wantedBytes (0: all of it); its data bytes, or nothing when it does not read back so.
std::optional<uint64_t> SettleRecording(const std::string& path, const WaveFormat& format, uint64_t wantedBytes) {
  RunState run;
  WaveStream stream(64, 0, run);
  if (stream.Open(path, kOpenWrite) != kStreamOk) return std::nullopt;
  const WaveFormat& written = stream.Format();
  if (written.channels != format.channels || written.sampleRate != format.sampleRate ||
      written.bitsPerSample != format.bitsPerSample || written.blockAlign != format.blockAlign)
    return std::nullopt;
  uint64_t bytes = stream.DataBytes() - stream.DataBytes() % format.blockAlign;
  if (wantedBytes > 0) bytes = std::min(bytes, wantedBytes);
  if (bytes != stream.DataBytes() && stream.ShortenData(bytes) != 0) return std::nullopt;
  stream.Close();
  return bytes;
}

int Record(const std::string& out, const InputOptions& options, CommandContext& context) {
  if (!CheckOutput(out, context)) return kExitFailure;
  // The recording is made under a temporary name beside OUT and takes OUT's name at the end.
  std::string problem;
  std::optional<StagedOutput> staged = StagedOutput::Begin(out, false, problem);
  if (!staged) {
    PrintError(context, problem);
    return kExitFailure;
  }
  const InterruptGuard interrupts;
  InputSession session(context);
  if (!session.StartDevices()) return kExitFailure;
  const WaveFormat& format = options.format;
  DeviceEngine& devices = session.Environment().Devices();
  session.SetTimeLimit(options.seconds);
  session.SetStatus([&] {
    const int right = format.channels == 2 ? devices.InputPeakRight() : devices.InputPeakLeft();
    return FormatText(StringId::kCliRecordStatus,
                      {ClockText(session.InputSeconds()), PeakText(devices.InputPeakLeft()), PeakText(right)});
  });
  if (!session.OpenInput(staged->WritePath(), format)) return kExitFailure;

  MessageQueue& queue = session.Environment().Queue();
  RunState& run = session.State();
  while (run.stopRequested.load() == 0) queue.DispatchOne(50);
  // Only a failed write stops a recording by itself (the engine has said so).
  const bool failed = !session.Interrupted() && !session.LimitReached();
  queue.DispatchPending();  // what the device has delivered goes into the file
  devices.CloseInput();
  session.EndStatus();
  const double seconds = session.InputSeconds();
  if (failed) {
    PrintError(context, FormatText(StringId::kCliRecordFailed, {SecondsText(seconds), out}));
    return kExitFailure;
  }
  const uint64_t frames = options.seconds ? static_cast<uint64_t>(*options.seconds * format.sampleRate + 0.5) : 0;
  const std::optional<uint64_t> bytes = SettleRecording(staged->WritePath(), format, frames * format.blockAlign);
  if (!bytes) {
    PrintError(context, StringText(StringId::kCannotWriteWave));
    return kExitFailure;
  }
  if (const std::string failure = staged->Commit(); !failure.empty()) {
    PrintError(context, failure);
    return kExitFailure;
  }
  std::fprintf(context.out, "%s\n",
               FormatText(StringId::kCliRecordDone,
                          {SecondsText(double(*bytes) / format.avgBytesPerSecond), out,
                           std::to_string(format.sampleRate), std::to_string(format.bitsPerSample),
                           ChannelsText(format.channels)})
                   .c_str());
  return kExitOk;
}

int RunRecord(const std::vector<std::string>& args, CommandContext& context) {
  const ParsedArguments parsed =
      ParseArguments(args, {{"seconds", true}, {"rate", true}, {"bits", true}, {"mono", false}}, "record");
  if (!parsed.error.empty()) {
    PrintError(context, parsed.error);
    return kExitUsage;
  }
  if (parsed.positional.size() != 1) return Usage(context);
  const SettingsStore settings;
  InputOptions options;
  if (!ReadInputOptions(parsed, settings, options, context)) return kExitUsage;
  return Record(parsed.positional[0], options, context);
}

}  // namespace

const Command kRecordCommand{"record", kRecordArguments,
                             "records the DevIn input into OUT.wav, for N seconds or until Ctrl+C, with a level "
                             "display on a terminal",
                             RunRecord};

}  // namespace ztlive::cli
