// What `ztlive-cli analyze` reports about a stretch of a wave file: per channel the peak and
// RMS level, the DC offset and the clipped samples; the strongest spectral lines and the
// distortion of the strongest tone, from the spectrum analyzer's own maths averaged over the
// stretch.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/spectrum_analyzer.h"
#include "core/sample_value.h"

namespace ztlive {

struct ChannelLevels {
  double peakDbfs = -1e9;  // -inf for silence is reported as the lowest finite value
  double rmsDbfs = -1e9;
  double dc = 0.0;         // the mean value as a share of full scale
  int64_t clipped = 0;     // samples at the largest or smallest value of the file's width
};

struct SpectralPeak {
  double hz;
  double dbfs;  // the level of a sine at that frequency, full scale 0
};

struct SignalReport {
  std::vector<ChannelLevels> channels;
  std::vector<SpectralPeak> peaks;  // strongest first
  double thdPercent = 0.0;
  bool hasThd = false;
  int64_t frames = 0;
};

// Accumulates interleaved blocks of one format; Finish turns the sums into the report.
class SignalReportBuilder {
 public:
  static constexpr int kMaxPeaks = 5;
  static constexpr double kPeakFloorDbfs = -100.0;

  SignalReportBuilder(int channels, int sampleRate, int bitsPerSample);
  void Add(const SampleValue* values, int valueCount);
  SignalReport Finish() const;

 private:
  struct Sums {
    int64_t peak = 0;
    double squares = 0.0;
    double sum = 0.0;
    int64_t clipped = 0;
  };
  int m_channels;
  SampleValue m_clipHigh;
  std::vector<Sums> m_sums;
  int64_t m_frames = 0;
  SpectrumAnalyzer m_analyzer;
};

enum class ReportReadResult { kRead, kCannotOpen, kCannotRead };

// Reads frames [fromFrame, toFrame) of a wave file (toFrame 0: to the end) into a report.
ReportReadResult BuildSignalReport(const std::string& path, uint64_t fromFrame, uint64_t toFrame,
                                   SignalReport& report);

}  // namespace ztlive
