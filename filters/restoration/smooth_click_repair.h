// A smooth click (a thump, the slow swing of a pop) lies in the smooth part of the residual
// between the samples and their two-sided prediction; the residual's fast part is then the
// signal's own unpredictable detail, about as large as the model's error. A repair that keeps
// that detail is closer to the signal than the prediction alone, which has none of it.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "core/sample_value.h"

namespace ztlive {

class SmoothClickRepair {
 public:
  // The shortest stretch judged: below it the detail cannot be told from the click.
  static constexpr size_t kShortest = 9;
  // The detail is the signal's own while its RMS is below this many error levels.
  static constexpr double kDetailLevels = 2.0;

  SmoothClickRepair();
  // Sizes the residual for stretches up to `longest`; throws std::bad_alloc.
  void Allocate(size_t longest);
  // samples[0], samples[stride], ... are the stretch's count samples and predicted[0 ...
  // count-1] their prediction. When the residual's fast part is within the error level, the
  // prediction becomes the samples less the residual's smooth part. No allocation.
  bool Apply(const SampleValue* samples, ptrdiff_t stride, SampleValue* predicted, size_t count, double level);

 private:
  static constexpr int kWindow = 7;  // the quadratic smoother's width
  // Weights for a point `k` from the window's start (0 ... kWindow-1): the window stays whole
  // at the stretch's edges, so the first and last points are fitted, not reflected.
  std::array<std::array<double, kWindow>, kWindow> m_weights{};
  std::vector<double> m_residual;
};

}  // namespace ztlive
