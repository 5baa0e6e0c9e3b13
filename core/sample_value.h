// The sample value every filter works on: a signed 32-bit integer with 24-bit full scale.
// Files of 8, 16, 20 and 24 bits are converted to and from it; values are interleaved by
// channel (left, right) and all counts of values are counts of samples, not frames.
#pragma once

#include <algorithm>
#include <cstdint>

namespace ztlive {

using SampleValue = int32_t;

inline constexpr SampleValue kSampleMax = 0x7FFFFF;   // 8388607
inline constexpr SampleValue kSampleMin = -0x800000;  // -8388608

// A computed value as a sample: held to the 24-bit range, then truncated towards zero.
inline SampleValue LimitToSampleRange(double value) {
  return static_cast<SampleValue>(std::clamp(value, double(kSampleMin), double(kSampleMax)));
}

}  // namespace ztlive
