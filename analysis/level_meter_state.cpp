#include "analysis/level_meter_state.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace ztlive {

namespace {

int NextHold(int hold, int level, double decay) {
  return hold >= level ? static_cast<int>(decay * hold) : level;
}

}  // namespace

double LevelMeterState::DecayFactor(int sampleRate) {
  return std::pow(0.38, 4096.0 / (13.0 * (sampleRate > 0 ? sampleRate : 44100)));
}

void LevelMeterState::Update(int left, int right, int sampleRate) {
  const double decay = DecayFactor(sampleRate);
  m_left = left;
  m_right = right;
  m_holdLeft = NextHold(m_holdLeft, left, decay);
  m_holdRight = NextHold(m_holdRight, right, decay);
}

std::array<int, 2> LevelMeterState::PeaksOf(const SampleValue* values, int valueCount, int channels) {
  std::array<int, 2> peaks{0, 0};
  const int stride = channels > 0 ? channels : 1;
  const int used = stride >= 2 ? 2 : 1;
  for (int i = 0; i + stride <= valueCount; i += stride)
    for (int c = 0; c < used; ++c) {
      const auto magnitude = static_cast<int>(std::min<int64_t>(kSampleMax, std::abs(int64_t{values[i + c]})));
      if (magnitude > peaks[static_cast<size_t>(c)]) peaks[static_cast<size_t>(c)] = magnitude;
    }
  return peaks;
}

std::array<LevelMeterState::ScaleMark, LevelMeterState::kScaleMarks> LevelMeterState::Scale() {
  std::array<ScaleMark, kScaleMarks> marks;
  const double full = kSampleMax;
  double e = 0.003162355322244007 * full;
  for (int k = 0; k < kScaleMarks && e < full; ++k, e += full / 10.0) {
    char text[16];
    std::snprintf(text, sizeof text, "%2.0f", 20.0 * std::log10(e / full));
    marks[static_cast<size_t>(k)] = {text, k};
  }
  return marks;
}

}  // namespace ztlive
