#include "analysis/spectrum_analyzer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "filters/framework/analysis_windows.h"

namespace ztlive {

namespace {

constexpr int kLargestLength = 4096;
constexpr double kFullScale = kSampleMax;

}  // namespace

SpectrumAnalyzer::SpectrumAnalyzer()
    : m_samples(2 * kLargestLength + 1, 0.0),
      m_window(kLargestLength, 0.0),
      m_spectrum(kLargestLength, 0.0),
      m_power(kLargestLength, 0.0),
      m_levels(kLargestLength, kEmptyLevelDb) {
  SetBand(kDefaultBand);
}

void SpectrumAnalyzer::SetBand(int band) {
  if (band < 0 || band >= static_cast<int>(kBandTable.size())) band = kDefaultBand;
  m_n = kBandTable[static_cast<size_t>(band)];
  BlackmanWindow(m_n, m_window.data());
  m_fft.Init(m_n);
  std::fill(m_spectrum.begin(), m_spectrum.end(), 0.0);
  m_collected = 0;
  m_frameCounter = 1;
  ResetPoints();
}

void SpectrumAnalyzer::SetResolution(int selection) {
  m_decimation = 1 << std::clamp(selection, 0, kResolutionChoices - 1);
  m_collected = 0;
}

void SpectrumAnalyzer::SetResponse(SpectrumResponse response) {
  m_response = response;
  m_decay = response == SpectrumResponse::kFast ? 0.0 : response == SpectrumResponse::kSlow ? 0.9 : 0.99;
  m_pointShift = response == SpectrumResponse::kFast ? 1 : 0;
  m_frameCounter = 1;
  std::fill(m_spectrum.begin(), m_spectrum.end(), 0.0);
  ResetPoints();
}

void SpectrumAnalyzer::SetHold(bool hold) {
  m_hold = hold;
  m_frameCounter = 1;
  std::fill(m_spectrum.begin(), m_spectrum.end(), 0.0);
}

void SpectrumAnalyzer::SetSource(int sampleRate, int channels) {
  if (sampleRate > 0) m_sampleRate = sampleRate;
  if (channels > 0) m_channels = channels;
}

double SpectrumAnalyzer::PointSpacing() const { return m_sampleRate / (double(m_n) * m_decimation * 2.0); }

void SpectrumAnalyzer::ResetPoints() {
  std::fill(m_levels.begin(), m_levels.end(), kEmptyLevelDb);
  m_peak = -1;
  m_hasThd = false;
}

bool SpectrumAnalyzer::Analyze(const SampleValue* values, int valueCount) {
  if (m_hold || valueCount <= 0) return false;
  const int channels = m_channels >= 2 ? 2 : 1;
  const int stride = m_channels >= 2 ? m_channels : 1;
  const int frames = valueCount / stride;
  for (int f = 0; f < frames && m_collected < m_n; f += m_decimation) {
    const SampleValue* frame = values + static_cast<ptrdiff_t>(f) * stride;
    const double value = channels == 2 ? (double(frame[0]) + frame[1]) * 0.5 : double(frame[0]);
    m_samples[static_cast<size_t>(m_collected)] = value * m_window[static_cast<size_t>(m_collected)];
    ++m_collected;
  }
  if (m_collected < m_n) return false;
  m_collected = 0;  // the rest of the block is not used
  m_samples[static_cast<size_t>(m_n)] = 0.0;  // the last point pairs with nothing
  m_fft.Forward(m_samples.data());
  ++m_transforms;
  if (m_response == SpectrumResponse::kFast) {
    if (++m_frameCounter <= 2) return false;  // every second transform is shown
    m_frameCounter = 1;
  }
  ShowTransform();
  return true;
}

void SpectrumAnalyzer::ShowTransform() {
  const double scale = 1.0 / (m_n * kFullScale * 0.25);
  const double* s = m_samples.data();
  m_hasThd = false;
  for (int i = 0; i < m_n; ++i) {
    const double m = std::sqrt(s[i] * s[i] + s[i + 1] * s[i + 1]) * scale;
    auto& point = m_spectrum[static_cast<size_t>(i)];
    double shown = 0.0;
    switch (m_response) {
      case SpectrumResponse::kFast: {
        const double v = m + 1e-64;
        m_power[static_cast<size_t>(i)] = v * v;
        shown = v;
        break;
      }
      case SpectrumResponse::kSlow: {
        const double v = m + 1e-6;
        point = v > point ? v : point * m_decay;
        shown = point;
        break;
      }
      case SpectrumResponse::kAveraging:
        point += m + 1e-6;
        shown = point / m_frameCounter;
        break;
    }
    m_levels[static_cast<size_t>(i)] = 20.0 * std::log10(shown);
  }
  if (m_response == SpectrumResponse::kAveraging) ++m_frameCounter;
  m_peak = -1;
  if (!m_showPeak) return;
  int peak = 0;
  for (int i = 1; i < m_n - 1; ++i)
    if (m_levels[static_cast<size_t>(i)] >= m_levels[static_cast<size_t>(peak)]) peak = i;
  m_peak = peak;
  if (m_showThd && m_response == SpectrumResponse::kFast) {
    m_thd = ThdOf(m_power.data(), m_n, peak);
    m_hasThd = true;
  }
}

double SpectrumAnalyzer::ThdOf(const double* power, int points, int peak) {
  const int h = std::max(points / 200, 8);
  double total = 0.0;
  for (int i = 0; i < points - 2; ++i) total += power[i];
  double tone = 0.0;
  for (int i = std::max(0, peak - h); i < std::min(points, peak + h); ++i) tone += power[i];
  if (tone <= 0.0) return 0.0;
  return std::sqrt(std::max(0.0, total - tone)) * 100.0 / std::sqrt(tone);
}

std::string SpectrumAnalyzer::ResolutionLabel(int sampleRate, int n, int selection) {
  char text[32];
  std::snprintf(text, sizeof text, "%6.2fHz", sampleRate / (double(1 << selection) * n * 2.0));
  return text;
}

}  // namespace ztlive
