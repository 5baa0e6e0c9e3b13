#include "analysis/signal_report.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/run_state.h"
#include "core/wave_stream.h"

namespace ztlive {

namespace {

constexpr int kReportBand = 6;  // 4096 points
// A full-scale sine's display magnitude: the window's coherent gain 0.42 times 2.
constexpr double kToneGain = 0.84;
constexpr int kPieceValues = 16384;

double Decibels(double share) { return share > 0.0 ? 20.0 * std::log10(share) : -1e9; }

}  // namespace

SignalReportBuilder::SignalReportBuilder(int channels, int sampleRate, int bitsPerSample)
    : m_channels(std::max(1, channels)), m_sums(static_cast<size_t>(std::max(1, channels))) {
  // A narrower file's largest value arrives shifted into the 24-bit scale.
  const int bits = std::clamp(bitsPerSample, 8, 24);
  m_clipHigh = kSampleMax & ~((SampleValue{1} << (24 - bits)) - 1);
  m_analyzer.SetBand(kReportBand);
  m_analyzer.SetSource(sampleRate, m_channels);
  m_analyzer.SetResponse(SpectrumResponse::kAveraging);
  m_analyzer.SetShowPeak(true);
}

void SignalReportBuilder::Add(const SampleValue* values, int valueCount) {
  const int frames = valueCount / m_channels;
  for (int f = 0; f < frames; ++f)
    for (int c = 0; c < m_channels; ++c) {
      const SampleValue v = values[f * m_channels + c];
      Sums& sums = m_sums[static_cast<size_t>(c)];
      sums.peak = std::max<int64_t>(sums.peak, std::abs(int64_t{v}));
      sums.squares += double(v) * v;
      sums.sum += v;
      if (v >= m_clipHigh || v <= kSampleMin) ++sums.clipped;
    }
  m_frames += frames;
  m_analyzer.Analyze(values, frames * m_channels);
}

SignalReport SignalReportBuilder::Finish() const {
  SignalReport report;
  report.frames = m_frames;
  const double full = kSampleMax;
  for (const Sums& sums : m_sums) {
    ChannelLevels levels;
    levels.peakDbfs = Decibels(std::min(1.0, sums.peak / full));
    if (m_frames > 0) {
      levels.rmsDbfs = Decibels(std::sqrt(sums.squares / double(m_frames)) / full);
      levels.dc = sums.sum / double(m_frames) / full;
    }
    levels.clipped = sums.clipped;
    report.channels.push_back(levels);
  }
  if (m_analyzer.Transforms() == 0) return report;
  const int n = m_analyzer.Length();
  // Odd points are whole bins; a line is a bin above its two neighbours on each side.
  std::vector<double> power(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) power[static_cast<size_t>(i)] = std::pow(10.0, m_analyzer.LevelDb(i) / 10.0);
  std::vector<SpectralPeak> lines;
  for (int i = 5; i + 4 < n - 1; i += 2) {
    const double level = m_analyzer.LevelDb(i);
    bool highest = true;
    for (int d = -4; d <= 4 && highest; d += 2) highest = d == 0 || level > m_analyzer.LevelDb(i + d);
    if (!highest) continue;
    // Point i is bin (i + 1) / 2; a parabola through the bin and its neighbours (in dB) finds
    // the tone between bins and its level at the top.
    const double before = m_analyzer.LevelDb(i - 2), after = m_analyzer.LevelDb(i + 2);
    const double curve = before - 2 * level + after;
    const double shift = curve < 0 ? std::clamp(0.5 * (before - after) / curve, -0.5, 0.5) : 0.0;
    const double top = level - 0.25 * (before - after) * shift;
    const double dbfs = top - Decibels(kToneGain);
    const double binHz = m_analyzer.SampleRate() / double(n * m_analyzer.Decimation());
    if (dbfs > kPeakFloorDbfs) lines.push_back({((i + 1) / 2 + shift) * binHz, dbfs});
  }
  std::sort(lines.begin(), lines.end(), [](const SpectralPeak& a, const SpectralPeak& b) { return a.dbfs > b.dbfs; });
  if (lines.size() > static_cast<size_t>(kMaxPeaks)) lines.resize(kMaxPeaks);
  report.peaks = lines;
  if (!lines.empty() && m_analyzer.PeakPoint() >= 0) {
    report.thdPercent = SpectrumAnalyzer::ThdOf(power.data(), n, m_analyzer.PeakPoint());
    report.hasThd = true;
  }
  return report;
}

ReportReadResult BuildSignalReport(const std::string& path, uint64_t fromFrame, uint64_t toFrame,
                                   SignalReport& report) {
  RunState run;
  WaveStream stream(kPieceValues, 0, run);
  if (stream.Open(path, kOpenRead) != kStreamOk) return ReportReadResult::kCannotOpen;
  const WaveFormat& format = stream.Format();
  const int channels = std::max<int>(1, format.channels);
  const uint64_t frameBytes = format.blockAlign;
  if (frameBytes == 0) return ReportReadResult::kCannotRead;
  const uint64_t frames = stream.DataBytes() / frameBytes;
  const uint64_t first = std::min(fromFrame, frames);
  const uint64_t last = toFrame == 0 ? frames : std::clamp(toFrame, first, frames);
  SignalReportBuilder builder(channels, static_cast<int>(format.sampleRate), format.bitsPerSample);
  const int pieceFrames = kPieceValues / channels;
  for (uint64_t at = first; at < last;) {
    const auto want = static_cast<int>(std::min<uint64_t>(static_cast<uint64_t>(pieceFrames), last - at));
    const int values = want * channels;
    if (stream.SeekData(static_cast<int64_t>(at * frameBytes), 0) < 0 || stream.ReadValues(values) != static_cast<int64_t>(values) * stream.BytesPerSample())
      return ReportReadResult::kCannotRead;
    builder.Add(stream.Begin(), values);
    at += static_cast<uint64_t>(want);
  }
  report = builder.Finish();
  return ReportReadResult::kRead;
}

}  // namespace ztlive
