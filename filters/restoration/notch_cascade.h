// A cascade of narrow notches, each one x - r y with y a resonator tuned to its frequency (see
// resonator.h; the coefficients are doubled here so that a step is one multiply fewer):
//
//   y = a (x0 - x2) - b y2 + g y1        x0 - r y goes on to the next notch
//
// Every notch runs over the whole piece in turn. A resonator waits for its previous output at
// each sample, so two notches run side by side, the second a sample behind the first; the two
// channels of a stereo frame go together in the two lanes of one vector.
#pragma once

#include <cstddef>
#include <span>

#include "filters/restoration/resonator.h"

namespace ztlive {

struct NotchCoefficients {
  double a = 0;
  double b = 0;
  double g = 0;
};

inline NotchCoefficients NotchFrom(const Resonator& r) { return {2 * r.alpha, 2 * r.beta, 2 * r.gamma}; }

// One channel's values through the notches, in place; a state per notch. removed: r, the
// share of the resonator's output taken away (1 - A).
void RunNotchCascade(std::span<const NotchCoefficients> notches, double removed, double* x, size_t count,
                     ResonatorState* states);
// Interleaved stereo frames (left, right, left, ...), the same; a state per notch and channel.
void RunNotchCascadeStereo(std::span<const NotchCoefficients> notches, double removed, double* frames, size_t count,
                           ResonatorState* leftStates, ResonatorState* rightStates);

}  // namespace ztlive
