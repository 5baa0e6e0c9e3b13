#include "filters/eq/brick_wall_design.h"

#include <algorithm>
#include <cmath>

namespace ztlive::brick_wall {

namespace {

// The band pass value at offset d from the centre tap (d != 0).
double BandPassTap(double bw, double centre, double fs, double d) {
  return 2.0 * std::sin(kTwoPi * (bw / 2.0) * d / fs) / (kPi * d) * std::cos(kTwoPi * centre * d / fs);
}

}  // namespace

void DesignSincLowPass(double fc, double fs, std::span<double> h) {
  const auto c = static_cast<int64_t>(h.size() / 2);
  for (size_t i = 0; i < h.size(); ++i) {
    const double d = static_cast<double>(static_cast<int64_t>(i) - c);
    h[i] = d == 0 ? 2.0 * fc / fs : std::sin(kTwoPi * fc * d / fs) / (kPi * d);
  }
}

void DesignSincHighPass(double fc, double fs, std::span<double> h) {
  // A low pass of half-width e shifted up to the middle of the band above fc.
  const double e = (fs / 2.0 - fc) / 2.0;
  const double shift = fc / 2.0 + fs / 4.0;
  const auto c = static_cast<int64_t>(h.size() / 2);
  for (size_t i = 0; i < h.size(); ++i) {
    const double d = static_cast<double>(static_cast<int64_t>(i) - c);
    h[i] = d == 0 ? 4.0 * e / fs : 2.0 * std::sin(kTwoPi * e * d / fs) / (kPi * d) * std::cos(kTwoPi * shift * d / fs);
  }
}

void DesignSincBandPass(double bw, double centre, double fs, std::span<double> h) {
  const auto c = static_cast<int64_t>(h.size() / 2);
  for (size_t i = 0; i < h.size(); ++i) {
    const double d = static_cast<double>(static_cast<int64_t>(i) - c);
    h[i] = d == 0 ? 2.0 * bw / fs : BandPassTap(bw, centre, fs, d);
  }
}

void DesignSincBandStop(double bw, double centre, double fs, std::span<double> h) {
  DesignSincBandPass(bw, centre, fs, h);
  for (double& tap : h) tap = -tap;
  if (!h.empty()) h[h.size() / 2] = 1.0 - 2.0 * bw / fs;
}

double KaiserBeta(double attenuationDb) {
  if (attenuationDb > 50) return 0.1102 * (attenuationDb - 8.7);
  if (attenuationDb > 21) return 0.5842 * std::pow(attenuationDb - 21, 0.4) + 0.07886 * (attenuationDb - 21);
  return 0;
}

namespace {

// The modified Bessel function of the first kind, order 0, by its power series.
double BesselI0(double x) {
  const double quarter = x * x / 4;
  double term = 1;
  double sum = 1;
  for (int k = 1; k < 500 && term > sum * 1e-17; ++k) {
    term *= quarter / (double(k) * k);
    sum += term;
  }
  return sum;
}

}  // namespace

void ApplyKaiserWindow(double attenuationDb, std::span<double> h) {
  const double beta = KaiserBeta(attenuationDb);
  const auto c = static_cast<int64_t>(h.size() / 2);
  if (beta == 0 || c == 0) return;
  const double scale = 1.0 / BesselI0(beta);
  for (size_t i = 0; i < h.size(); ++i) {
    const double r = static_cast<double>(static_cast<int64_t>(i) - c) / static_cast<double>(c);
    h[i] *= BesselI0(beta * std::sqrt(std::max(0.0, 1 - r * r))) * scale;
  }
}

Design DesignOf(const PresetValues& values) {
  Design design;
  design.width = values.p[1] - values.p[0];
  if (design.width < 0) design.width = 0.01;
  design.centre = values.p[0] + design.width * 0.5;
  design.taps = std::clamp(values.p[2], int32_t{0}, kMaxTaps);
  design.mode = values.p[3];
  design.kaiserDb = values.p[4];
  return design;
}

void DesignResponse(const Design& design, double p0, double fs, std::span<double> h) {
  h = h.first(static_cast<size_t>(design.taps));
  switch (design.mode) {
    case kHighPass: DesignSincHighPass(p0, fs, h); break;
    case kBandPass: DesignSincBandPass(design.width, design.centre, fs, h); break;
    case kBandStop: DesignSincBandStop(design.width, design.centre, fs, h); break;
    default: DesignSincLowPass(p0, fs, h); break;  // 0 and any other value
  }
  ApplyKaiserWindow(design.kaiserDb, h);
}

}  // namespace ztlive::brick_wall
