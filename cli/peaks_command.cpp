#include "cli/peaks_command.h"

#include <cmath>
#include <cstdlib>

#include "cli/marker_actions.h"
#include "core/peak_file.h"
#include "core/run_state.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr std::string_view kPeaksArguments = "FILE.wav";
constexpr std::string_view kMarkersArguments =
    "FILE.wav [list | add OFFSET | remove N|all | quantize-cd | chop [--keep-original] |\n"
    "      find-silence [--threshold DB] [--length TENTHS]]";

bool ParseCount(const std::string& text, uint64_t& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 10) return false;
  value = std::strtoull(text.c_str(), nullptr, 10);
  return value <= 0xFFFFFFFFull;
}

int Usage(CommandContext& context, std::string_view name, std::string_view arguments) {
  PrintError(context, FormatText(StringId::kCliWrongArguments, {"ztlive-cli " + std::string(name) + " " + std::string(arguments)}));
  return kExitUsage;
}

// A wave file named like a peak file would be its own peak file: refused before anything opens.
bool RefusePeakFileName(const std::string& wavePath, CommandContext& context) {
  if (!IsPeakFileName(wavePath)) return false;
  PrintError(context, FormatText(StringId::kPeakFileNameForWave, {wavePath}));
  return true;
}

int RunPeaks(const std::vector<std::string>& args, CommandContext& context) {
  const ParsedArguments parsed = ParseArguments(args, {}, "peaks");
  if (!parsed.error.empty()) {
    PrintError(context, parsed.error);
    return kExitUsage;
  }
  if (parsed.positional.size() != 1) return Usage(context, "peaks", kPeaksArguments);
  if (RefusePeakFileName(parsed.positional[0], context)) return kExitFailure;
  RunState run;
  PeakFile peaks(parsed.positional[0], run, context.prompts);
  // Every failure has been reported by the build itself.
  if (peaks.Build(0, 0) != 0) return kExitFailure;
  const int largest = peaks.LargestPeak();
  const double dbfs = largest > 0 ? 20.0 * std::log10(largest / 32768.0) : -INFINITY;
  std::fprintf(context.out, "Peak file:    %s\nLargest peak: %d (%.2f dBFS)\n", peaks.PeakPath().c_str(), largest, dbfs);
  return kExitOk;
}

void ListMarkers(const PeakFile& peaks, CommandContext& context) {
  for (int i = 0; i < peaks.MarkerCount(); ++i)
    std::fprintf(context.out, "%d: %u %s\n", i, peaks.MarkerPosition(i), peaks.Markers()[static_cast<size_t>(i)].label.c_str());
}

int RunMarkers(const std::vector<std::string>& args, CommandContext& context) {
  const ParsedArguments parsed = ParseArguments(args, kMarkerActionOptions, "markers");
  if (!parsed.error.empty()) {
    PrintError(context, parsed.error);
    return kExitUsage;
  }
  const std::vector<std::string>& words = parsed.positional;
  if (words.empty() || words.size() > 3) return Usage(context, "markers", kMarkersArguments);
  const std::string action = words.size() > 1 ? words[1] : "list";
  // Each option belongs to one action.
  if ((parsed.Has("keep-original") && action != "chop") ||
      ((parsed.Has("threshold") || parsed.Has("length")) && action != "find-silence"))
    return Usage(context, "markers", kMarkersArguments);
  if (RefusePeakFileName(words[0], context)) return kExitFailure;
  RunState run;
  PeakFile peaks(words[0], run, context.prompts);
  if (words.size() == 2) {
    if (const std::optional<int> code = RunMarkerAction(action, words[0], peaks, parsed, context)) {
      // After a chop the pieces have been named; otherwise the markers as they are now.
      if (*code == kExitOk && action != "chop") ListMarkers(peaks, context);
      return *code;
    }
  }
  if (action == "list" && words.size() <= 2) {
    ListMarkers(peaks, context);
    return kExitOk;
  }
  if (words.size() != 3) return Usage(context, "markers", kMarkersArguments);
  uint64_t number = 0;
  if (action == "add") {
    if (!ParseCount(words[2], number)) {
      PrintError(context, FormatText(StringId::kCliNotAnOffset, {words[2]}));
      return kExitUsage;
    }
    if (peaks.AddMarker(static_cast<uint32_t>(number)) != 1) {
      PrintError(context, StringText(StringId::kCliTooManyMarkers));
      return kExitFailure;
    }
  } else if (action == "remove") {
    if (words[2] == "all") {
      peaks.RemoveMarker(-1);
    } else if (!ParseCount(words[2], number) || number >= static_cast<uint64_t>(peaks.MarkerCount())) {
      PrintError(context, FormatText(StringId::kCliNoSuchMarker, {words[2]}));
      return kExitFailure;
    } else {
      peaks.RemoveMarker(static_cast<int>(number));
    }
  } else {
    return Usage(context, "markers", kMarkersArguments);
  }
  // The save reported why it failed; the markers are listed only once they are kept.
  if (peaks.SaveFailed()) return kExitFailure;
  ListMarkers(peaks, context);
  return kExitOk;
}

}  // namespace

const Command kPeaksCommand{"peaks", kPeaksArguments, "build or rebuild the peak file and show the largest peak",
                            RunPeaks};
const Command kMarkersCommand{
    "markers", kMarkersArguments,
    "list, add or remove the markers kept in the peak file; quantize-cd moves each down to a CD\n"
    "      sector (setting ZANTO / CDBlockSize), chop splits the file at them into numbered files\n"
    "      (the original is cut into the first unless --keep-original), find-silence marks silent\n"
    "      passages (threshold in dB, minimum length in tenths of a second; starting values and\n"
    "      kept from setting MarkSilence / Thresh, Length)",
    RunMarkers};

}  // namespace ztlive::cli
