#include "cli/marker_actions.h"

#include <cerrno>
#include <cstdlib>

#include "cli/filter_session.h"
#include "document/marker_commands.h"
#include "filters/analysis/mark_silence_processor.h"
#include "platform/settings_store.h"
#include "platform/string_table.h"

namespace ztlive::cli {

const std::vector<OptionSpec> kMarkerActionOptions = {
    {"keep-original", false}, {"threshold", true}, {"length", true}};

namespace {

// A whole number in [low, high] from an option, or the fallback without it; false after a message.
bool ReadBoundedOption(const ParsedArguments& parsed, const char* option, int low, int high, StringId message,
                       int& value, CommandContext& context) {
  const auto given = parsed.values.find(option);
  if (given == parsed.values.end()) return true;
  const std::string& text = given->second;
  char* end = nullptr;
  errno = 0;
  const long number = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || number < low || number > high) {
    PrintError(context, FormatText(message, {text}));
    return false;
  }
  value = static_cast<int>(number);
  return true;
}

int QuantizeCd(PeakFile& peaks) {
  SettingsStore settings;
  return QuantizeMarkersForCd(peaks, settings) ? kExitOk : kExitFailure;  // a failed save is reported
}

int Chop(const std::string& path, const PeakFile& peaks, bool keepOriginal, CommandContext& context) {
  if (peaks.MarkerCount() == 0) {
    PrintError(context, StringText(StringId::kChopNoMarkers));
    return kExitFailure;
  }
  std::vector<uint32_t> positions;
  for (const Marker& marker : peaks.Markers()) positions.push_back(marker.position);
  const ChopResult result = ChopFileAtMarkers(path, positions, keepOriginal, context.prompts);
  // Every piece made is named, also after a halt: each is whole.
  for (const std::string& name : result.created) std::fprintf(context.out, "%s\n", name.c_str());
  return result.done ? kExitOk : kExitFailure;
}

int FindSilence(const std::string& path, PeakFile& peaks, const ParsedArguments& parsed, CommandContext& context) {
  FilterSession session(context, false);
  MarkSilenceSettings values = ReadMarkSilenceSettings(session.Settings());
  if (!ReadBoundedOption(parsed, "threshold", -100, 0, StringId::kCliBadThreshold, values.thresholdDb, context) ||
      !ReadBoundedOption(parsed, "length", 1, 100, StringId::kCliBadSilenceLength, values.minimumTenths, context))
    return kExitUsage;
  const MarkSilenceOutcome outcome = FindAndMarkSilence(
      peaks, values,
      [&](const PresetValues& preset, RunDialog& dialog) {
        FilterJob job;
        job.source = path;
        job.type = MarkSilenceProcessor::Descriptor().typeId;
        job.values = preset;
        return session.Run(job, &dialog);
      },
      session.Settings(), context.prompts);
  if (outcome.runResult != 1 || peaks.SaveFailed()) return kExitFailure;  // reported
  PrintError(context, FormatText(StringId::kCliSilenceFound,
                                 {std::to_string(outcome.found), std::to_string(outcome.added)}));
  return kExitOk;
}

}  // namespace

std::optional<int> RunMarkerAction(const std::string& action, const std::string& path, PeakFile& peaks,
                                   const ParsedArguments& parsed, CommandContext& context) {
  if (action == "quantize-cd") return QuantizeCd(peaks);
  if (action == "chop") return Chop(path, peaks, parsed.flags.count("keep-original") != 0, context);
  if (action == "find-silence") return FindSilence(path, peaks, parsed, context);
  return std::nullopt;
}

}  // namespace ztlive::cli
