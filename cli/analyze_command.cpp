#include "cli/analyze_command.h"

#include <string>

#include "cli/region_options.h"
#include "document/file_checks.h"
#include "filters/analysis/hum_estimator.h"
#include "filters/analysis/mono_region.h"
#include "filters/restoration/harmonic_reject_filter.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr std::string_view kArguments = "--hum FILE.wav [--from S] [--to S] [--json]";

int RunAnalyze(const std::vector<std::string>& args, CommandContext& context) {
  const ParsedArguments parsed =
      ParseArguments(args, {{"hum"}, {"json"}, {"from", true}, {"to", true}}, "analyze");
  if (!parsed.error.empty() || parsed.positional.size() != 1 || !parsed.Has("hum")) {
    PrintError(context, parsed.error.empty()
                            ? FormatText(StringId::kCliWrongArguments, {"ztlive-cli analyze " + std::string(kArguments)})
                            : parsed.error);
    return kExitUsage;
  }
  const std::string& path = parsed.positional[0];
  if (const std::string problem = DescribeInputProblem(path); !problem.empty()) {
    PrintError(context, problem);
    return kExitFailure;
  }
  WaveInfo info;
  Region region;
  if (!ProbeWaveInfo(path, info) || info.blockAlign == 0 || info.sampleRate == 0) {
    PrintError(context, FormatText(StringId::kAnalyzeCannotRead, {path}));
    return kExitFailure;
  }
  if (!ReadRegion(parsed, info, region, context)) return kExitUsage;
  MonoRegion samples;
  if (ReadMonoRegion(path, region.from, region.to, kHumMaximumSeconds, samples) != RegionReadResult::kRead) {
    PrintError(context, FormatText(StringId::kAnalyzeCannotRead, {path}));
    return kExitFailure;
  }
  if (double(samples.samples.size()) < kHumMinimumSeconds * samples.sampleRate) {
    PrintError(context, FormatText(StringId::kHumStretchTooShort, {std::to_string(int(kHumMinimumSeconds))}));
    return kExitFailure;
  }
  const std::optional<HumEstimate> hum = EstimateHumFundamental(samples.samples, samples.sampleRate);
  if (parsed.Has("json")) {
    if (hum)
      std::fprintf(context.out, "{\"hum_hz\": %.4f, \"hum_harmonics\": %d}\n", hum->fundamental, hum->harmonics);
    else
      std::fprintf(context.out, "{\"hum_hz\": null, \"hum_harmonics\": 0}\n");
  } else if (hum) {
    PresetValues values;
    HarmonicRejectProcessor::SetFundamental(hum->fundamental, values);
    char hertz[32];
    std::snprintf(hertz, sizeof hertz, "%.3f", hum->fundamental);
    std::fprintf(context.out, "%s\n",
                 FormatText(StringId::kHumFound, {hertz, std::to_string(hum->harmonics), std::to_string(values.p[0]),
                                                  std::to_string(values.p[7])})
                     .c_str());
  } else {
    std::fprintf(context.out, "%s\n", std::string(StringText(StringId::kHumNotFound)).c_str());
  }
  return kExitOk;
}

}  // namespace

const Command kAnalyzeCommand{"analyze", kArguments,
                              "find the mains fundamental of hum or buzz in a file (or a part of it)", RunAnalyze};

}  // namespace ztlive::cli
