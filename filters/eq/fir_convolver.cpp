#include "filters/eq/fir_convolver.h"

#include <algorithm>
#include <array>
#include <bit>

namespace ztlive {

namespace {

// Truncates toward zero like the program's other results, from extended precision.
SampleValue TruncateLong(long double value) {
  if (value >= 2147483647.0L) return 2147483647;
  if (value <= -2147483648.0L) return -2147483647 - 1;
  return static_cast<SampleValue>(value);
}

SampleValue TruncateDouble(double value) {
  if (value >= 2147483647.0) return 2147483647;
  if (value <= -2147483648.0) return -2147483647 - 1;
  return static_cast<SampleValue>(value);
}

}  // namespace

// The time of one forward and one backward transform per length 64 ... 16384, in ns as
// measured on a 2-core x86-64 (their ratios are what counts).
constexpr std::array<double, FirConvolver::kMaxFftOrder - FirConvolver::kMinFftOrder + 1> kPairTime{
    401, 1391, 3115, 6801, 12124, 21051, 52151, 88690, 167507};
// A length this much dearer per output than the cheapest is still taken when it is shorter:
// shorter segments wait less for their inputs in a preview or live run.
constexpr double kCostSlack = 1.15;

int BestFftLength(int taps, int maxSegment) {
  if (taps <= FirConvolver::kDirectTapLimit) return 0;
  std::array<double, kPairTime.size()> cost{};
  double cheapest = 0;
  for (size_t k = 0; k < kPairTime.size(); ++k) {
    const int outputs = std::min((1 << (FirConvolver::kMinFftOrder + static_cast<int>(k))) - taps + 1, maxSegment);
    cost[k] = outputs > 0 ? kPairTime[k] / outputs : 0;
    if (outputs > 0 && (cheapest == 0 || cost[k] < cheapest)) cheapest = cost[k];
  }
  for (size_t k = 0; k < kPairTime.size(); ++k)
    if (cost[k] > 0 && cost[k] <= cheapest * kCostSlack) return 1 << (FirConvolver::kMinFftOrder + static_cast<int>(k));
  return 0;
}

FirConvolver::FirConvolver() {
  for (int order = kMinFftOrder; order <= kMaxFftOrder; ++order) {
    m_ffts[order - kMinFftOrder].Init(1 << order);
    m_packedFfts[order - kMinFftOrder].Init(1 << order);
  }
  for (auto* buffer : {&m_packedRe, &m_packedIm, &m_pairRe, &m_pairIm}) buffer->reserve(size_t{1} << kMaxFftOrder);
  m_h.reserve(kMaxTaps);
  m_spectrum.reserve(size_t{1} << kMaxFftOrder);
  m_frame.reserve(size_t{1} << kMaxFftOrder);
}

void FirConvolver::SetTaps(std::span<const double> h, int maxSegment) {
  maxSegment = std::max(maxSegment, 1);
  m_taps = static_cast<int>(std::min<size_t>(h.size(), kMaxTaps));
  m_h.assign(h.begin(), h.begin() + m_taps);
  const int length = BestFftLength(m_taps, maxSegment);
  if (length == 0) {
    m_fft = nullptr;
    m_segment = std::min(kDirectSegment, maxSegment);
    return;
  }
  const auto index = static_cast<size_t>(std::countr_zero(static_cast<unsigned>(length)) - kMinFftOrder);
  m_fft = &m_ffts[index];
  m_packed = &m_packedFfts[index];
  m_segment = std::min(length - m_taps + 1, maxSegment);
  // The spectrum of h, scaled by 1 / length so that the unscaled inverse gives the sum.
  m_spectrum.assign(static_cast<size_t>(length), 0.0);
  for (int k = 0; k < m_taps; ++k) m_spectrum[static_cast<size_t>(k)] = m_h[static_cast<size_t>(k)] / length;
  m_fft->Forward(m_spectrum.data());
  m_frame.assign(static_cast<size_t>(length), 0.0);
  m_packedRe.assign(static_cast<size_t>(length), 0.0);
  m_packedIm.assign(static_cast<size_t>(length), 0.0);
  for (int k = 0; k < m_taps; ++k) m_packedRe[static_cast<size_t>(k)] = m_h[static_cast<size_t>(k)] / length;
  m_packed->Forward(m_packedRe.data(), m_packedIm.data());
  m_pairRe.assign(static_cast<size_t>(length), 0.0);
  m_pairIm.assign(static_cast<size_t>(length), 0.0);
}

void FirConvolver::ConvolvePair(const double* left, const double* right, int count, SampleValue* leftOut,
                                SampleValue* rightOut) {
  if (m_taps <= 0 || m_fft == nullptr) {
    Convolve(left, count, leftOut);
    Convolve(right, count, rightOut);
    return;
  }
  const auto length = static_cast<size_t>(m_packed->Length());
  const auto earlier = static_cast<size_t>(m_taps - 1);
  double* re = m_pairRe.data();
  double* im = m_pairIm.data();
  std::copy(left - earlier, left + count, re);
  std::copy(right - earlier, right + count, im);
  std::fill(re + earlier + static_cast<size_t>(count), re + length, 0.0);
  std::fill(im + earlier + static_cast<size_t>(count), im + length, 0.0);
  m_packed->Forward(re, im);
  const double* hr = m_packedRe.data();
  const double* hi = m_packedIm.data();
  for (size_t k = 0; k < length; ++k) {
    const double r = re[k] * hr[k] - im[k] * hi[k];
    im[k] = re[k] * hi[k] + im[k] * hr[k];
    re[k] = r;
  }
  m_packed->Inverse(re, im);
  for (int i = 0; i < count; ++i) {
    leftOut[i] = TruncateDouble(re[earlier + static_cast<size_t>(i)]);
    rightOut[i] = TruncateDouble(im[earlier + static_cast<size_t>(i)]);
  }
}

void FirConvolver::Convolve(const double* x, int count, SampleValue* y) {
  if (m_taps <= 0) {
    std::fill(y, y + count, 0);
    return;
  }
  if (m_fft != nullptr)
    ConvolveFft(x, count, y);
  else
    ConvolveDirect(x, count, y);
}

void FirConvolver::ConvolveDirect(const double* x, int count, SampleValue* y) const {
  const double* h = m_h.data();
  for (int i = 0; i < count; ++i) {
    long double sum = 0;
    const double* current = x + i;  // the current input first
    for (int k = 0; k < m_taps; ++k) sum += static_cast<long double>(h[k]) * current[-k];
    y[i] = TruncateLong(sum);
  }
}

void FirConvolver::ConvolveFft(const double* x, int count, SampleValue* y) {
  const auto length = static_cast<size_t>(m_fft->Length());
  const auto earlier = static_cast<size_t>(m_taps - 1);
  double* frame = m_frame.data();
  // Overlap-save: the N - 1 earlier inputs and the segment, zero beyond; the outputs from
  // N - 1 on are free of the circular wrap.
  std::copy(x - earlier, x + count, frame);
  std::fill(frame + earlier + static_cast<size_t>(count), frame + length, 0.0);
  m_fft->Forward(frame);
  const double* h = m_spectrum.data();
  frame[0] *= h[0];
  frame[length - 1] *= h[length - 1];
  for (size_t k = 1; k + 1 < length; k += 2) {
    const double re = frame[k] * h[k] - frame[k + 1] * h[k + 1];
    const double im = frame[k] * h[k + 1] + frame[k + 1] * h[k];
    frame[k] = re;
    frame[k + 1] = im;
  }
  m_fft->Backward(frame);
  for (int i = 0; i < count; ++i) y[i] = TruncateDouble(frame[earlier + static_cast<size_t>(i)]);
}

}  // namespace ztlive
