// The impulse filter on degraded material: clean music-like and speech-like signals with
// clicks of 1 to 60 samples added at random places; the output is compared with the clean
// signal inside and outside the clicks. Also the rules: spike repair, forced end, bypass,
// keep residue, frame counts, presets in their stored order.
#include "filters/restoration/impulse_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "filters/restoration/gap_prediction.h"
#include "filters/restoration/savitzky_golay.h"
#include "testing/engine_run.h"
#include "testing/test_signals.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

using test::RunEngine;

constexpr uint32_t kRate = 44100;

using test::Random;

std::vector<SampleValue> Clean(bool speech, int channels, double seconds) {
  return speech ? test::SpeechLike(channels, seconds, kRate) : test::MusicLike(channels, seconds, kRate);
}

struct Click {
  size_t frame;
  int width;
};

// Adds clicks of widths 1 ... 60 at random frames at least 2000 frames apart, the same in
// both channels: a sharp start and a fast decay of broadband values, as a scratch makes.
std::vector<Click> AddClicks(std::vector<SampleValue>& values, int channels, uint32_t seed) {
  Random random(seed);
  std::vector<Click> clicks;
  const size_t frames = values.size() / channels;
  for (size_t frame = 3000; frame + 3000 < frames; frame += 2000 + static_cast<size_t>(random.Uniform() * 2000)) {
    const int width = 1 + static_cast<int>(random.Uniform() * 60);
    const double height = (0.25 + 0.5 * random.Uniform()) * (random.Uniform() < 0.5 ? -1 : 1) * 8388607.0;
    for (int k = 0; k < width; ++k) {
      const double jitter = random.Uniform();
      const double shape = std::exp(-2.5 * k / width) * (k == 0 ? 1.0 : (jitter < 0.5 ? -1 : 1) * (0.3 + jitter));
      for (int c = 0; c < channels; ++c) {
        SampleValue& v = values[(frame + k) * channels + c];
        v = static_cast<SampleValue>(std::clamp(v + height * shape, -8388608.0, 8388607.0));
      }
    }
    clicks.push_back({frame, width});
  }
  return clicks;
}

struct Outcome {
  double removedShare = 0;  // clicks whose residual is 20 dB below their energy
  double outsideDb = 0;     // error outside the clicks against the signal, dB
};

Outcome Measure(const std::vector<SampleValue>& clean, const std::vector<SampleValue>& degraded,
                const std::vector<SampleValue>& out, const std::vector<Click>& clicks, int channels) {
  Outcome outcome;
  std::vector<bool> nearClick(clean.size() / channels, false);
  int removed = 0;
  for (const Click& click : clicks) {
    double energy = 0;
    double residual = 0;
    for (int k = 0; k < click.width; ++k)
      for (int c = 0; c < channels; ++c) {
        const size_t i = (click.frame + k) * channels + c;
        energy += std::pow(double(degraded[i]) - clean[i], 2);
        residual += std::pow(double(out[i]) - clean[i], 2);
      }
    if (residual * 100 <= energy) ++removed;
    for (long k = -64; k < click.width + 64; ++k) nearClick[static_cast<size_t>(long(click.frame) + k)] = true;
  }
  outcome.removedShare = double(removed) / double(clicks.size());
  double signal = 0;
  double error = 0;
  for (size_t frame = 0; frame < nearClick.size(); ++frame) {
    if (nearClick[frame]) continue;
    for (int c = 0; c < channels; ++c) {
      const size_t i = frame * channels + c;
      signal += double(clean[i]) * clean[i];
      error += std::pow(double(out[i]) - clean[i], 2);
    }
  }
  outcome.outsideDb = 10 * std::log10(std::max(error, 1e-9) / signal);
  return outcome;
}

// Settings for each detector that suit this material: a threshold for the median detector,
// a tracking for the high-pass ones, and a window size.
PresetValues ImpulseValues(int type, int quality) {
  PresetValues values;
  if (type == ImpulseProcessor::kModelBased) {  // the model-based detector's starting values
    const auto& parameters = ImpulseProcessor::Descriptor().parameters;
    values.p[0] = parameters[0].start;
    values.p[1] = parameters[1].start;
    values.p[2] = type;
    values.p[5] = quality;
    return values;
  }
  values.p[0] = type == 0 ? 2000 : 1;
  values.p[1] = type == 0 ? 15 : type == 1 ? 30 : 7;
  values.p[2] = type;
  values.p[4] = type == 0 ? 1 : type == 1 ? 50 : 5;
  values.p[5] = quality;
  return values;
}

// What the filter as specified reaches on this material (measured, with some margin), per
// detector and repair quality: the least share of clicks removed, and per detector and
// material the largest error outside the clicks.
//  - The two-sided prediction ("Accuracy") repairs far better than the cubic curve ("Speed").
//  - The median ("78's") and the two high-pass ("HQ Mode") detectors find the clicks; the
//    single high-pass detector ("Vinyl LP") lets its threshold follow the click's own energy,
//    so a click longer than a few samples is declared over early and only its start repaired.
//  - On the voiced speech the detectors also fire on the voice's own peaks; those repairs are
//    the error outside the clicks.
//  - The model-based detector ("Model-Based") always repairs by prediction, so both
//    qualities give the same; it finds most clicks but also takes some of the music's and the
//    voice's sharpest moments for clicks, whose repair is the error outside.
constexpr double kLeastRemoved[4][2] = {{0.45, 0.85}, {0.20, 0.30}, {0.45, 0.90}, {0.75, 0.75}};
constexpr double kMostOutsideDb[4][2] = {{-65, -4}, {-45, -35}, {-45, -8}, {-13, -13}};

TEST(ImpulseFilter, RemovesClicksFromMusicAndSpeechInEveryMode) {
  for (const bool speech : {false, true}) {
    for (const int channels : {1, 2}) {
      const std::vector<SampleValue> clean = Clean(speech, channels, 6.0);
      std::vector<SampleValue> degraded = clean;
      const std::vector<Click> clicks = AddClicks(degraded, channels, speech ? 7u : 3u);
      for (int type = 0; type < 4; ++type) {
        for (int quality = 0; quality < 2; ++quality) {
          SCOPED_TRACE(testing::Message() << (speech ? "speech " : "music ") << channels << " channels, type " << type
                                          << ", quality " << quality);
          ImpulseProcessor engine;
          engine.SetValues(ImpulseValues(type, quality));
          const std::vector<SampleValue> out = RunEngine(engine, channels, kRate, degraded);
          ASSERT_EQ(out.size(), degraded.size()) << "every frame comes out, in place";
          const Outcome outcome = Measure(clean, degraded, out, clicks, channels);
          std::printf("%s %s, type %d, quality %d: %zu clicks, %.0f%% removed, error outside %.1f dB, %lld counted\n",
                      speech ? "speech" : "music", channels == 2 ? "stereo" : "mono", type, quality, clicks.size(),
                      100 * outcome.removedShare, outcome.outsideDb, static_cast<long long>(engine.ClickCount()));
          EXPECT_GE(outcome.removedShare, kLeastRemoved[type][quality]);
          EXPECT_LE(outcome.outsideDb, kMostOutsideDb[type][speech ? 1 : 0]);
          EXPECT_GE(engine.ClickCount(), static_cast<int64_t>(clicks.size()) / 2);
        }
      }
    }
  }
}

TEST(ImpulseFilter, TheRulesOfHoldingRepairingAndPassing) {
  // A single spike in silence is held: a short stretch (window 7) is smoothed, a longer one
  // (window 15) predicted from the silence around it.
  std::vector<SampleValue> spike(5000, 0);
  spike[2000] = 4000000;
  for (const int size : {7, 15}) {
    ImpulseProcessor engine;
    PresetValues values = ImpulseValues(0, 1);
    values.p[1] = size;
    engine.SetValues(values);
    const std::vector<SampleValue> out = RunEngine(engine, 1, kRate, spike);
    ASSERT_EQ(out.size(), spike.size());
    SampleValue largest = 0;
    for (SampleValue v : out) largest = std::max(largest, std::abs(v));
    if (size == 7) {
      EXPECT_LT(largest, spike[2000] / 4) << "smoothed";
      EXPECT_GT(largest, 0) << "smoothing spreads what it does not remove";
    } else {
      EXPECT_LT(largest, 100) << "predicted from silence";
    }
  }
  // A disturbance longer than 256 samples is ended by force, and the frame count holds.
  {
    std::vector<SampleValue> noise(8000, 0);
    Random random(9);
    for (size_t i = 3000; i < 3600; ++i) noise[i] = static_cast<SampleValue>((random.Uniform() - 0.5) * 6e6);
    ImpulseProcessor engine;
    engine.SetValues(ImpulseValues(2, 1));
    const std::vector<SampleValue> out = RunEngine(engine, 1, kRate, noise);
    EXPECT_EQ(out.size(), noise.size());
    EXPECT_GE(engine.ClickCount(), 3) << "600 samples of disturbance end at least twice by force";
  }
  // Bypass from the start passes the input through unchanged; keep residue outputs only what
  // the detector finds.
  {
    const std::vector<SampleValue> music = Clean(false, 1, 1.0);
    ImpulseProcessor engine;
    engine.SetValues(ImpulseValues(0, 1));
    engine.SetBypass(1);
    EXPECT_EQ(RunEngine(engine, 1, kRate, music), music);
    ImpulseProcessor residue;
    PresetValues values = ImpulseValues(0, 1);
    values.p[3] = 1;
    residue.SetValues(values);
    residue.keepResidue = 1;
    const std::vector<SampleValue> out = RunEngine(residue, 1, kRate, spike);
    size_t nonzero = 0;
    for (size_t i = 0; i < out.size(); ++i)
      if (out[i] != 0) {
        ++nonzero;
        EXPECT_NEAR(double(i), 2000 + 7 / 2, 8) << "only around the spike";
      }
    EXPECT_GT(nonzero, 0u);
  }
  // In stereo a click in one channel leaves the other as it was.
  {
    const std::vector<SampleValue> music = Clean(false, 2, 1.0);
    std::vector<SampleValue> degraded = music;
    degraded[2 * 20000] += 3000000;
    ImpulseProcessor engine;
    engine.SetValues(ImpulseValues(2, 1));
    const std::vector<SampleValue> out = RunEngine(engine, 2, kRate, degraded);
    ASSERT_EQ(out.size(), degraded.size());
    // (Up to the next chord, whose onset the right channel's own detector may take for a click.)
    for (size_t frame = 1000; frame < 33000; ++frame) ASSERT_EQ(out[2 * frame + 1], music[2 * frame + 1]) << frame;
    EXPECT_LT(std::abs(out[2 * 20000] - music[2 * 20000]), 300000);
  }
}

// Two faults of the older detectors, mended: the two-sided prediction put each value one
// sample early (the prediction for the next position), and the first samples of a run were
// taken for a click and rebuilt from the silence before it.
TEST(ImpulseFilter, PredictionRepairsLandInPlaceAndARunsStartIsNoClick) {
  for (const int channels : {1, 2}) {
    // A 500 Hz tone, which a prediction continues almost exactly, with a 20-sample buzz on
    // the first channel; "Accuracy" repairs the stereo left channel by prediction always.
    const size_t frames = 20000;
    std::vector<SampleValue> clean(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i)
      for (int c = 0; c < channels; ++c)
        clean[i * channels + c] =
            static_cast<SampleValue>(std::lround(2500000.0 * std::sin(2 * M_PI * 500.0 * double(i) / kRate + c)));
    std::vector<SampleValue> degraded = clean;
    for (int k = 0; k < 20; ++k) degraded[(10000 + k) * channels] += k % 2 == 0 ? 3000000 : -3000000;
    for (int type = 0; type < 3; ++type) {
      SCOPED_TRACE(testing::Message() << channels << " channels, type " << type);
      ImpulseProcessor engine;
      engine.SetValues(ImpulseValues(type, 1));
      const std::vector<SampleValue> out = RunEngine(engine, channels, kRate, degraded);
      ASSERT_EQ(out.size(), degraded.size());
      size_t changedAtStart = 0;
      for (size_t i = 0; i < 300 * static_cast<size_t>(channels); ++i) changedAtStart += out[i] != degraded[i];
      EXPECT_EQ(changedAtStart, 0u) << "the start of a tone is no click";
      if (channels == 2 && type != 1) {  // (type 1 at threshold 1 holds the whole tone)
        double worst = 0;
        for (size_t i = 9990; i < 10050; ++i) worst = std::max(worst, std::abs(double(out[2 * i]) - clean[2 * i]));
        EXPECT_LT(worst, 0.02 * 2500000) << "the repair follows the tone in place";
      }
    }
  }
}

TEST(ImpulseFilter, PresetsKeepTheirStoredOrder) {
  test::TestFolder home;
  test::ScopedEnvironment environment("ZTLIVE_HOME", home.Path());
  ImpulseProcessor engine;
  PresetValues values;
  values.p = {900, 12, 2, 1, 40, 1, 0, 0, 0, 0, 0};
  engine.SetValues(values);
  ASSERT_EQ(engine.WritePreset("Crackle"), 1);
  PresetValues stored;
  ASSERT_EQ(engine.ReadPreset("Crackle", stored), 0);
  EXPECT_EQ(stored.p, (std::array<int32_t, 11>{900, 12, 40, 2, 1, 0, 0, 0, 0, 0, 0}));
  ImpulseProcessor loaded;
  ASSERT_EQ(loaded.LoadPreset("Crackle"), 0);
  EXPECT_EQ(loaded.values.p, (std::array<int32_t, 11>{900, 12, 2, 0, 40, 1, 0, 0, 0, 0, 0})) << "keep residue comes back off";
}

TEST(GapPrediction, RebuildsAToneAcrossAGapAndLeavesTheOtherChannel) {
  std::vector<SampleValue> stereo(2 * 4000);
  for (size_t i = 0; i < 4000; ++i) {
    stereo[2 * i] = static_cast<SampleValue>(std::lround(3e6 * std::sin(0.031 * i) + 1e6 * std::sin(0.11 * i + 1)));
    stereo[2 * i + 1] = static_cast<SampleValue>(i);
  }
  const std::vector<SampleValue> original = stereo;
  const size_t start = 2000;
  const size_t length = 48;
  for (size_t i = start; i < start + length; ++i) stereo[2 * i] = 7777777;  // the gap's damage
  GapPredictionScratch scratch;
  SampleValue* gap = &stereo[2 * start];
  GapPrediction(gap - 2, start, gap + 2 * length, 4000 - start - length, length, 2, gap, 2, scratch);
  double error = 0;
  double signal = 0;
  for (size_t i = start; i < start + length; ++i) {
    error += std::pow(double(stereo[2 * i]) - original[2 * i], 2);
    signal += std::pow(double(original[2 * i]), 2);
    EXPECT_EQ(stereo[2 * i + 1], original[2 * i + 1]) << "the other channel is left alone";
  }
  EXPECT_LT(10 * std::log10(error / signal), -40) << "two tones are predicted closely";
  EXPECT_EQ(stereo[2 * (start - 1)], original[2 * (start - 1)]);
  EXPECT_EQ(stereo[2 * (start + length)], original[2 * (start + length)]);
}

TEST(GapPrediction, BurgFindsAKnownModelAndSmoothingWeightsFitPolynomials) {
  // x[t] = 1.6 x[t-1] - 0.8 x[t-2] + small noise.
  std::vector<double> x(40000, 0.0);
  Random random(5);
  for (size_t t = 2; t < x.size(); ++t) x[t] = 1.6 * x[t - 1] - 0.8 * x[t - 2] + (random.Uniform() - 0.5);
  BurgWork work;
  std::vector<double> coefficients;
  BurgCoefficients(x.data(), x.size(), 2, coefficients, work);
  EXPECT_NEAR(coefficients[0], 1.6, 0.02);
  EXPECT_NEAR(coefficients[1], -0.8, 0.02);

  const std::vector<double> weights = SavitzkyGolayWeights(16, 16, 4);
  ASSERT_EQ(weights.size(), 33u);
  double sum = 0;
  double fit = 0;
  for (int k = -16; k <= 16; ++k) {
    const double w = weights[static_cast<size_t>(k + 16)];
    sum += w;
    fit += w * (3 + 2 * k - 0.5 * k * k + 0.01 * k * k * k * k);  // a 4th-order polynomial, 3 at 0
    EXPECT_NEAR(w, weights[static_cast<size_t>(16 - k)], 1e-12) << "symmetric";
  }
  EXPECT_NEAR(sum, 1.0, 1e-12);
  EXPECT_NEAR(fit, 3.0, 1e-9) << "a polynomial of the order passes unchanged";
}

}  // namespace
}  // namespace ztlive
