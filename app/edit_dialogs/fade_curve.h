// The gain a fade applies across the selection, in dB, as the fade edit computes it: the
// curve editor draws exactly what the edit will do.
#pragma once

#include "document/edit_settings.h"

namespace ztlive {

// The level in dB at t (0 at the selection's start, 1 at its end); minus infinity where the
// gain is 0. Linear: the gain runs in a straight line between the two levels' gains.
// Logarithmic: e^(10 t) shaped, fading in or out by which end is louder. Adjustable: the
// cubic through the start level, the two control levels and the end level, in dB.
double FadeLevelDb(const FadeSettings& fade, double t);

}  // namespace ztlive
