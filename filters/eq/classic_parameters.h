// The value controls the classic filters share in their one settings window, "Filter": the
// slope choice and the frequency and width pairs. Each filter's descriptor picks its own.
#pragma once

#include <array>
#include <string_view>

#include "filters/framework/filter_descriptor.h"

namespace ztlive::classic {

inline constexpr std::array<std::string_view, 3> kSlopeChoices{"6dB/Octave", "12dB/Octave", "18dB/Octave"};

// p[0]: 6, 12 or 18 dB per octave.
inline constexpr ParameterRecord kSlope{.index = 0,
                                        .label = "Filter Slope",
                                        .minimum = 0,
                                        .maximum = 2,
                                        .start = 0,
                                        .kind = ControlKind::RadioChoice,
                                        .choices = kSlopeChoices,
                                        .group = "Filter Slope"};

// A frequency pair; the window starts the p[1] pair at 1000 and the p[2] pair at 2000, held
// inside the pair's range.
constexpr ParameterRecord Frequency(int index, std::string_view label, int32_t maximumHz) {
  const int32_t start = index == 1 ? 1000 : 2000;
  return {.index = index,
          .label = label,
          .unit = "Hz",
          .minimum = 5,
          .maximum = maximumHz,
          .start = start < maximumHz ? start : maximumHz,
          .kind = ControlKind::LogSlider};
}

// A window length in samples per channel (linear trackbar).
constexpr ParameterRecord Samples(int32_t minimum, int32_t maximum) {
  return {.index = 1,
          .label = "Samples",
          .minimum = minimum,
          .maximum = maximum,
          .start = 1000 < maximum ? 1000 : maximum,
          .kind = ControlKind::LinearSlider};
}

}  // namespace ztlive::classic
