// The XY display's trace: left against right as offsets from the centre of a circle of
// diameter D, where a full-scale value at gain 1 maps to D. Points outside the circle are
// skipped; the trace joins the points inside in order.
#pragma once

#include <cstddef>

#include "core/sample_value.h"

namespace ztlive {

struct XyPoint {
  int x;
  int y;  // upwards positive
};

struct XyGains {
  double horizontal = 1.0;  // "L Gain" slider position x 0.01
  double vertical = 1.0;    // 2 - "R Gain" slider position x 0.01
  static XyGains FromSliders(int leftPosition, int rightPosition) {
    return {leftPosition * 0.01, 2.0 - rightPosition * 0.01};
  }
};

// Writes the points inside the circle into out (room for capacity points) and returns their
// count. Stereo: (L, R) per frame; mono: (0, v) per value, a vertical stroke.
size_t TraceXy(const SampleValue* values, int valueCount, int channels, int diameter, const XyGains& gains,
               XyPoint* out, size_t capacity);

}  // namespace ztlive
