// Truncation toward zero of a value worked out from a slider position and back: a guard of
// 1e-7 away from zero keeps a value such as 2.9999999999 (an exact 3 after the rounding of the
// logarithm and power) at 3, so a setting stored and loaded again does not creep by one.
#pragma once

#include <cmath>
#include <cstdint>

namespace ztlive {

inline int32_t TruncateWithGuard(double value) {
  return static_cast<int32_t>(std::trunc(value + std::copysign(1e-7, value)));
}

}  // namespace ztlive
