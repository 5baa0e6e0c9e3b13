#include "filters/eq/paragraphic_response.h"

#include <cmath>
#include <algorithm>
#include <complex>

namespace ztlive {

double ResponsePointHz(int i, double fs) { return std::pow(10.0, 1.0 + i * (std::log10(fs / 2) - 1.0) / kResponsePoints); }

double ParagraphicResponseDb(const ParagraphicBands& bands, double f, double fs) {
  std::complex<double> h = bands.master;
  const int last = bands.count - 1;
  for (int k = 0; k < last; ++k) {
    double f0 = bands.freq[k];
    double gain = bands.amp[k];
    const double octaves = bands.bw[k];
    if (!(f0 * std::pow(2.0, octaves / 2) <= 0.55 * fs / 2) || !(f0 > 0) || !(gain > 0) || !(octaves > 0)) {
      f0 = 10.0;
      gain = 1.0;
    }
    // H(s) = (s² + s·A/Q + 1) / (s² + s/(A·Q) + 1), s = j·f/f0, with Q from the width in octaves.
    const double a = std::sqrt(gain);
    const double q = 1.0 / (2.0 * std::sinh(std::log(2.0) / 2 * octaves));
    const std::complex<double> s(0.0, f / f0);
    h *= (s * s + s * (a / q) + 1.0) / (s * s + s / (a * q) + 1.0);
  }
  // The shelf: 1 + (G − 1)·s/(1 + s), s = j·f/fc.
  const std::complex<double> s(0.0, f / bands.freq[last]);
  h *= 1.0 + (bands.amp[last] - 1.0) * s / (1.0 + s);
  return 20.0 * std::log10(std::max(std::abs(h), 1e-12));
}

ResponseCurve ParagraphicResponse(const ParagraphicBands& bands, double fs) {
  ResponseCurve curve;
  for (int i = 0; i < kResponsePoints; ++i) {
    curve.hz[i] = ResponsePointHz(i, fs);
    curve.db[i] = ParagraphicResponseDb(bands, curve.hz[i], fs);
  }
  return curve;
}

}  // namespace ztlive
