#include "testing/test_signals.h"

#include <algorithm>
#include <cmath>

namespace ztlive::test {

namespace {

// A plucked chord progression (music) or a formant-shaped buzz with syllables (speech),
// about -14 dBFS, in 24-bit sample values; stereo gets a second, different voice.
std::vector<SampleValue> Generate(bool speech, int channels, double seconds, uint32_t rate) {
  const auto frames = static_cast<size_t>(seconds * rate);
  std::vector<SampleValue> values(frames * static_cast<size_t>(channels));
  for (size_t i = 0; i < frames; ++i) {
    const double t = double(i) / rate;
    for (int c = 0; c < channels; ++c) {
      double v = 0;
      if (speech) {
        const double pitch = 120 + 30 * std::sin(2 * M_PI * 0.7 * t) + 40 * c;
        const double syllable = std::pow(std::max(0.0, std::sin(2 * M_PI * 3.1 * t + c)), 2);
        for (int h = 1; h <= 12; ++h) {
          const double f = h * pitch;
          const double formants = std::exp(-std::pow((f - 700) / 250, 2)) + 0.6 * std::exp(-std::pow((f - 1800) / 300, 2)) +
                                  0.25 * std::exp(-std::pow((f - 2600) / 400, 2));
          v += formants * std::sin(2 * M_PI * f * t + h) / (h * h);  // a voice falls 12 dB an octave
        }
        v *= syllable * 2.5;
      } else {
        const double notes[2][3] = {{261.6, 329.6, 392.0}, {220.0, 277.2, 329.6}};
        const double start = std::floor(t / 0.75) * 0.75;
        for (int n = 0; n < 3; ++n)
          for (int h = 1; h <= 6; ++h)
            v += std::exp(-(t - start) * (2 + h)) * std::sin(2 * M_PI * notes[c][n] * h * (t - start)) / h;
        v *= 0.3 * std::min(1.0, (t - start) * 200);  // a 5 ms attack: a real onset, not a click
      }
      values[i * channels + c] = static_cast<SampleValue>(std::lround(0.45 * v * 8388607.0));
    }
  }
  return values;
}

}  // namespace

std::vector<SampleValue> MusicLike(int channels, double seconds, uint32_t rate) {
  return Generate(false, channels, seconds, rate);
}

std::vector<SampleValue> SpeechLike(int channels, double seconds, uint32_t rate) {
  return Generate(true, channels, seconds, rate);
}

void AddRecordWear(std::vector<SampleValue>& values, int channels, uint32_t rate, const RecordWear& wear) {
  constexpr double kFullScale = 8388607.0;
  Random random(wear.seed);
  const double hissPeak = std::pow(10.0, wear.hissDbfs / 20.0) * std::sqrt(3.0) * kFullScale;
  const double humPeak = std::pow(10.0, wear.humDbfs / 20.0) * kFullScale;
  const size_t frames = values.size() / static_cast<size_t>(channels);
  size_t clickLeft = 0;
  double click = 0;
  for (size_t i = 0; i < frames; ++i) {
    if (clickLeft == 0 && i >= wear.cleanFrames && random.Uniform() < wear.clicksPerSecond / rate) {
      clickLeft = 1 + static_cast<size_t>(random.Uniform() * 8);
      click = (random.Uniform() < 0.5 ? -1 : 1) * (0.1 + 0.4 * random.Uniform()) * kFullScale;
    }
    const double hum = humPeak * std::sin(2 * M_PI * 50.0 * double(i) / rate);
    for (int c = 0; c < channels; ++c) {
      SampleValue& value = values[i * static_cast<size_t>(channels) + static_cast<size_t>(c)];
      double v = value + hum + (2 * random.Uniform() - 1) * hissPeak;
      if (clickLeft > 0) v += click * (c == 0 ? 1.0 : 0.8);
      value = static_cast<SampleValue>(std::clamp(std::lround(v), -8388608L, 8388607L));
    }
    if (clickLeft > 0) {
      --clickLeft;
      click *= -0.7;
    }
  }
}

}  // namespace ztlive::test
