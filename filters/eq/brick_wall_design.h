// The brick wall's impulse responses: ideal (sinc) low pass, high pass, band pass and band
// stop responses truncated to N taps around the centre tap c = N / 2. By default no window
// is applied (stop band side lobes up to about -21 dB); a Kaiser window for a chosen stop band
// attenuation can be asked for instead.
#pragma once

#include <cstdint>
#include <span>

#include "filters/framework/preset_values.h"

namespace ztlive::brick_wall {

// The constants the designs are defined with (not M_PI: the responses are fixed to them).
inline constexpr double kPi = 3.1415926535898;
inline constexpr double kTwoPi = 6.2831853071796;
inline constexpr int32_t kMaxTaps = 4095;

enum Mode : int32_t { kLowPass = 0, kHighPass = 1, kBandPass = 2, kBandStop = 3 };

// Each fills h (its size is N) for the sample rate fs; every frequency in Hz.
void DesignSincLowPass(double fc, double fs, std::span<double> h);
void DesignSincHighPass(double fc, double fs, std::span<double> h);
void DesignSincBandPass(double bw, double centre, double fs, std::span<double> h);
void DesignSincBandStop(double bw, double centre, double fs, std::span<double> h);

// Multiplies h by a Kaiser window centred on the centre tap, for a stop band of
// attenuationDb; 21 dB or less is the rectangular window, which leaves h as it is.
void ApplyKaiserWindow(double attenuationDb, std::span<double> h);
// The Kaiser window's shape parameter for a stop band attenuation (0 up to 21 dB).
double KaiserBeta(double attenuationDb);

// What the values p[0] (frequency), p[1] (upper edge), p[2] (taps), p[3] (mode) and p[4]
// (Kaiser stop band in dB, 0: no window) ask for.
struct Design {
  double width = 200.0;    // band width, Hz; 0.01 when the edges are the wrong way round
  double centre = 1000.0;  // band centre, Hz
  int32_t taps = 64;       // N, limited to 0 .. kMaxTaps
  int32_t mode = kLowPass;
  int32_t kaiserDb = 0;
};
Design DesignOf(const PresetValues& values);

// Fills h[0 .. design.taps) with the response of the design's mode; p0 is the frequency of
// the low and high pass.
void DesignResponse(const Design& design, double p0, double fs, std::span<double> h);

}  // namespace ztlive::brick_wall
