#include "filters/restoration/gap_prediction.h"

#include <algorithm>
#include <cmath>

namespace ztlive {

namespace {

constexpr size_t kMaxOrder = 40;

size_t ModelLength(size_t gapLength) {
  const size_t length = 20 * gapLength;
  return length > 1020 ? 1023 : length;
}

// Fits a model to history[0 .. count-1] and predicts `gapLength` values after it; with too
// little data for a model the last value (or silence) is held.
void FitAndPredict(GapPredictionScratch& scratch, size_t count, size_t gapLength, std::vector<double>& predicted,
                   BurgSums sums) {
  predicted.assign(gapLength, count > 0 ? scratch.history[count - 1] : 0.0);
  const size_t order = std::min({gapLength, kMaxOrder, count > 0 ? count - 1 : 0});
  if (order == 0) return;
  BurgCoefficients(scratch.history.data(), count, order, scratch.coefficients, scratch.burg, sums);
  PredictForward(scratch.history.data(), count, scratch.coefficients, gapLength, predicted.data());
}

// The sums of f[j] b[j] and of f[j]^2 + b[j]^2 over j < count.
void BurgSumsInOrder(const double* f, const double* b, size_t count, double& numerator, double& denominator) {
  numerator = 0;
  denominator = 0;
  for (size_t j = 0; j < count; ++j) {
    numerator += f[j] * b[j];
    denominator += f[j] * f[j] + b[j] * b[j];
  }
}

void BurgSumsInterleaved(const double* f, const double* b, size_t count, double& numerator, double& denominator) {
  double n[4] = {0, 0, 0, 0};
  double d[4] = {0, 0, 0, 0};
  size_t j = 0;
  for (; j + 4 <= count; j += 4) {
    for (size_t lane = 0; lane < 4; ++lane) {
      n[lane] += f[j + lane] * b[j + lane];
      d[lane] += f[j + lane] * f[j + lane] + b[j + lane] * b[j + lane];
    }
  }
  for (; j < count; ++j) {
    n[0] += f[j] * b[j];
    d[0] += f[j] * f[j] + b[j] * b[j];
  }
  numerator = (n[0] + n[1]) + (n[2] + n[3]);
  denominator = (d[0] + d[1]) + (d[2] + d[3]);
}

}  // namespace

void BurgCoefficients(const double* data, size_t count, size_t order, std::vector<double>& coefficients,
                      BurgWork& work, BurgSums sums) {
  coefficients.assign(order, 0.0);
  work.forwardErrors.assign(data, data + count - 1);
  work.backwardErrors.assign(data + 1, data + count);
  work.previous.assign(order, 0.0);
  std::vector<double>& f = work.forwardErrors;
  std::vector<double>& b = work.backwardErrors;
  for (size_t k = 0; k < order; ++k) {
    double numerator = 0;
    double denominator = 0;
    (sums == BurgSums::InOrder ? BurgSumsInOrder : BurgSumsInterleaved)(f.data(), b.data(), count - k - 1, numerator,
                                                                         denominator);
    coefficients[k] = denominator > 0 ? 2.0 * numerator / denominator : 0.0;
    for (size_t i = 0; i < k; ++i) coefficients[i] = work.previous[i] - coefficients[k] * work.previous[k - 1 - i];
    if (k + 1 == order) return;
    std::copy(coefficients.begin(), coefficients.begin() + static_cast<ptrdiff_t>(k) + 1, work.previous.begin());
    // Every value is read before either is written, with the reflection held and the arrays
    // known apart: the same arithmetic, in a form the compiler runs on vectors.
    const double reflection = work.previous[k];
    double* __restrict forward = f.data();
    double* __restrict backward = b.data();
    for (size_t j = 0; j + k + 2 < count; ++j) {
      const double f0 = forward[j];
      const double b0 = backward[j];
      const double f1 = forward[j + 1];
      const double b1 = backward[j + 1];
      forward[j] = f0 - reflection * b0;
      backward[j] = b1 - reflection * f1;
    }
  }
}

void PredictForward(const double* data, size_t length, const std::vector<double>& coefficients, size_t count,
                    double* predicted) {
  const size_t order = coefficients.size();
  // The newest value first.
  double recent[kMaxOrder] = {};
  for (size_t k = 0; k < order && k < length; ++k) recent[k] = data[length - 1 - k];
  for (size_t j = 0; j < count; ++j) {
    double next = 0;
    for (size_t k = 0; k < order; ++k) next += coefficients[k] * recent[k];
    for (size_t k = order; k-- > 1;) recent[k] = recent[k - 1];
    recent[0] = next;
    predicted[j] = next;
  }
}

void ReserveGapPrediction(GapPredictionScratch& scratch, size_t gapLength) {
  const size_t length = ModelLength(gapLength);
  scratch.history.reserve(length);
  scratch.coefficients.reserve(kMaxOrder);
  scratch.forward.reserve(gapLength);
  scratch.backward.reserve(gapLength);
  scratch.burg.forwardErrors.reserve(length);
  scratch.burg.backwardErrors.reserve(length);
  scratch.burg.previous.reserve(kMaxOrder);
}

void GapPrediction(const SampleValue* lastBefore, size_t before, const SampleValue* firstAfter, size_t after,
                   size_t gapLength, ptrdiff_t stride, SampleValue* gap, ptrdiff_t gapStride,
                   GapPredictionScratch& scratch, BurgSums sums) {
  if (gapLength == 0) return;
  const size_t length = ModelLength(gapLength);

  // Forward: the values ending with lastBefore, oldest first, each plus 0.01.
  const size_t forwardCount = std::min(length, before);
  scratch.history.resize(forwardCount);
  for (size_t i = 0; i < forwardCount; ++i)
    scratch.history[i] = lastBefore[-static_cast<ptrdiff_t>(forwardCount - 1 - i) * stride] + 0.01;
  FitAndPredict(scratch, forwardCount, gapLength, scratch.forward, sums);

  // Backward: the values beginning with firstAfter, taken in reverse order.
  const size_t backwardCount = std::min(length, after);
  scratch.history.resize(backwardCount);
  for (size_t i = 0; i < backwardCount; ++i)
    scratch.history[i] = firstAfter[static_cast<ptrdiff_t>(backwardCount - 1 - i) * stride] + 0.01;
  FitAndPredict(scratch, backwardCount, gapLength, scratch.backward, sums);

  // f[k] (k = 1 ... n) is scratch.forward[k - 1], b[k] is scratch.backward[k - 1]: the value
  // at gap position i fades from f[i + 1] to b[n - i].
  const double n = double(gapLength);
  for (size_t i = 0; i < gapLength; ++i) {
    const double fade = double(i) / n;
    const double value = (1.0 - fade) * scratch.forward[i] + fade * scratch.backward[gapLength - 1 - i];
    gap[static_cast<ptrdiff_t>(i) * gapStride] = LimitToSampleRange(value);
  }
}

}  // namespace ztlive
