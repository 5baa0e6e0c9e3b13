#include "filters/restoration/smooth_click_repair.h"

#include "filters/restoration/savitzky_golay.h"

namespace ztlive {

SmoothClickRepair::SmoothClickRepair() {
  for (int k = 0; k < kWindow; ++k) {
    const std::vector<double> w = SavitzkyGolayWeights(k, kWindow - 1 - k, 2);
    for (int j = 0; j < kWindow; ++j) m_weights[static_cast<size_t>(k)][static_cast<size_t>(j)] = w[static_cast<size_t>(j)];
  }
}

void SmoothClickRepair::Allocate(size_t longest) { m_residual.assign(longest, 0.0); }

bool SmoothClickRepair::Apply(const SampleValue* samples, ptrdiff_t stride, SampleValue* predicted, size_t count,
                              double level) {
  if (count < kShortest || count > m_residual.size() || level <= 0) return false;
  double* r = m_residual.data();
  for (size_t i = 0; i < count; ++i) r[i] = double(samples[static_cast<ptrdiff_t>(i) * stride]) - predicted[i];
  constexpr size_t half = kWindow / 2;
  const auto smooth = [&](size_t i) {
    // The window around i, moved inwards at the edges.
    const size_t start = i < half ? 0 : (i + half >= count ? count - static_cast<size_t>(kWindow) : i - half);
    const auto& w = m_weights[i - start];
    double sum = 0;
    for (size_t j = 0; j < static_cast<size_t>(kWindow); ++j) sum += w[j] * r[start + j];
    return sum;
  };
  double detail = 0;
  for (size_t i = 0; i < count; ++i) {
    const double d = r[i] - smooth(i);
    detail += d * d;
  }
  if (detail >= kDetailLevels * kDetailLevels * level * level * double(count)) return false;
  // The smoothed values are taken before any prediction changes: r holds them all.
  for (size_t i = 0; i < count; ++i) {
    const double smoothPart = smooth(i);
    predicted[i] = LimitToSampleRange(double(samples[static_cast<ptrdiff_t>(i) * stride]) - smoothPart);
  }
  return true;
}

}  // namespace ztlive
