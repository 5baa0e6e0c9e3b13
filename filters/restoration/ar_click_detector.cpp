#include "filters/restoration/ar_click_detector.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ztlive {

namespace {
constexpr size_t kMask = ArClickDetector::kContext - 1;
static_assert((ArClickDetector::kContext & kMask) == 0, "the context ring is a power of two");
constexpr size_t kErrorMask = ArClickDetector::kErrorsKept - 1;
static_assert((ArClickDetector::kErrorsKept & kErrorMask) == 0, "the error ring is a power of two");
static_assert(ArClickDetector::kPeriodReach + ArClickDetector::kAhead < ArClickDetector::kErrorsKept);
constexpr double kMedianToSigma = 1.0 / 0.6745;
constexpr double kLevelFloor = 2.0;  // in sample units: digital silence still has a threshold
constexpr double kRelativeFloor = 1e-3;  // and a level never below -60 dB of the context's
// Pulls the model's poles slightly inwards, so that a prediction left to run on its own
// inside a long click decays instead of growing.
constexpr double kBandwidthExpansion = 0.9999;
// The rings hold every value twice, kContext apart, so that any kOrder values in a row can
// be read without wrapping.
void PutMirrored(std::vector<double>& ring, size_t index, double value) {
  ring[index & kMask] = value;
  ring[(index & kMask) + ArClickDetector::kContext] = value;
}

// The kOrder values from index on, oldest first.
const double* Window(const std::vector<double>& ring, size_t index) { return ring.data() + (index & kMask); }

// Four partial sums side by side, for the two dot products every sample takes.
double Dot(const double* a, const double* b) {
  static_assert(ArClickDetector::kOrder % 4 == 0);
  double lanes[4] = {0, 0, 0, 0};
  for (size_t k = 0; k < ArClickDetector::kOrder; k += 4)
    for (size_t lane = 0; lane < 4; ++lane) lanes[lane] += a[k + lane] * b[k + lane];
  return (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
}

// The prediction inside a click is trusted at most this many times less than one step ahead.
constexpr double kMostWidening = 8.0;
}  // namespace

void ArClickDetector::Allocate() {
  m_context.assign(2 * kContext, 0.0);
  m_raw.assign(2 * kContext, 0.0);
  m_errors.assign(kErrorsKept, 0.0);
  m_scratch.assign(kContext, 0.0);
  m_median.Allocate(kAhead);
  m_coefficients.assign(kOrder, 0.0);
  m_reversed.assign(kOrder, 0.0);
  m_burg.forwardErrors.reserve(kContext);
  m_burg.backwardErrors.reserve(kContext);
  m_burg.previous.reserve(kOrder);
  Reset();
}

void ArClickDetector::Reset() {
  std::fill(m_context.begin(), m_context.end(), 0.0);
  std::fill(m_raw.begin(), m_raw.end(), 0.0);
  std::fill(m_errors.begin(), m_errors.end(), 0.0);
  std::fill(m_coefficients.begin(), m_coefficients.end(), 0.0);
  std::fill(m_reversed.begin(), m_reversed.end(), 0.0);
  m_widening.fill(1.0);
  m_written = m_sinceFit = m_held = 0;
  m_level = 0;
  m_aheadMedians.fill(0.0);
  m_levelUpdates = 0;
  m_median.Reset();
  m_floor = kLevelFloor;
  m_fitted = false;
  m_prediction = 0;
}

double ArClickDetector::AheadMedian() {
  // The median of the errors of this sample and the kAhead - 1 after it.
  for (size_t i = 0; i < kAhead; ++i) m_scratch[i] = m_errors[(m_written + i) & kErrorMask];
  return m_median.Of(m_scratch.data(), kAhead);
}

ArClickDetector::Verdict ArClickDetector::Examine(double x, double ahead) {
  // The raw error of the sample ahead joins the level's ring, where it replaces the error of
  // the sample kAhead back.
  const size_t at = m_written + kAhead;
  PutMirrored(m_raw, at, ahead);
  const double rawPrediction = Dot(m_reversed.data(), Window(m_raw, at - kOrder));
  m_errors[at & kErrorMask] = std::abs(ahead - rawPrediction);
  if (m_written % kLevelEvery == 0) {
    const size_t slot = m_levelUpdates++ % m_aheadMedians.size();
    const double behind = m_aheadMedians[slot];  // stored kAhead samples ago
    m_aheadMedians[slot] = AheadMedian();
    if (m_fitted) m_level = std::max(std::max(behind, m_aheadMedians[slot]) * kMedianToSigma, m_floor);
  }

  const double prediction = Dot(m_reversed.data(), Window(m_context, m_written - kOrder));
  m_prediction = prediction;
  if (m_level <= 0) return {0.0, std::numeric_limits<double>::infinity()};
  const double widening = m_widening[std::min(m_held, kMaxHeld - 1)];
  return {x - prediction, m_sigmas * m_level * widening};
}

std::optional<size_t> ArClickDetector::ClickEnd(size_t within, size_t readable) const {
  if (m_level <= 0 || readable <= kOrder) return 0;
  within = std::min({within, readable - kOrder, kAhead - kOrder});
  const double threshold = m_sigmas * m_level;
  for (size_t end = within; end-- > 0;) {
    // The sample at m_written + end against its prediction from the kOrder samples after it.
    const size_t at = m_written + end;
    const double prediction = Dot(m_coefficients.data(), Window(m_raw, at + 1));
    if (std::abs(m_raw[at & kMask] - prediction) > threshold) return end;
  }
  return std::nullopt;
}

bool ArClickDetector::RecursPeriodically(RepeatRule rule) const {
  constexpr size_t kNearest = 64;  // closer errors may belong to the same click (a ringing one)
  constexpr size_t kMostPartners = 16;
  const double least = rule.share * m_errors[m_written & kErrorMask];
  if (least <= 0) return false;
  // The spacings of the error's local peaks of at least that size, before and after.
  std::array<size_t, kMostPartners> before{};
  std::array<size_t, kMostPartners> after{};
  size_t countBefore = 0;
  size_t countAfter = 0;
  const auto error = [&](size_t index) { return m_errors[index & kErrorMask]; };
  // Before the stream's start the ring holds zeros, which never count.
  for (size_t d = kNearest; d < kPeriodReach && countBefore < kMostPartners; ++d) {
    const size_t back = m_written - d;
    if (error(back) >= least && error(back) >= error(back - 1) && error(back) >= error(back + 1))
      before[countBefore++] = d;
  }
  for (size_t d = kNearest; d + 1 < kAhead && countAfter < kMostPartners; ++d) {
    const size_t ahead = m_written + d;
    if (error(ahead) >= least && error(ahead) >= error(ahead - 1) && error(ahead) >= error(ahead + 1))
      after[countAfter++] = d;
  }
  // Voices and instruments waver: a repeat counts within 2 % of its spacing.
  const auto near = [](size_t a, size_t b) { return (a > b ? a - b : b - a) <= std::max<size_t>(1, b / 50); };
  // Repeats are pairs of spacings: a period both ways, or two and three periods back.
  int repeats = 0;
  for (size_t i = 0; i < countBefore; ++i) {
    for (size_t j = 0; j < countAfter; ++j) repeats += near(before[i], after[j]);
    for (size_t j = i + 1; j < countBefore; ++j) repeats += near(before[j], 2 * before[i]) + near(before[j], 3 * before[i]);
  }
  for (size_t i = 0; i < countAfter; ++i)
    for (size_t j = i + 1; j < countAfter; ++j) repeats += near(after[j], 2 * after[i]);
  const double partners = double(countBefore + countAfter);
  return repeats >= rule.leastRepeats && double(repeats) >= rule.perPartner * partners;
}

void ArClickDetector::Commit(double x, bool inClick) {
  if (inClick) {
    PutMirrored(m_context, m_written, m_prediction);
    ++m_held;
  } else {
    PutMirrored(m_context, m_written, x);
    m_held = 0;
  }
  ++m_written;
  if (++m_sinceFit >= kRefit && m_held == 0) Refit();
}

void ArClickDetector::Refit() {
  m_sinceFit = 0;
  // The model, fitted to the clean context oldest first.
  const size_t count = std::min(m_written, kFitLength);
  for (size_t i = 0; i < count; ++i) m_scratch[i] = m_context[(m_written - count + i) & kMask];
  if (count < kFitLength) return;  // judging starts once the fit has its samples
  double energy = 0;
  for (size_t i = 0; i < count; ++i) energy += m_scratch[i] * m_scratch[i];
  m_floor = std::max(kLevelFloor, kRelativeFloor * std::sqrt(energy / double(count)));
  if (energy <= 0) {
    std::fill(m_coefficients.begin(), m_coefficients.end(), 0.0);
    std::fill(m_reversed.begin(), m_reversed.end(), 0.0);
    m_fitted = true;
    return;
  }
  BurgCoefficients(m_scratch.data(), count, kOrder, m_coefficients, m_burg, BurgSums::Interleaved);
  double expansion = 1.0;
  for (double& d : m_coefficients) d *= (expansion *= kBandwidthExpansion);
  std::reverse_copy(m_coefficients.begin(), m_coefficients.end(), m_reversed.begin());
  m_fitted = true;
  // How far the prediction strays when it runs on its own: the running sum of the model's
  // squared impulse response (the first term is the one-step error itself).
  std::array<double, kOrder> recent{};
  double sum = 0;
  for (size_t j = 0; j < kMaxHeld; ++j) {
    double h = j == 0 ? 1.0 : 0.0;
    for (size_t k = 0; k < kOrder; ++k) h += m_coefficients[k] * recent[k];
    for (size_t k = kOrder; k-- > 1;) recent[k] = recent[k - 1];
    recent[0] = h;
    sum += h * h;
    m_widening[j] = std::sqrt(std::min(sum, kMostWidening * kMostWidening));
  }
}

}  // namespace ztlive
