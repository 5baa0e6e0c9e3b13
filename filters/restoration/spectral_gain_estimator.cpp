#include "filters/restoration/spectral_gain_estimator.h"

#include <algorithm>
#include <cmath>

#include "filters/framework/vector_clones.h"

// The Wiener loop is built twice on x86-64, once for AVX2 and once for the baseline; neither
// contracts to fused multiply-adds, so both give the same gains.

namespace ztlive {

namespace {

// The least a-priori ratio the estimate may reach (-25 dB): below it the gain follows the floor.
constexpr double kLeastPrioriRatio = 0.0031622776601683794;

// The Wiener rule over bins 1 ... n - 1 (the same steps as for the edge bins), in one loop
// without branches so that it runs on whole vectors (the file is built without trapping
// math, so that the comparisons become vector maxima).
ZTLIVE_CLONES_AVX2
void WienerGains(const double* __restrict gamma, double* __restrict previous, double* __restrict gain, size_t n,
                 double memory, double floor) {
  for (size_t k = 1; k < n; ++k) {
    const double smoothed = 0.25 * (gamma[k - 1] + gamma[k + 1]) + 0.5 * gamma[k];
    const double instant = std::max(smoothed - 1.0, 0.0);
    const double xi = std::max(memory * previous[k] + (1 - memory) * instant, kLeastPrioriRatio);
    const double g = std::max(xi / (1 + xi), floor);
    previous[k] = g * g * gamma[k];
    gain[k] = g;
  }
}

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
  m_weight.reserve(static_cast<size_t>(maxBins) + 1);
  m_gamma.reserve(static_cast<size_t>(maxBins) + 1);
  m_previous.reserve(static_cast<size_t>(maxBins) + 1);
  m_gain.reserve(static_cast<size_t>(maxBins) + 1);
}

void SpectralGainEstimator::Configure(int32_t bins, double memory, double floor, Rule rule, double noiseScale) {
  if (bins != m_bins) {
    m_bins = bins;
    m_weight.assign(static_cast<size_t>(bins) + 1, 0.0);
    m_gamma.assign(static_cast<size_t>(bins) + 1, 0.0);
    m_previous.assign(static_cast<size_t>(bins) + 1, 0.0);
    m_gain.assign(static_cast<size_t>(bins) + 1, 0.0);
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

void SpectralGainEstimator::SetNoise(const double* noise, double scale) {
  const auto n = static_cast<size_t>(m_bins);
  for (size_t k = 0; k <= n; ++k) m_weight[k] = scale / std::max(noise[std::min(k, n - 1)] * m_noiseScale, 1e-30);
}

void SpectralGainEstimator::Apply(double* frame) {
  const auto n = static_cast<size_t>(m_bins);
  // Bin k: 0 is DC (frame[0]), 1 ... n - 1 are (frame[2k - 1], frame[2k]), n is Nyquist
  // (frame[2n - 1]).
  double* power = m_gamma.data();
  power[0] = frame[0] * frame[0];
  for (size_t k = 1; k < n; ++k) power[k] = frame[2 * k - 1] * frame[2 * k - 1] + frame[2 * k] * frame[2 * k];
  power[n] = frame[2 * n - 1] * frame[2 * n - 1];
  Estimate();
  const double* gain = m_gain.data();
  frame[0] *= gain[0];
  for (size_t k = 1; k < n; ++k) {
    frame[2 * k - 1] *= gain[k];
    frame[2 * k] *= gain[k];
  }
  frame[2 * n - 1] *= gain[n];
}

void SpectralGainEstimator::Estimate() {
  const auto n = static_cast<size_t>(m_bins);
  for (size_t k = 0; k <= n; ++k) m_gamma[k] *= m_weight[k];
  const double memory = m_first ? 0.0 : m_memory;
  m_first = false;
  const auto gainOf = [&](size_t k, double left, double right) {
    // The a-posteriori ratio with its neighbours (1, 2, 1): an isolated peak counts half.
    const double gamma = 0.25 * (left + right) + 0.5 * m_gamma[k];
    const double instant = std::max(gamma - 1.0, 0.0);
    const double xi = std::max(memory * m_previous[k] + (1 - memory) * instant, kLeastPrioriRatio);
    const double gain = std::max(m_rule == Rule::Wiener ? xi / (1 + xi) : Gain(xi, gamma), m_floor);
    m_previous[k] = gain * gain * m_gamma[k];
    return gain;
  };
  m_gain[0] = gainOf(0, m_gamma[1], m_gamma[1]);
  m_gain[n] = gainOf(n, m_gamma[n - 1], m_gamma[n - 1]);
  if (m_rule == Rule::Wiener)
    WienerGains(m_gamma.data(), m_previous.data(), m_gain.data(), n, memory, m_floor);
  else
    for (size_t k = 1; k < n; ++k) m_gain[k] = gainOf(k, m_gamma[k - 1], m_gamma[k + 1]);
}

}  // namespace ztlive
