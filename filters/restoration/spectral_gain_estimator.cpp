#include "filters/restoration/spectral_gain_estimator.h"

#include <algorithm>
#include <cmath>

namespace ztlive {

namespace {

// The least a-priori ratio the estimate may reach (-25 dB): below it the gain follows the floor.
constexpr double kLeastPrioriRatio = 0.0031622776601683794;

}  // namespace

double ExponentialIntegral(double v) {
  v = std::max(v, 1e-12);
  if (v < 1.0) {
    // -gamma - ln v + v - v^2/4 + v^3/18 - v^4/96 + v^5/600
    return -0.5772156649015329 - std::log(v) + v * (1 - v * (0.25 - v * (1.0 / 18 - v * (1.0 / 96 - v / 600))));
  }
  const double numerator = v * v + 2.334733 * v + 0.250621;
  const double denominator = v * v + 3.330657 * v + 1.681534;
  return std::exp(-v) / v * numerator / denominator;
}

SpectralGainEstimator::SpectralGainEstimator(int32_t maxBins) {
  m_gamma.reserve(static_cast<size_t>(maxBins) + 1);
  m_previous.reserve(static_cast<size_t>(maxBins) + 1);
}

void SpectralGainEstimator::Configure(int32_t bins, double memory, double floor, Rule rule, double noiseScale) {
  if (bins != m_bins) {
    m_bins = bins;
    m_gamma.assign(static_cast<size_t>(bins) + 1, 0.0);
    m_previous.assign(static_cast<size_t>(bins) + 1, 0.0);
    m_first = true;
  }
  m_memory = std::clamp(memory, 0.0, 0.999);
  m_floor = std::clamp(floor, 0.0, 1.0);
  m_rule = rule;
  m_noiseScale = noiseScale;
}

void SpectralGainEstimator::Reset() {
  std::fill(m_previous.begin(), m_previous.end(), 0.0);
  m_first = true;
}

double SpectralGainEstimator::Gain(double xi, double gamma) const {
  const double wiener = xi / (1 + xi);
  if (m_rule == Rule::Wiener) return wiener;
  const double v = wiener * gamma;
  return std::min(1.0, wiener * std::exp(0.5 * ExponentialIntegral(v)));
}

void SpectralGainEstimator::Apply(double* frame, const double* noise, double scale) {
  const auto n = static_cast<size_t>(m_bins);
  // Bin k: 0 is DC (frame[0]), 1 ... n - 1 are (frame[2k - 1], frame[2k]), n is Nyquist
  // (frame[2n - 1]). Bin k uses the noise of the print's element k (the last one for n).
  const auto power = [&](size_t k) {
    if (k == 0) return frame[0] * frame[0] * scale;
    if (k == n) return frame[2 * n - 1] * frame[2 * n - 1] * scale;
    return (frame[2 * k - 1] * frame[2 * k - 1] + frame[2 * k] * frame[2 * k]) * scale;
  };
  for (size_t k = 0; k <= n; ++k) {
    const double lambda = std::max(noise[std::min(k, n - 1)] * m_noiseScale, 1e-30);
    m_gamma[k] = power(k) / lambda;
  }
  for (size_t k = 0; k <= n; ++k) {
    // The a-posteriori ratio with its neighbours (1, 2, 1): an isolated peak counts half.
    const double left = m_gamma[k == 0 ? 1 : k - 1];
    const double right = m_gamma[k == n ? n - 1 : k + 1];
    const double gamma = 0.25 * left + 0.5 * m_gamma[k] + 0.25 * right;
    const double instant = std::max(gamma - 1.0, 0.0);
    const double xi = std::max(m_first ? instant : m_memory * m_previous[k] + (1 - m_memory) * instant,
                               kLeastPrioriRatio);
    const double gain = std::max(Gain(xi, gamma), m_floor);
    m_previous[k] = gain * gain * m_gamma[k];
    if (k == 0) {
      frame[0] *= gain;
    } else if (k == n) {
      frame[2 * n - 1] *= gain;
    } else {
      frame[2 * k - 1] *= gain;
      frame[2 * k] *= gain;
    }
  }
  m_first = false;
}

}  // namespace ztlive
