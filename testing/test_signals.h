// Clean test signals for the restoration filters: music-like (a plucked chord progression)
// and speech-like (a voiced buzz shaped by formants, in syllables), in 24-bit sample values.
#pragma once

#include <cstddef>
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

// What an old record adds, the same for the same seed: white hiss (rms level in dBFS), 50 Hz
// hum (peak level in dBFS) and clicks of 1 to 8 frames, up to half of full scale, that ring
// down alternating in sign, a little weaker on the right. No clicks fall in the first
// cleanFrames frames (room for a noise print).
struct RecordWear {
  double hissDbfs = -50;
  double humDbfs = -40;
  double clicksPerSecond = 4;
  size_t cleanFrames = 0;
  uint32_t seed = 20261208;
};
void AddRecordWear(std::vector<SampleValue>& values, int channels, uint32_t rate, const RecordWear& wear = {});

}  // namespace ztlive::test
