#include "app/edit_dialogs/fade_curve.h"

#include <cmath>
#include <limits>

namespace ztlive {

namespace {

constexpr double kE10 = 22026.465794806718;  // e^10

// Hundredths of a dB as a plain gain factor.
double Gain(int hundredths) { return std::pow(10.0, hundredths * 0.0005); }

double LevelOf(double gain) {
  return gain > 0.0 ? 20.0 * std::log10(gain) : -std::numeric_limits<double>::infinity();
}

}  // namespace

double FadeLevelDb(const FadeSettings& fade, double t) {
  const double g1 = Gain(fade.startLevel);
  const double g2 = Gain(fade.endLevel);
  switch (fade.curve) {
    case FadeCurve::Linear:
      return LevelOf(g1 + (g2 - g1) * t);
    case FadeCurve::Logarithmic:
      if (g1 > g2) return LevelOf(g2 + (g1 - g2) / kE10 * std::exp(10.0 * (1.0 - t)));
      return LevelOf(g1 + (g2 - g1) / kE10 * std::exp(10.0 * t));
    case FadeCurve::Adjustable: {
      const double p0 = fade.startLevel / 100.0;
      const double p1 = fade.firstControlLevel / 100.0;
      const double p2 = fade.secondControlLevel / 100.0;
      const double p3 = fade.endLevel / 100.0;
      const double c = 3.0 * (p1 - p0);
      const double b = 3.0 * (p2 - p1) - c;
      const double a = p3 - p0 - c - b;
      return p0 + t * (c + t * (b + t * a));
    }
  }
  return LevelOf(g1);
}

}  // namespace ztlive
