// Autoregressive modelling by Burg's maximum-entropy method, and the two-sided prediction
// that rebuilds a gap from the good samples on both of its sides. The impulse filter repairs
// its long clicks with it; the Interpolate edit calls it for one channel of interleaved data.
#pragma once

#include <cstddef>
#include <vector>

#include "core/sample_value.h"

namespace ztlive {

// Buffers of Burg's recursion; they grow to the largest fit and are then reused.
struct BurgWork {
  std::vector<double> forwardErrors;
  std::vector<double> backwardErrors;
  std::vector<double> previous;
};

// How Burg's sums are taken: one after another (the repairs' own order, which their outputs
// depend on), or in four interleaved partial sums, which the processor runs side by side.
enum class BurgSums { InOrder, Interleaved };

// The all-pole coefficients d[0 .. order-1] of data[0 .. count-1] such that
// x[t] ~ sum over k of d[k] * x[t - 1 - k]; count must exceed order.
void BurgCoefficients(const double* data, size_t count, size_t order, std::vector<double>& coefficients,
                      BurgWork& work, BurgSums sums = BurgSums::InOrder);

// Extends data (whose last `coefficients.size()` values seed the model) by `count` values.
void PredictForward(const double* data, size_t length, const std::vector<double>& coefficients, size_t count,
                    double* predicted);

// Work space for GapPrediction, so that repeated repairs do not allocate.
struct GapPredictionScratch {
  BurgWork burg;
  std::vector<double> history;
  std::vector<double> coefficients;
  std::vector<double> forward;
  std::vector<double> backward;
};

// Rebuilds gapLength values of one channel into gap[0], gap[gapStride], ... The forward model is fitted to the channel's values ending with
// lastBefore (before of them are readable, lastBefore included, going back by stride), the
// backward model to those beginning with firstAfter (after of them readable going forward).
// The order is gapLength (at most 40) and each model is fitted to at most 20 x gapLength
// values (1023 above 1020). Each value is the cross-fade of the forward and the backward
// prediction, truncated and limited to the 24-bit sample range. The fits take Burg's sums in
// the given order: repairs whose outputs are kept from before take them in order.
void GapPrediction(const SampleValue* lastBefore, size_t before, const SampleValue* firstAfter, size_t after,
                   size_t gapLength, ptrdiff_t stride, SampleValue* gap, ptrdiff_t gapStride,
                   GapPredictionScratch& scratch, BurgSums sums = BurgSums::InOrder);

// Keeps the buffers for gaps up to gapLength from allocating later.
void ReserveGapPrediction(GapPredictionScratch& scratch, size_t gapLength);

}  // namespace ztlive
