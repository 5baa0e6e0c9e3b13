// The harmonic reject filter on real files: what each method takes out of a tone at the
// fundamental, at harmonics of each series and between them, the notch mask's limits, keep
// residue, bypass, the alignment of input and output, and a change of method mid-run.
#include "filters/restoration/harmonic_reject_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "testing/engine_run.h"
#include "testing/test_signals.h"

namespace ztlive {
namespace {

using test::RunEngine;

constexpr uint32_t kRate = 44100;
constexpr double kFullScale = 8388607.0;

struct Tone {
  double hz;
  double dbfs;
};

std::vector<SampleValue> Tones(int channels, double seconds, uint32_t rate, const std::vector<Tone>& tones) {
  const auto frames = static_cast<size_t>(seconds * rate);
  std::vector<SampleValue> values(frames * static_cast<size_t>(channels));
  for (size_t i = 0; i < frames; ++i) {
    double sum = 0;
    for (const Tone& tone : tones)
      sum += std::pow(10.0, tone.dbfs / 20) * kFullScale * std::sin(2 * M_PI * tone.hz * double(i) / rate + tone.hz);
    for (int c = 0; c < channels; ++c) values[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] = std::lround(sum);
  }
  return values;
}

// The level (dB re full scale) of the sinusoid at hz in one channel from second `from` on: a
// least-squares fit of a sine and a cosine at that frequency.
double LevelDb(const std::vector<SampleValue>& values, int channels, int channel, double hz, double from) {
  double ss = 0, cc = 0, sc = 0, xs = 0, xc = 0;
  for (size_t i = static_cast<size_t>(from * kRate) * static_cast<size_t>(channels) + static_cast<size_t>(channel);
       i < values.size(); i += static_cast<size_t>(channels)) {
    const double t = 2 * M_PI * hz * double(i / static_cast<size_t>(channels)) / kRate;
    const double s = std::sin(t), c = std::cos(t), x = values[i];
    ss += s * s, cc += c * c, sc += s * c, xs += x * s, xc += x * c;
  }
  const double det = ss * cc - sc * sc;
  const double a = (xs * cc - xc * sc) / det, b = (xc * ss - xs * sc) / det;
  return 20 * std::log10(std::hypot(a, b) / kFullScale + 1e-12);
}

PresetValues Settings(double f0, int attenuation, int maxHarmonic, int series, int method = 0, int width = 20) {
  PresetValues values;
  values.p[0] = static_cast<int32_t>(std::lround(f0 * 10));
  values.p[1] = attenuation;
  values.p[2] = maxHarmonic;
  values.p[3] = series;
  values.p[5] = method;
  values.p[6] = width;
  return values;
}

struct ToneCase {
  const char* what;
  PresetValues settings;
  double hz;
  double lowestDrop;   // dB the tone falls by at least
  double highestDrop;  // and at most
};

TEST(HarmonicReject, TakesOutWhatEachSettingNamesAndPassesTheRest) {
  using H = HarmonicRejectProcessor;
  const ToneCase cases[] = {
      {"fundamental, spectral", Settings(1000, 40, 3, H::kOdd), 1000, 38.5, 41.5},
      {"between harmonics, spectral", Settings(100, 40, 9, H::kOdd), 250, -0.3, 0.3},
      {"odd series: second passes", Settings(100, 40, 9, H::kOdd), 200, -0.5, 0.6},
      {"odd series: third is cut", Settings(100, 40, 9, H::kOdd), 300, 6, 60},
      {"even series: second is cut", Settings(100, 40, 9, H::kEven), 200, 6, 60},
      {"even series: third passes", Settings(100, 40, 9, H::kEven), 300, -0.5, 0.6},
      {"all: second is cut", Settings(100, 40, 9, H::kAll), 200, 6, 60},
      {"all: third is cut", Settings(100, 40, 9, H::kAll), 300, 6, 60},
      {"maximum harmonic 1: only the fundamental", Settings(100, 40, 1, H::kAll), 300, -0.5, 0.6},
      {"narrow: fundamental", Settings(50, 60, 19, H::kOdd, H::kNarrowNotches, 20), 50, 40, 70},
      {"narrow: 19th", Settings(50, 60, 19, H::kOdd, H::kNarrowNotches, 20), 950, 40, 70},
      {"narrow: even one of all", Settings(60, 60, 16, H::kAll, H::kNarrowNotches, 20), 960, 40, 70},
      {"narrow: between harmonics", Settings(50, 60, 19, H::kOdd, H::kNarrowNotches, 20), 400, -0.15, 0.15},
      {"narrow: above the maximum", Settings(50, 60, 19, H::kOdd, H::kNarrowNotches, 20), 1050, -0.1, 0.1},
  };
  for (const ToneCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<SampleValue> input = Tones(2, 4, kRate, {{c.hz, -12}});
    HarmonicRejectProcessor engine;
    engine.SetValues(c.settings);
    const std::vector<SampleValue> output = RunEngine(engine, 2, kRate, input);
    ASSERT_EQ(output.size(), input.size());
    for (int channel = 0; channel < 2; ++channel) {
      const double drop = LevelDb(input, 2, channel, c.hz, 2) - LevelDb(output, 2, channel, c.hz, 2);
      EXPECT_GE(drop, c.lowestDrop) << "channel " << channel;
      EXPECT_LE(drop, c.highestDrop) << "channel " << channel;
    }
  }
}

TEST(HarmonicReject, MaskFollowsTheElementPairsAndStopsBelowHalfTheRate) {
  using H = HarmonicRejectProcessor;
  auto derive = [](const PresetValues& settings, uint32_t rate) {
    HarmonicRejectProcessor engine;
    engine.SetValues(settings);
    RunEngine(engine, 1, rate, std::vector<SampleValue>(4096, 0));
    return engine.NotchMask();
  };
  // Harmonics 3, 5 and 7 of 1000 Hz at 44.1 kHz: bins trunc(i f0 / (fs / 4096)).
  std::vector<double> mask = derive(Settings(1000, 20, 7, H::kOdd), kRate);
  const double a = std::pow(10.0, -20 * 0.05);
  for (int i : {3, 5, 7}) {
    const auto k = static_cast<size_t>(1000.0 * i / (kRate / 4096.0));
    EXPECT_DOUBLE_EQ(mask[k], a) << i;
    EXPECT_DOUBLE_EQ(mask[k - 1], (a + 1) / 2) << i;
    EXPECT_DOUBLE_EQ(mask[k + 1], (a + 1) / 2) << i;
  }
  EXPECT_EQ(std::count(mask.begin(), mask.end(), 1.0), 2048 - 9);
  // At 11025 Hz only the second harmonic of 2000 Hz lies below half the rate.
  mask = derive(Settings(2000, 20, 10, H::kAll), 11025);
  EXPECT_EQ(std::count(mask.begin(), mask.end(), 1.0), 2048 - 3);
  for (int maximum : {0, 1}) {
    mask = derive(Settings(100, 20, maximum, H::kAll), kRate);
    EXPECT_EQ(std::count(mask.begin(), mask.end(), 1.0), 2048) << maximum;
  }
}

TEST(HarmonicReject, KeepResidueGivesTheHumAndBypassTheInputInPlace) {
  using H = HarmonicRejectProcessor;
  const std::vector<Tone> hum = {{50, -30}, {150, -36}, {250, -40}};
  std::vector<Tone> music = hum;
  music.push_back({600, -12});
  const std::vector<SampleValue> input = Tones(2, 4, kRate, music);
  for (int method : {H::kSpectral, H::kNarrowNotches}) {
    SCOPED_TRACE(method);
    HarmonicRejectProcessor residue;
    PresetValues settings = Settings(50, 60, 9, H::kOdd, method, 20);
    settings.p[4] = 1;
    residue.SetValues(settings);
    const std::vector<SampleValue> removed = RunEngine(residue, 2, kRate, input);
    ASSERT_EQ(removed.size(), input.size());
    EXPECT_LT(LevelDb(removed, 2, 1, 600, 2), -12 - 20);
    // All of the hum: the spectral method's three-bin notches take most of each harmonic.
    for (const Tone& tone : hum) {
      const double level = LevelDb(removed, 2, 0, tone.hz, 2);
      EXPECT_LE(level, tone.dbfs + 0.5) << tone.hz;
      EXPECT_GE(level, tone.dbfs - (method == H::kSpectral && tone.hz > 50 ? 4 : 0.5)) << tone.hz;
    }

    HarmonicRejectProcessor bypassed;
    bypassed.SetValues(settings);
    bypassed.SetBypass(1);
    EXPECT_EQ(RunEngine(bypassed, 2, kRate, input), input);
  }
}

TEST(HarmonicReject, EachStereoChannelComesOutAsItWouldAlone) {
  using H = HarmonicRejectProcessor;
  const std::vector<SampleValue> left = Tones(1, 3, kRate, {{50, -30}, {150, -35}, {440, -12}});
  const std::vector<SampleValue> right = Tones(1, 3, kRate, {{50, -20}, {250, -30}, {660, -15}});
  std::vector<SampleValue> stereo;
  for (size_t i = 0; i < left.size(); ++i) stereo.insert(stereo.end(), {left[i], right[i]});
  for (int method : {H::kSpectral, H::kNarrowNotches}) {
    SCOPED_TRACE(method);
    auto run = [method](int channels, const std::vector<SampleValue>& values) {
      HarmonicRejectProcessor engine;
      engine.SetValues(Settings(50, 60, 19, H::kOdd, method));
      return RunEngine(engine, channels, kRate, values);
    };
    const std::vector<SampleValue> both = run(2, stereo);
    const std::vector<SampleValue> alone[2] = {run(1, left), run(1, right)};
    ASSERT_EQ(both.size(), stereo.size());
    for (size_t i = 0; i < left.size(); ++i)
      for (size_t c = 0; c < 2; ++c) ASSERT_NEAR(both[2 * i + c], alone[c][i], 1) << i << " " << c;
  }
}

TEST(HarmonicReject, ChangingMethodMidRunNeitherLosesNorRepeatsValues) {
  using H = HarmonicRejectProcessor;
  const std::vector<SampleValue> input = Tones(1, 6, kRate, {{440, -12}});
  HarmonicRejectProcessor engine;
  engine.SetValues(Settings(50, 60, 9, H::kOdd, H::kSpectral));
  engine.SetBypass(1);
  const std::vector<SampleValue> output = RunEngine(engine, 1, kRate, input, [&engine](int block) {
    PresetValues values = engine.GetValues();
    values.p[5] = block % 3 == 1 ? H::kNarrowNotches : H::kSpectral;
    engine.SetValues(values);
  });
  // Bypassed, whatever the method, every value comes out once, where it went in.
  EXPECT_EQ(output, input);
}

}  // namespace
}  // namespace ztlive
