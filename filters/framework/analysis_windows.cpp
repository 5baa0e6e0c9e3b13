#include "filters/framework/analysis_windows.h"

#include <cmath>

namespace ztlive {

namespace {
constexpr double kTwoPi = 6.2831853071796;
constexpr double kFourPi = 12.5663706143592;
}  // namespace

void HammingWindow(int n, double* out) {
  if (n == 1) out[0] = 1.0;  // the formula divides by n - 1
  if (n <= 1) return;
  for (int i = 0; i < n; ++i) out[i] = 0.543478261 - 0.46 * std::cos(i * kTwoPi / (n - 1));
}

void BlackmanWindow(int n, double* out) {
  if (n == 1) out[0] = 1.0;
  if (n <= 1) return;
  for (int i = 0; i < n; ++i)
    out[i] = 0.42 - 0.5 * std::cos(i * kTwoPi / (n - 1)) + 0.08 * std::cos(i * kFourPi / (n - 1));
}

}  // namespace ztlive
