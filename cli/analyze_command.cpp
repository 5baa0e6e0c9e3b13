#include "cli/analyze_command.h"

#include <cmath>
#include <string>

#include "analysis/signal_report.h"
#include "cli/region_options.h"
#include "document/file_checks.h"
#include "filters/analysis/hum_estimator.h"
#include "filters/analysis/mono_region.h"
#include "filters/restoration/harmonic_reject_filter.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr std::string_view kArguments = "[--hum] FILE.wav [--from S] [--to S] [--json]";

std::string Fixed(double value, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// A level in dB with silence (no finite level) as -inf in the text and null in JSON.
std::string Level(double dbfs, bool json) {
  if (dbfs < -900) return json ? "null" : "-inf";
  return Fixed(dbfs, 2);
}

// The mains fundamental of the stretch's first 20 seconds, when it has at least one second.
std::optional<HumEstimate> FindHum(const std::string& path, const Region& region) {
  MonoRegion samples;
  if (ReadMonoRegion(path, region.from, region.to, kHumMaximumSeconds, samples) != RegionReadResult::kRead)
    return std::nullopt;
  if (double(samples.samples.size()) < kHumMinimumSeconds * samples.sampleRate) return std::nullopt;
  return EstimateHumFundamental(samples.samples, samples.sampleRate);
}

void PrintJson(const SignalReport& report, const std::optional<HumEstimate>& hum, CommandContext& context) {
  std::string out = "{\"channels\": [";
  for (size_t c = 0; c < report.channels.size(); ++c) {
    const ChannelLevels& levels = report.channels[c];
    out += (c == 0 ? "" : ", ");
    out += "{\"peak_dbfs\": " + Level(levels.peakDbfs, true) + ", \"rms_dbfs\": " + Level(levels.rmsDbfs, true) +
           ", \"dc\": " + Fixed(levels.dc, 6) + ", \"clipped\": " + std::to_string(levels.clipped) + "}";
  }
  out += "], \"peaks\": [";
  for (size_t p = 0; p < report.peaks.size(); ++p)
    out += (p == 0 ? "" : ", ") + std::string("{\"hz\": ") + Fixed(report.peaks[p].hz, 2) +
           ", \"dbfs\": " + Fixed(report.peaks[p].dbfs, 2) + "}";
  out += "], \"thd_percent\": " + (report.hasThd ? Fixed(report.thdPercent, 4) : std::string("null"));
  out += ", \"hum_hz\": " + (hum ? Fixed(hum->fundamental, 4) : std::string("null"));
  out += ", \"frames\": " + std::to_string(report.frames) + "}";
  std::fprintf(context.out, "%s\n", out.c_str());
}

void PrintText(const std::string& path, const WaveInfo& info, double from, const SignalReport& report,
               const std::optional<HumEstimate>& hum, CommandContext& context) {
  const auto line = [&](StringId id, std::initializer_list<std::string_view> values) {
    std::fprintf(context.out, "%s\n", FormatText(id, values).c_str());
  };
  line(StringId::kAnalyzeStretch, {path, std::to_string(info.channels), std::to_string(info.sampleRate), ClockText(from),
                                   ClockText(from + double(report.frames) / info.sampleRate)});
  for (size_t c = 0; c < report.channels.size(); ++c) {
    const ChannelLevels& levels = report.channels[c];
    line(StringId::kAnalyzeChannelLine, {std::to_string(c + 1), Level(levels.peakDbfs, false),
                                         Level(levels.rmsDbfs, false), Fixed(levels.dc, 6), std::to_string(levels.clipped)});
  }
  if (report.peaks.empty()) std::fprintf(context.out, "%s\n", std::string(StringText(StringId::kAnalyzeNoPeaks)).c_str());
  for (size_t p = 0; p < report.peaks.size(); ++p)
    line(StringId::kAnalyzePeakLine, {std::to_string(p + 1), Fixed(report.peaks[p].hz, 2), Fixed(report.peaks[p].dbfs, 2)});
  if (report.hasThd)
    line(StringId::kAnalyzeThdLine, {Fixed(report.thdPercent, 4)});
  else
    std::fprintf(context.out, "%s\n", std::string(StringText(StringId::kAnalyzeNoThd)).c_str());
  if (hum)
    line(StringId::kAnalyzeHumLine, {Fixed(hum->fundamental, 3)});
  else
    std::fprintf(context.out, "%s\n", std::string(StringText(StringId::kAnalyzeNoHum)).c_str());
}

// The full report: levels, offset, clipping, spectral lines, distortion and hum.
int ReportLevels(const std::string& path, const WaveInfo& info, const Region& region, bool json,
                 CommandContext& context) {
  const uint64_t fromFrame = region.from / info.blockAlign;
  const uint64_t toFrame = region.to / info.blockAlign;
  SignalReport report;
  if (BuildSignalReport(path, fromFrame, toFrame, report) != ReportReadResult::kRead) {
    PrintError(context, FormatText(StringId::kAnalyzeCannotRead, {path}));
    return kExitFailure;
  }
  const double from = double(fromFrame) / info.sampleRate;
  const std::optional<HumEstimate> hum = FindHum(path, region);
  if (json)
    PrintJson(report, hum, context);
  else
    PrintText(path, info, from, report, hum, context);
  return kExitOk;
}

int RunAnalyze(const std::vector<std::string>& args, CommandContext& context) {
  const ParsedArguments parsed =
      ParseArguments(args, {{"hum"}, {"json"}, {"from", true}, {"to", true}}, "analyze");
  if (!parsed.error.empty() || parsed.positional.size() != 1) {
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
  if (!parsed.Has("hum")) return ReportLevels(path, info, region, parsed.Has("json"), context);
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
                              "levels, DC offset, clipping, spectral peaks, THD and mains hum of a file (or a part); --hum: the hum alone", RunAnalyze};

}  // namespace ztlive::cli
