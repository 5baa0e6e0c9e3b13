#include "cli/demo_command.h"

#include <cstdio>

#include "cli/filter_names.h"
#include "cli/filter_session.h"
#include "cli/interrupts.h"
#include "cli/noise_print_holder.h"
#include "core/peak_file.h"
#include "document/demo_recording.h"
#include "platform/file_ops.h"
#include "platform/folders.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr std::string_view kArguments = "[FOLDER]";

std::string Decibels(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

PresetValues Values(std::initializer_list<int32_t> list) {
  PresetValues values;
  size_t i = 0;
  for (const int32_t v : list) values.p[i++] = v;
  return values;
}

struct Step {
  FilterTypeId type;
  PresetValues values;
  const char* what;
};

int RunDemo(const std::vector<std::string>& args, CommandContext& context) {
  const ParsedArguments parsed = ParseArguments(args, {}, "demo");
  if (!parsed.error.empty()) {
    PrintError(context, parsed.error);
    return kExitUsage;
  }
  if (parsed.positional.size() > 1) {
    PrintError(context, FormatText(StringId::kCliWrongArguments, {"ztlive-cli demo " + std::string(kArguments)}));
    return kExitUsage;
  }
  const std::string folder = parsed.positional.empty() ? "ztlive-demo" : parsed.positional[0];
  if (const int error = EnsureFolder(folder); error != 0) {
    PrintError(context, FormatText(StringId::kRangeWriteError, {folder}));
    return kExitFailure;
  }
  const InterruptGuard interrupts;
  FilterSession session(context, false);
  RunState& run = session.State();
  const DemoRecordingInfo info;
  const std::string recording = JoinPath(folder, "demo-recording.wav");
  if (!WriteDemoRecording(recording, info, run, context.prompts)) return kExitFailure;
  std::fprintf(context.out, "%s\n",
               FormatText(StringId::kCliDemoWritten, {recording, Decibels(info.seconds), Decibels(info.humHz)}).c_str());

  // The crackle first, then the hum's two notches, then the hiss, with a noise print sampled
  // from the lead-in before the music.
  const Step steps[] = {
      {15, Values({2000, 7, 0, 0, 1, 1}), "impulse filter, 78's mode with prediction (crackle)"},
      {13, Values({0, 50, 8, 0}), "notch at 50 Hz (hum)"},
      {13, Values({0, 100, 8, 0}), "notch at 100 Hz (hum's harmonic)"},
      {8, Values({20, 100, 100, 3}), "continuous noise filter, print sampled from the lead-in (hiss)"},
  };
  std::string source = recording;
  const std::string restored = JoinPath(folder, "demo-restored.wav");
  int index = 0;
  for (const Step& step : steps) {
    const bool last = ++index == static_cast<int>(std::size(steps));
    const std::string destination = last ? restored : JoinPath(folder, "demo-step" + std::to_string(index) + ".wav");
    DeleteFile(destination);  // each step writes a fresh file
    FilterJob job;
    job.source = source;
    job.destination = destination;
    job.type = step.type;
    job.values = step.values;
    NoisePrintHolder noisePrint;
    noisePrint.SetSampleRate(info.sampleRate);
    const FilterDescriptor& descriptor = *FindFilterDescriptor(step.type);
    if (descriptor.traits.takesExtraParams) {  // the continuous noise filter samples its print first
      FilterJob sampling;
      sampling.source = source;
      sampling.type = 9;
      sampling.values.p[0] = int32_t{1} << (step.values.p[3] + 8);
      const uint32_t frameBytes = 4;
      sampling.region = {static_cast<uint32_t>(0.05 * info.sampleRate) * frameBytes,
                         static_cast<uint32_t>(0.9 * info.leadInSeconds * info.sampleRate) * frameBytes};
      if (session.Run(sampling, &noisePrint) != 1 || session.Interrupted()) return kExitFailure;
    }
    if (session.Run(job, &noisePrint) != 1 || session.Interrupted()) return kExitFailure;
    std::string what = step.what;
    if (descriptor.traits.countsClicks) what += ", " + std::to_string(session.State().clickCount) + " repairs";
    std::fprintf(context.out, "%s\n", FormatText(StringId::kCliDemoStep, {FilterCommandName(descriptor), what}).c_str());
    if (source != recording) {
      DeleteFile(source);
      DeleteFile(PeakFile::PeakFileName(source));
    }
    source = destination;
  }
  const std::string hum = Decibels(info.humHz);
  std::fprintf(context.out, "%s\n",
               FormatText(StringId::kCliDemoResult,
                          {restored, hum, Decibels(ToneLevelDbfs(recording, info.humHz, run)),
                           Decibels(ToneLevelDbfs(restored, info.humHz, run)),
                           Decibels(BandLevelAboveDbfs(recording, 9000, run)),
                           Decibels(BandLevelAboveDbfs(restored, 9000, run))})
                   .c_str());
  return kExitOk;
}

}  // namespace

const Command kDemoCommand{"demo", kArguments,
                           "writes a demo recording with hum and hiss into FOLDER (default ztlive-demo) and restores it",
                           RunDemo};

}  // namespace ztlive::cli
