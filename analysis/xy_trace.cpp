#include "analysis/xy_trace.h"

namespace ztlive {

size_t TraceXy(const SampleValue* values, int valueCount, int channels, int diameter, const XyGains& gains,
               XyPoint* out, size_t capacity) {
  const double scale = static_cast<double>(diameter) / kSampleMax;
  const int64_t radius = diameter / 2;
  const int64_t limit = radius * radius;
  size_t count = 0;
  if (channels >= 2) {
    for (int i = 0; i + 2 <= valueCount && count < capacity; i += channels) {
      const auto x = static_cast<int>(values[i] * gains.horizontal * scale);
      const auto y = static_cast<int>(values[i + 1] * gains.vertical * scale);
      if (int64_t{x} * x + int64_t{y} * y < limit) out[count++] = {x, y};
    }
  } else {
    for (int i = 0; i < valueCount && count < capacity; ++i) {
      const auto y = static_cast<int>(values[i] * gains.vertical * scale);
      if (int64_t{y} * y < limit) out[count++] = {0, y};
    }
  }
  return count;
}

}  // namespace ztlive
