// Coefficient designs of the classic recursive filters (bilinear transform, pre-warped corner)
// and the direct-form II section that runs them. Other engines reuse the third-order designs.
#pragma once

#include <algorithm>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/sample_value.h"

namespace ztlive {

// b0..b3 and a1..a3 (a[0] unused); the recursion subtracts the a's.
struct SectionCoefficients {
  int order = 0;  // 1, 2 or 3
  double b[4] = {};
  double a[4] = {};
};

SectionCoefficients DesignLowPass1(double fc, double fs);
SectionCoefficients DesignLowPass2(double fc, double fs);
SectionCoefficients DesignLowPass3(double fc, double fs);
SectionCoefficients DesignHighPass1(double fc, double fs);
SectionCoefficients DesignHighPass2(double fc, double fs);
SectionCoefficients DesignHighPass3(double fc, double fs);

// slope 0, 1, 2: 6, 12, 18 dB per octave (any other slope: 18).
SectionCoefficients DesignLowPass(int slope, double fc, double fs);
SectionCoefficients DesignHighPass(int slope, double fc, double fs);

// The state of one channel's section: w[1..3] (w[0] the newest value).
struct SectionState {
  double w[4] = {};
};

// One step of the direct-form II recursion of order N.
template <int N>
inline double RunSection(const SectionCoefficients& c, SectionState& s, double u) {
  double w0 = u;
  for (int k = 1; k <= N; ++k) w0 -= c.a[k] * s.w[k];
  double y = c.b[0] * w0;
  for (int k = 1; k <= N; ++k) y += c.b[k] * s.w[k];
  for (int k = N; k > 1; --k) s.w[k] = s.w[k - 1];
  s.w[1] = w0;
  s.w[0] = w0;
  return y;
}

// A filter result as a sample value: truncated toward zero, held inside the 32-bit range.
inline SampleValue TruncateToSample(double value) {
#if defined(__SSE2__)
  // One max and one min instruction: no branch in the per-sample loop.
  const __m128d held = _mm_min_sd(_mm_max_sd(_mm_set_sd(value), _mm_set_sd(-2147483648.0)), _mm_set_sd(2147483647.0));
  return _mm_cvttsd_si32(held);
#else
  return static_cast<SampleValue>(std::clamp(value, -2147483648.0, 2147483647.0));
#endif
}

}  // namespace ztlive
