// Clean test signals for the restoration filters: music-like (a plucked chord progression)
// and speech-like (a voiced buzz shaped by formants, in syllables), in 24-bit sample values.
#pragma once

#include <cstdint>
#include <vector>

#include "core/sample_value.h"

namespace ztlive::test {

// A deterministic generator of uniform values in [0, 1).
class Random {
 public:
  explicit Random(uint32_t seed) : m_state(seed) {}
  double Uniform() {  // [0, 1)
    m_state = m_state * 1664525u + 1013904223u;
    return (m_state >> 8) / double(1 << 24);
  }

 private:
  uint32_t m_state;
};

// About -14 dBFS; stereo gets a second, different voice.
std::vector<SampleValue> MusicLike(int channels, double seconds, uint32_t rate);
std::vector<SampleValue> SpeechLike(int channels, double seconds, uint32_t rate);

}  // namespace ztlive::test
