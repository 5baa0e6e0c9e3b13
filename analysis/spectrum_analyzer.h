// The spectrum analyzer's maths: collects (optionally decimated) played samples until it has
// one transform length, windows them with the Blackman window, transforms them and turns the
// halfcomplex output into display points at half-bin spacing, decayed or averaged by the
// response mode, with the peak point and a distortion figure. Every buffer is allocated in the
// constructor; a band change only rebuilds the window and the transform's work record.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/sample_value.h"
#include "filters/framework/real_fft.h"

namespace ztlive {

enum class SpectrumResponse { kFast = 0, kSlow = 1, kAveraging = 2 };

class SpectrumAnalyzer {
 public:
  static constexpr std::array<int, 7> kBandTable{64, 128, 256, 512, 1024, 2048, 4096};
  static constexpr int kDefaultBand = 4;  // 1024 points
  static constexpr int kResolutionChoices = 6;
  static constexpr double kEmptyLevelDb = -100.0;

  SpectrumAnalyzer();

  // Transform length N = kBandTable[band] (an out-of-range band gives the default). Clears the
  // spectrum and the partly collected samples.
  void SetBand(int band);
  // Every 2^selection-th frame is used (selection 0 ... 5).
  void SetResolution(int selection);
  void SetResponse(SpectrumResponse response);
  void SetHold(bool hold);
  void SetShowPeak(bool show) { m_showPeak = show; if (!show) m_peak = -1; }
  void SetShowThd(bool show) { m_showThd = show; }
  // What the played values are: taken from the file being shown, not from the device.
  void SetSource(int sampleRate, int channels);

  // Consumes one played block of interleaved values (valueCount values). True when a new
  // display is ready (a transform was shown).
  bool Analyze(const SampleValue* values, int valueCount);

  int Length() const { return m_n; }
  int Decimation() const { return m_decimation; }
  int SampleRate() const { return m_sampleRate; }
  SpectrumResponse Response() const { return m_response; }
  double DecayFactor() const { return m_decay; }
  bool Hold() const { return m_hold; }
  bool ShowPeak() const { return m_showPeak; }
  bool ShowThd() const { return m_showThd; }
  // Width of one display step in Hz: sample rate / (N x decimation x 2).
  double PointSpacing() const;
  // The highest frequency shown: sample rate / (2 x decimation).
  double TopFrequency() const { return m_sampleRate / (2.0 * m_decimation); }
  // The shown level of point i in dB, and where it is drawn.
  double LevelDb(int i) const { return m_levels[static_cast<size_t>(i)]; }
  double PointFrequency(int i) const { return (i + m_pointShift) * PointSpacing(); }
  // The marked point, -1 when none.
  int PeakPoint() const { return m_peak; }
  // True after a shown Fast transform with THD and peak both on.
  bool HasThd() const { return m_hasThd; }
  double ThdPercent() const { return m_thd; }
  // Number of transforms taken so far (any mode); lets callers see progress.
  long Transforms() const { return m_transforms; }

  // "%6.2fHz" of sample rate / (2^selection x N x 2).
  static std::string ResolutionLabel(int sampleRate, int n, int selection);
  // Distortion of the tone at peak point p, in percent: the root of the power outside the
  // tone's main lobe over the root of the power inside it. power[i] is the squared magnitude
  // of display point i; the lobe is p - h ... p + h - 1 with h = max(N / 200, 8) points.
  static double ThdOf(const double* power, int points, int peak);

 private:
  void ResetPoints();
  void ShowTransform();

  int m_n = 1024;
  int m_sampleRate = 44100;
  int m_channels = 1;
  int m_decimation = 1;
  int m_collected = 0;
  int m_frameCounter = 1;
  int m_pointShift = 1;  // Fast draws point i at (i + 1) x spacing
  double m_decay = 1.0;
  SpectrumResponse m_response = SpectrumResponse::kFast;
  bool m_hold = false;
  bool m_showPeak = false;
  bool m_showThd = false;
  bool m_hasThd = false;
  double m_thd = 0.0;
  int m_peak = -1;
  long m_transforms = 0;
  std::vector<double> m_samples;   // room for 2 x the largest N plus the pair's next element
  std::vector<double> m_window;
  std::vector<double> m_spectrum;  // decayed or summed magnitudes
  std::vector<double> m_power;     // Fast mode: v squared per point, for the distortion figure
  std::vector<double> m_levels;    // the shown levels in dB
  RealFft m_fft;
};

}  // namespace ztlive
