// A second-order band-pass resonator with unity gain at its centre, in the form the hum
// filters share:
//
//   y = 2 (alpha (x0 - x2) + gamma y1 - beta y2)
//
// Subtracting (1 - A) times its output from the input leaves a notch of depth A at the centre.
#pragma once

#include <cmath>

namespace ztlive {

struct Resonator {
  double alpha = 0;
  double beta = 0;
  double gamma = 0;
};

struct ResonatorState {
  double x1 = 0;
  double x2 = 0;
  double y1 = 0;
  double y2 = 0;
};

// A resonator at centre Hz whose band between the half-power points is bandwidth Hz wide.
inline Resonator DesignResonator(double centre, double bandwidth, double sampleRate) {
  const double t = std::tan(M_PI * bandwidth / sampleRate);
  Resonator r;
  r.beta = (1 - t) * 0.5 / (1 + t);
  r.gamma = std::cos(2 * M_PI * centre / sampleRate) * (0.5 + r.beta);
  r.alpha = (0.5 - r.beta) * 0.5;
  return r;
}

inline double Resonate(const Resonator& r, ResonatorState& s, double x0) {
  const double y = 2 * (r.alpha * (x0 - s.x2) + r.gamma * s.y1 - r.beta * s.y2);
  s.x2 = s.x1;
  s.x1 = x0;
  s.y2 = s.y1;
  s.y1 = y;
  return y;
}

}  // namespace ztlive
