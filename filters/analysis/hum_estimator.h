// Finds the mains fundamental of hum or buzz in a stretch of sound, precisely enough to tune
// notches on its harmonics: mains drifts off its nominal 50 or 60 Hz, and 0.05 Hz off at the
// fundamental is 1 Hz off at the 19th harmonic.
//
// How: one long transform (Hann window, zero-padded four times) of the whole stretch. A line
// counts by how far it rises above the highest of the spectrum just beside it (0.5 to 2 Hz
// away): mains hum is a lone steady line there, while the partials of music crowd together
// or spread. Every candidate fundamental in the search ranges is scored by the squared rises
// of its harmonics (10 dB or more); the best candidate's rising harmonics are each located
// between bins (a parabola through the log power) and the fundamental is the weighted
// least-squares fit f_i = i f0 over them, with outliers left out. The high harmonics, located
// as precisely as the low ones, pin f0 down i times better.
#pragma once

#include <array>
#include <optional>
#include <span>

namespace ztlive {

struct HumEstimate {
  double fundamental = 0;   // Hz
  int harmonics = 0;        // harmonics (the fundamental counts as the first) that were used
  double prominenceDb = 0;  // the strongest harmonic's rise above the spectrum beside it
};

struct FrequencyRange {
  double lowest;
  double highest;
};

// Mains at 50 and 60 Hz, 1.5 % either way: wide enough for any grid and a slightly wrong tape
// speed, narrow enough to keep out the bass notes of equal temperament (G1 49.0 Hz, B1 61.7 Hz),
// whose harmonic series would otherwise pass for hum.
inline constexpr std::array<FrequencyRange, 2> kMainsRanges{{{49.25, 50.75}, {59.1, 60.9}}};

struct HumSearch {
  std::span<const FrequencyRange> ranges = kMainsRanges;  // where the fundamental is looked for
  double topFrequency = 1200;                              // harmonics above this are not used
};

// The shortest stretch worth searching; shorter ones give no estimate.
inline constexpr double kHumMinimumSeconds = 1.0;
// Longer stretches add little; callers read at most this much.
inline constexpr double kHumMaximumSeconds = 20.0;

// samples: one channel (or the channels' mean), any scale. Empty when the stretch is too short
// or no harmonic series rises above the sound around it.
std::optional<HumEstimate> EstimateHumFundamental(std::span<const double> samples, double sampleRate,
                                                  const HumSearch& search = {});

}  // namespace ztlive
