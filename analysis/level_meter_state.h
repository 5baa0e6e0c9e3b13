// The level meter's numbers: per played buffer the peak of each channel and a peak-hold line
// that falls by a factor that depends on the sample rate, so that it falls at the same speed
// in seconds whatever the rate.
#pragma once

#include <array>
#include <string>

#include "core/sample_value.h"

namespace ztlive {

class LevelMeterState {
 public:
  // 0.38 ^ (4096 / (13 x sample rate)).
  static double DecayFactor(int sampleRate);
  // Takes the peak levels (sample-value units, 0 ... full scale) of one played buffer.
  void Update(int left, int right, int sampleRate);

  int Left() const { return m_left; }
  int Right() const { return m_right; }
  int HoldLeft() const { return m_holdLeft; }
  int HoldRight() const { return m_holdRight; }

  // The largest absolute value per channel of an interleaved block; the right is 0 for mono.
  static std::array<int, 2> PeaksOf(const SampleValue* values, int valueCount, int channels);

  // One label of the scale between the bars.
  struct ScaleMark {
    std::string text;
    int step;  // the mark stands step tenths of the bar height above the bottom
  };
  static constexpr int kScaleMarks = 10;
  // -50, -20, -14, -10, -8, -6, -4, -3, -2, -1 ("%2.0f" of the level in dB).
  static std::array<ScaleMark, kScaleMarks> Scale();

 private:
  int m_left = 0;
  int m_right = 0;
  int m_holdLeft = 0;
  int m_holdRight = 0;
};

}  // namespace ztlive
