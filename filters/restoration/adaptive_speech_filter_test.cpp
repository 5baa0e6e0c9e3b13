// The adaptive speech filter run as a file run drives it: a tone pulled out of white noise,
// the two channel references of a stereo noise canceller, freeze, and a change of values
// starting it afresh.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "filters/restoration/adaptive_speech_filter.h"
#include "testing/engine_run.h"
#include "testing/test_signals.h"

namespace ztlive {
namespace {

constexpr uint32_t kRate = 44100;
constexpr double kToneHz = 441;  // whole cycles in every 100 samples

PresetValues Settings(int32_t convergence, int32_t reference, int32_t taps, int32_t delay) {
  PresetValues values;
  values.p = {convergence, 0, reference, taps, delay, 0, 0, 0, 0, 0, 0};
  return values;
}

// Signal to noise of the tone in one channel over [from, frames): the tone's least-squares
// sine and cosine against what is left; blind to the tone's phase.
double ToneSnrDb(const std::vector<SampleValue>& values, int channels, int channel, size_t from) {
  const size_t frames = values.size() / static_cast<size_t>(channels);
  double ss = 0, cc = 0, sc = 0, sv = 0, cv = 0, vv = 0;
  for (size_t n = from; n < frames; ++n) {
    const double s = std::sin(2 * M_PI * kToneHz * double(n) / kRate);
    const double c = std::cos(2 * M_PI * kToneHz * double(n) / kRate);
    const double v = values[n * static_cast<size_t>(channels) + static_cast<size_t>(channel)];
    ss += s * s, cc += c * c, sc += s * c, sv += s * v, cv += c * v, vv += v * v;
  }
  const double det = ss * cc - sc * sc;
  const double a = (sv * cc - cv * sc) / det;
  const double b = (cv * ss - sv * sc) / det;
  const double tone = a * sv + b * cv;  // the fitted part's energy
  return 10 * std::log10(tone / std::max(vv - tone, 1e-9));
}

// A tone with white noise; in stereo each channel has noise of its own.
std::vector<SampleValue> ToneInNoise(int channels, size_t frames, double tone, double noise, uint32_t seed) {
  test::Random random(seed);
  std::vector<SampleValue> values;
  for (size_t n = 0; n < frames; ++n) {
    const double t = tone * std::sin(2 * M_PI * kToneHz * double(n) / kRate);
    for (int c = 0; c < channels; ++c)
      values.push_back(static_cast<SampleValue>(t + noise * (2 * random.Uniform() - 1)));
  }
  return values;
}

TEST(AdaptiveSpeech, TheTimeDelayReferencePullsTheToneOutOfWhiteNoise) {
  struct Case {
    int channels;
    int32_t convergence;
    int32_t taps;
    int32_t delay;
  };
  for (const Case& c : {Case{1, 100, 64, 1}, Case{1, 50, 128, 10}, Case{2, 100, 32, 1}, Case{2, 100, 64, 5}}) {
    SCOPED_TRACE(testing::Message() << c.channels << " channels, " << c.taps << " taps, delay " << c.delay);
    const size_t frames = 2 * kRate;
    const std::vector<SampleValue> input = ToneInNoise(c.channels, frames, 1.5e6, 1e6, 5);
    AdaptiveProcessor engine;
    engine.SetValues(Settings(c.convergence, AdaptiveProcessor::kTimeDelay, c.taps, c.delay));
    const std::vector<SampleValue> output = test::RunEngine(engine, c.channels, kRate, input);
    ASSERT_EQ(output.size(), input.size());
    const double before = ToneSnrDb(input, c.channels, 0, frames / 2);
    for (int channel = 0; channel < c.channels; ++channel)
      EXPECT_GT(ToneSnrDb(output, c.channels, channel, frames / 2), before + 6) << "channel " << channel;
    if (c.channels == 2) {
      for (size_t n = 0; n < frames; ++n) ASSERT_EQ(output[2 * n], output[2 * n + 1]) << "one value for both";
    }

    // The residue carries the noise: hardly any tone is left in it.
    AdaptiveProcessor residue;
    residue.SetValues(Settings(c.convergence, AdaptiveProcessor::kTimeDelay, c.taps, c.delay));
    residue.keepResidue = 1;
    const std::vector<SampleValue> removed = test::RunEngine(residue, c.channels, kRate, input);
    EXPECT_LT(ToneSnrDb(removed, c.channels, 0, frames / 2), before - 6);
  }
}

TEST(AdaptiveSpeech, AChannelReferenceCancelsTheNoiseItShares) {
  // One channel holds only noise; the other a tone and that noise two frames later. The
  // filter predicts the second from the first: the prediction is the noise, the residue the
  // tone. "Right Channel" predicts the right from the left, "Left Channel" the other way.
  for (const int32_t reference : {AdaptiveProcessor::kRightChannel, AdaptiveProcessor::kLeftChannel}) {
    SCOPED_TRACE(reference);
    const int toneChannel = reference == AdaptiveProcessor::kRightChannel ? 1 : 0;
    const size_t frames = kRate;
    test::Random random(9);
    std::vector<double> noise(frames);
    for (double& v : noise) v = 2.5e6 * (2 * random.Uniform() - 1);
    std::vector<SampleValue> input(2 * frames);
    for (size_t n = 0; n < frames; ++n) {
      const double tone = 8e5 * std::sin(2 * M_PI * kToneHz * double(n) / kRate);
      input[2 * n + static_cast<size_t>(1 - toneChannel)] = static_cast<SampleValue>(noise[n]);
      input[2 * n + static_cast<size_t>(toneChannel)] =
          static_cast<SampleValue>(tone + 0.8 * (n >= 2 ? noise[n - 2] : 0.0));
    }
    AdaptiveProcessor engine;
    engine.SetValues(Settings(100, reference, 32, 0));
    engine.keepResidue = 1;
    const std::vector<SampleValue> output = test::RunEngine(engine, 2, kRate, input);
    const double before = ToneSnrDb(input, 2, toneChannel, frames / 2);
    EXPECT_GT(ToneSnrDb(output, 2, 0, frames / 2), before + 20);
    EXPECT_NEAR(engine.Weights()[2], 0.8, 0.05) << "the noise's path";
  }
}

TEST(AdaptiveSpeech, FreezeHoldsTheWeightsInMonoAndAChangeOfValuesClearsThem) {
  // Stereo keeps adapting while frozen.
  for (const int channels : {1, 2}) {
    SCOPED_TRACE(channels);
    const size_t blockFrames = 4096 / static_cast<size_t>(channels);
    std::vector<SampleValue> input = ToneInNoise(channels, 12 * blockFrames, 1.5e6, 1e6, 3);
    std::fill(input.begin() + 9 * 4096, input.end(), 0);  // silence from the tenth block on
    AdaptiveProcessor engine;
    PresetValues values = Settings(200, AdaptiveProcessor::kTimeDelay, 16, 1);
    engine.SetValues(values);
    std::vector<std::vector<double>> seen;  // the weights before each block
    test::RunEngine(engine, channels, kRate, input, [&](int block) {
      seen.emplace_back(engine.Weights(), engine.Weights() + 16);
      if (block == 3) values.p[5] = 1;  // freeze
      if (block == 7) values.p[5] = 0;  // adapt again, from what was learnt
      if (block == 9) values.p[0] = 300;
      if (block == 3 || block == 7 || block == 9) engine.SetValues(values);
    });
    ASSERT_GE(seen.size(), 11U);
    EXPECT_NE(seen[2], seen[3]) << "adapting";
    EXPECT_EQ(seen[4] == seen[7], channels == 1) << "frozen from block 3 to 6";
    EXPECT_NE(seen[7], seen[9]) << "adapting again";
    const auto largest = [](const std::vector<double>& w) {
      return std::abs(*std::max_element(w.begin(), w.end(), [](double a, double b) { return std::abs(a) < std::abs(b); }));
    };
    EXPECT_GT(largest(seen[9]), 0.05);
    EXPECT_LT(largest(seen[10]), largest(seen[9]) * 0.01) << "cleared by the new convergence";
  }
}

}  // namespace
}  // namespace ztlive
