// The dynamic noise filter run as a file run drives it: where its cutoff sits (measured in the
// output spectrum), how it opens and shares one cutoff in stereo, the enhancer's gain, keep
// residue, and the two stored preset orders.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "filters/framework/preset_store.h"
#include "filters/restoration/dynamic_noise_filter.h"
#include "testing/engine_run.h"
#include "testing/test_folder.h"
#include "testing/test_signals.h"

namespace ztlive {
namespace {

constexpr uint32_t kRate = 44100;
constexpr size_t kFrames = 44100;

PresetValues Settings(int32_t threshold, int32_t frequency, int32_t gain = 0, int32_t enhancer = 0) {
  PresetValues values;
  values.p = {threshold, frequency, 50, 100, 0, gain, enhancer, 0, 0, 0, 0};
  return values;
}

// The amplitude of one frequency in one channel over [from, frames): a DFT of that bin.
double Amplitude(const std::vector<SampleValue>& values, int channels, int channel, double hz, size_t from) {
  double re = 0;
  double im = 0;
  const size_t frames = values.size() / static_cast<size_t>(channels);
  for (size_t n = from; n < frames; ++n) {
    const double phase = 2 * M_PI * hz * double(n) / kRate;
    const double v = values[n * static_cast<size_t>(channels) + static_cast<size_t>(channel)];
    re += v * std::cos(phase);
    im += v * std::sin(phase);
  }
  return 2 * std::hypot(re, im) / double(frames - from);
}

// Tones of whole cycles per second; a stereo right channel gets `rightSign` times the left.
std::vector<SampleValue> Tones(int channels, std::initializer_list<std::pair<double, double>> tones,
                               double rightSign = 1) {
  std::vector<SampleValue> values;
  for (size_t n = 0; n < kFrames; ++n) {
    double v = 0;
    for (const auto& [hz, amplitude] : tones) v += amplitude * std::sin(2 * M_PI * hz * double(n) / kRate);
    values.push_back(static_cast<SampleValue>(v));
    if (channels == 2) values.push_back(static_cast<SampleValue>(rightSign * v));
  }
  return values;
}

double Db(double ratio) { return 20 * std::log10(ratio); }

TEST(DynamicNoise, TheCutoffSitsAtTheFilterFrequencyUntilLoudTrebleOpensIt) {
  struct Case {
    const char* what;
    int channels;
    double rightSign;
    int32_t threshold;
    int32_t frequency;
    double loudHz;       // a loud tone that drives (or does not drive) the detector; 0: none
    double loudLevel;
    double probeHz;      // a quiet tone whose gain is measured
    double minDb, maxDb;  // the probe's gain through the filter
    bool open;           // the cutoff ends above the filter frequency
  };
  const Case cases[] = {
      // A first-order low pass is 3 dB down at its cutoff.
      {"quiet: 3 dB down at 1 kHz", 1, 1, 1000, 1000, 0, 0, 1000, -3.6, -2.4, false},
      {"quiet: 3 dB down at 3 kHz", 1, 1, 1000, 3000, 0, 0, 3000, -3.6, -2.4, false},
      {"quiet: treble taken away", 1, 1, 1000, 1000, 0, 0, 9000, -100, -15, false},
      {"loud treble opens the filter", 1, 1, 1000, 1000, 12000, 3e6, 9000, -1, 0.5, true},
      {"loud bass below the detector's corner leaves it", 1, 1, 1000, 1000, 50, 3e6, 9000, -100, -15, false},
      {"a threshold above the detector level holds it", 1, 1, 10000, 1000, 12000, 2e6, 9000, -100, -15, false},
      {"stereo: loud in phase opens both", 2, 1, 1000, 1000, 12000, 3e6, 9000, -1, 0.5, true},
      {"stereo: the mean of opposite channels is quiet", 2, -1, 1000, 1000, 12000, 3e6, 9000, -100, -15, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const double probe = 20000;
    const std::vector<SampleValue> input = Tones(c.channels, {{c.probeHz, probe}, {c.loudHz, c.loudLevel}}, c.rightSign);
    DynamicNoiseProcessor engine;
    engine.SetValues(Settings(c.threshold, c.frequency));
    const std::vector<SampleValue> output = test::RunEngine(engine, c.channels, kRate, input);
    ASSERT_EQ(output.size(), input.size());
    for (int channel = 0; channel < c.channels; ++channel) {
      const double gain = Db(Amplitude(output, c.channels, channel, c.probeHz, kFrames / 2) / probe);
      EXPECT_GE(gain, c.minDb) << "channel " << channel;
      EXPECT_LE(gain, c.maxDb) << "channel " << channel;
    }
    EXPECT_EQ(engine.CutoffStep() > 1000, c.open) << engine.CutoffStep();
    EXPECT_EQ(engine.CutoffStep() == 0, !c.open) << engine.CutoffStep();
  }
}

TEST(DynamicNoise, TheCutoffOpensWithinTheAttackAndClosesWithinTheRelease) {
  // 0.3 s of loud treble, then silence; the cutoff is read before every block.
  std::vector<SampleValue> input = Tones(1, {{12000, 3e6}});
  std::fill(input.begin() + kRate * 3 / 10, input.end(), 0);
  DynamicNoiseProcessor engine;
  PresetValues values = Settings(1000, 1000);
  values.p[2] = 10;  // attack ms
  values.p[3] = 50;  // release ms
  engine.SetValues(values);
  std::vector<int> steps;
  test::RunEngine(engine, 1, kRate, input, [&](int) { steps.push_back(engine.CutoffStep()); });
  ASSERT_GT(steps.size(), 8U);
  // The blocks are of equal length; at(t) is the cutoff after the first block ending at t or later.
  const double block = double(kFrames) / kRate / double(steps.size());
  const auto at = [&](double seconds) {
    return steps[std::min(steps.size() - 1, static_cast<size_t>(seconds / block) + 1)];
  };
  EXPECT_EQ(at(0.05), 1023) << "open five attack times into the burst";
  EXPECT_EQ(at(0.3 - block), 1023) << "open to the end of the burst";
  // The release takes the envelope down to 0.38 of its value per release time; from its
  // limit to the lowest step takes about seven of them.
  EXPECT_GT(at(0.3 + 0.05), 0) << "still closing one release time after the burst";
  EXPECT_EQ(at(0.3 + 0.5), 0) << "closed ten release times after the burst";
}

TEST(DynamicNoise, TheEnhancerAddsWhatTheLowPassTakesAwayWithItsGain) {
  const std::vector<SampleValue> input = test::MusicLike(2, 0.5, kRate);
  DynamicNoiseProcessor plain;
  plain.SetValues(Settings(1000, 2000));
  const std::vector<SampleValue> filtered = test::RunEngine(plain, 2, kRate, input);
  for (const int32_t gain : {0, 60, -100, 100}) {
    SCOPED_TRACE(gain);
    DynamicNoiseProcessor engine;
    engine.SetValues(Settings(1000, 2000, gain, 1));
    const std::vector<SampleValue> output = test::RunEngine(engine, 2, kRate, input);
    ASSERT_EQ(output.size(), input.size());
    const double g = std::pow(10.0, gain / 200.0);
    for (size_t i = 0; i < input.size(); ++i) {
      // out = x + G (x - lowpass); the low pass itself was truncated once.
      const double expected = input[i] + g * (double(input[i]) - filtered[i]);
      ASSERT_NEAR(output[i], expected, g + 1.01) << i;
    }
  }
  // Measured in the spectrum: a treble tone far above the cutoff gains by about 1 + G.
  const std::vector<SampleValue> treble = Tones(1, {{15000, 100000}});
  DynamicNoiseProcessor engine;
  engine.SetValues(Settings(10000, 200, 60, 1));
  const std::vector<SampleValue> output = test::RunEngine(engine, 1, kRate, treble);
  EXPECT_NEAR(Amplitude(output, 1, 0, 15000, 100) / 100000, 1 + std::pow(10.0, 0.3), 0.05);
}

TEST(DynamicNoise, KeepResidueGivesWhatTheFilterTakesAway) {
  const std::vector<SampleValue> input = test::MusicLike(2, 0.5, kRate);
  for (const int32_t enhancer : {0, 1}) {
    SCOPED_TRACE(enhancer);
    DynamicNoiseProcessor filter;
    filter.SetValues(Settings(1000, 1500, 40, enhancer));
    const std::vector<SampleValue> output = test::RunEngine(filter, 2, kRate, input);
    DynamicNoiseProcessor residue;
    residue.SetValues(Settings(1000, 1500, 40, enhancer));
    residue.keepResidue = 1;
    const std::vector<SampleValue> removed = test::RunEngine(residue, 2, kRate, input);
    ASSERT_EQ(removed.size(), input.size());
    double removedPower = 0;
    for (size_t i = 0; i < input.size(); ++i) {
      ASSERT_NEAR(double(output[i]) + removed[i], input[i], 2.01) << i;
      removedPower += double(removed[i]) * removed[i];
    }
    EXPECT_GT(removedPower, 0);
  }
}

TEST(DynamicNoise, TheEngineAndTheWindowStorePresetsInTheirOwnOrders) {
  test::TestFolder home;
  test::ScopedEnvironment environment("ZTLIVE_HOME", home.Path());
  DynamicNoiseProcessor engine;
  // threshold, frequency, attack, release, p[4], gain, enhancer
  engine.SetValues(PresetValues{{1200, 4000, 30, 250, 7, -40, 1}});
  ASSERT_EQ(engine.WritePreset("Engine"), 1);
  PresetValues stored;
  ASSERT_EQ(ReadPresetValues("AnalogNoiseFilterSet", "Engine", stored), 0);
  EXPECT_EQ(stored, (PresetValues{{30, 250, 1200, 4000, -40, 7, 1}}));

  DynamicNoiseProcessor loaded;
  ASSERT_EQ(loaded.LoadPreset("Engine"), 0);
  EXPECT_EQ(loaded.values, (PresetValues{{1200, 4000, 30, 250, 0, -40, 1}})) << "p[4] comes back as 0";

  // The window's record has the enhancer in the sixth place; the engine reads the seventh.
  const PresetValues shown{{1200, 4000, 30, 250, 0, -40, 1}};
  const PresetValues windowRecord = DynamicNoiseProcessor::WindowDescriptor().presetRecord.Store(shown);
  EXPECT_EQ(windowRecord, (PresetValues{{30, 250, 1200, 4000, -40, 1}}));
  ASSERT_EQ(WritePresetValuesTo("AnalogNoiseFilterSet", "Window", windowRecord, PresetTextForm::TrailingLineFeed), 1);
  ASSERT_EQ(loaded.LoadPreset("Window"), 0);
  EXPECT_EQ(loaded.values, (PresetValues{{1200, 4000, 30, 250, 0, -40, 0}})) << "enhancer off";
}

}  // namespace
}  // namespace ztlive
