// The paragraphic equalizer's response as its window draws it: the analog prototypes of the
// bands (peaking bands and the last band as a first-order high shelf) combined, at 512
// frequencies spaced evenly on a log axis from 10 Hz to half the sample rate.
#pragma once

#include <array>

#include "filters/eq/paragraphic_bands.h"

namespace ztlive {

inline constexpr int kResponsePoints = 512;

struct ResponseCurve {
  std::array<double, kResponsePoints> hz{};
  std::array<double, kResponsePoints> db{};
};

// The frequency of point i: 10^(1 + i·(log10(fs/2) − 1)/512).
double ResponsePointHz(int i, double fs);
// The combined magnitude in dB of the bands at f Hz (master gain included). A band whose
// upper edge f0·2^(bw/2) lies above 0.55 of half the sample rate is drawn neutral.
double ParagraphicResponseDb(const ParagraphicBands& bands, double f, double fs);
ResponseCurve ParagraphicResponse(const ParagraphicBands& bands, double fs);

}  // namespace ztlive
