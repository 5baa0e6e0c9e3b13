// The continuous noise filter's estimators: the element-pair mode gives exactly the outputs
// it gave before the per-bin estimator was added, and the per-bin estimator takes hiss out
// of music and speech without letting isolated noise peaks through.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "filters/framework/real_fft.h"
#include "filters/framework/preset_store.h"
#include "filters/restoration/continuous_noise_filter.h"
#include "filters/restoration/noise_sampler.h"
#include "platform/scripted_prompts.h"
#include "filters/restoration/hiss_test_support.h"
#include "testing/engine_run.h"
#include "testing/test_folder.h"
#include "testing/test_signals.h"

namespace ztlive {
namespace {

using test::Hiss;
using test::RunEngine;
using test::SamplePrint;

constexpr uint32_t kRate = 44100;

// 64-bit FNV-1a over the output values, then their count.
uint64_t Fingerprint(const std::vector<SampleValue>& values) {
  uint64_t hash = 14695981039346656037ull;
  const auto mix = [&](uint64_t word) {
    for (int byte = 0; byte < 8; ++byte) {
      hash ^= (word >> (8 * byte)) & 0xff;
      hash *= 1099511628211ull;
    }
  };
  for (const SampleValue v : values) mix(static_cast<uint64_t>(static_cast<int64_t>(v)));
  mix(values.size());
  return hash;
}

struct PairModeCase {
  int channels;
  int32_t attack, release, attenuation, sizeIndex;
  bool speech;
  uint64_t fingerprint;  // the outputs of the element-pair mode before the per-bin estimator
};

constexpr PairModeCase kPairModeCases[] = {
    {1, 20, 100, 100, 0, false, 0x4e66898ebece0159ull},
    {2, 20, 200, 50, 3, true, 0xfca3b3fa930c0102ull},
    {1, 50, 10, 30, 2, true, 0x00b5015bc419ece2ull},
    {2, 10, 500, 80, 1, false, 0x1e1a825908d93204ull},
};

TEST(ContinuousNoiseEstimators, ThePairModeKeepsItsOutputs) {
  for (const PairModeCase& c : kPairModeCases) {
    SCOPED_TRACE(testing::Message() << c.channels << " channels, size index " << c.sizeIndex);
    const std::vector<SampleValue> signal =
        c.speech ? test::SpeechLike(c.channels, 1.5, kRate) : test::MusicLike(c.channels, 1.5, kRate);
    const std::vector<SampleValue> hiss = Hiss(signal.size(), -40, 21);
    std::vector<SampleValue> noisy(signal.size());
    for (size_t i = 0; i < signal.size(); ++i) noisy[i] = signal[i] + hiss[i];
    NoiseReductionProcessor engine;
    engine.SetNoisePrint(SamplePrint(Hiss(kRate / 2 * c.channels, -40, 5), c.channels, int32_t{1} << (c.sizeIndex + 8)));
    PresetValues values;
    values.p[0] = c.attack;
    values.p[1] = c.release;
    values.p[2] = c.attenuation;
    values.p[3] = c.sizeIndex;
    engine.SetValues(values);
    const uint64_t fingerprint = Fingerprint(RunEngine(engine, c.channels, kRate, noisy));
    EXPECT_EQ(fingerprint, c.fingerprint);
  }
}

double Energy(const std::vector<SampleValue>& a, const std::vector<SampleValue>* b, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += std::pow(double(a[i]) - (b != nullptr ? (*b)[i] : 0), 2);
  return sum;
}

PresetValues PerBin(int32_t estimator, int32_t releaseMs, int32_t attenuation, int32_t sizeIndex) {
  PresetValues values;
  values.p[0] = 20;
  values.p[1] = releaseMs;
  values.p[2] = attenuation;
  values.p[3] = sizeIndex;
  values.p[4] = estimator;
  return values;
}

// Hiss at -40 dBFS under music and speech after a second of hiss alone, the print sampled
// from that second. Least SNR gains just under what the estimators give (the element pairs
// give about 1 dB on music and 6 dB on speech with these settings).
struct HissCase {
  bool speech;
  int channels;
  int32_t estimator;
  double leastGainDb;
};

constexpr HissCase kHissCases[] = {
    {false, 1, NoiseReductionProcessor::kPerBinLogAmplitude, 10.5},
    {true, 2, NoiseReductionProcessor::kPerBinLogAmplitude, 11.7},
    {false, 2, NoiseReductionProcessor::kPerBinWiener, 11.0},
    {true, 1, NoiseReductionProcessor::kPerBinWiener, 12.2},
};

TEST(ContinuousNoiseEstimators, PerBinTakesHissOutOfMusicAndSpeech) {
  for (const HissCase& c : kHissCases) {
    SCOPED_TRACE(testing::Message() << (c.speech ? "speech " : "music ") << c.channels << " channels, estimator "
                                    << c.estimator);
    const size_t lead = kRate * static_cast<size_t>(c.channels);
    std::vector<SampleValue> clean(lead, 0);
    const std::vector<SampleValue> signal =
        c.speech ? test::SpeechLike(c.channels, 3.0, kRate) : test::MusicLike(c.channels, 3.0, kRate);
    clean.insert(clean.end(), signal.begin(), signal.end());
    const std::vector<SampleValue> hiss = Hiss(clean.size(), -40, 11);
    std::vector<SampleValue> noisy(clean.size());
    for (size_t i = 0; i < clean.size(); ++i) noisy[i] = clean[i] + hiss[i];
    NoiseReductionProcessor engine;
    engine.SetNoisePrint(SamplePrint(std::vector<SampleValue>(noisy.begin(), noisy.begin() + lead), c.channels, 512));
    engine.SetValues(PerBin(c.estimator, 300, 20, 1));
    const std::vector<SampleValue> out = RunEngine(engine, c.channels, kRate, noisy);
    ASSERT_EQ(out.size(), noisy.size());
    const double before = 10 * std::log10(Energy(clean, nullptr, lead, clean.size()) / Energy(noisy, &clean, lead, clean.size()));
    const double after = 10 * std::log10(Energy(clean, nullptr, lead, clean.size()) / Energy(out, &clean, lead, clean.size()));
    const double leadIn = 10 * std::log10(Energy(out, nullptr, lead / 4, lead) / Energy(noisy, nullptr, lead / 4, lead));
    std::printf("per-bin %d %s %d ch: %+.2f dB, lead-in %.1f dB\n", c.estimator, c.speech ? "speech" : "music",
                c.channels, after - before, leadIn);
    EXPECT_GE(after - before, c.leastGainDb);
    EXPECT_LT(leadIn, -17.0) << "the hiss alone goes down to near the floor";
  }
}

// Pure hiss through the per-bin estimator: in frames of 512 pairs the share of tiles that
// are cut by less than 3 dB (each a note of musical noise) stays small, while the element
// pairs pass many of them.
double PassedTileShare(const std::vector<SampleValue>& in, const std::vector<SampleValue>& out) {
  const size_t frame = 1024;
  RealFft fft(static_cast<int>(frame));
  std::vector<double> a(frame);
  std::vector<double> b(frame);
  size_t passed = 0;
  size_t tiles = 0;
  for (size_t start = kRate / 2; start + frame <= in.size(); start += frame) {
    for (size_t i = 0; i < frame; ++i) {
      const double w = 0.5 - 0.5 * std::cos(2 * M_PI * double(i) / double(frame));
      a[i] = in[start + i] * w;
      b[i] = out[start + i] * w;
    }
    fft.Forward(a.data());
    fft.Forward(b.data());
    for (size_t k = 4; k < frame / 2 - 4; ++k) {
      const double pin = a[2 * k - 1] * a[2 * k - 1] + a[2 * k] * a[2 * k];
      const double pout = b[2 * k - 1] * b[2 * k - 1] + b[2 * k] * b[2 * k];
      passed += pout > pin * 0.5 ? 1 : 0;
      ++tiles;
    }
  }
  return double(passed) / double(tiles);
}

TEST(ContinuousNoiseEstimators, IsolatedNoisePeaksDoNotPass) {
  const std::vector<SampleValue> hiss = Hiss(3 * kRate, -40, 17);
  const NoisePrint print = SamplePrint(std::vector<SampleValue>(hiss.begin(), hiss.begin() + kRate), 1, 512);
  const struct {
    int32_t estimator;
    double share;  // of tiles passed
    bool atMost;  // or at least
  } cases[] = {{NoiseReductionProcessor::kElementPairs, 0.01, false},
               {NoiseReductionProcessor::kPerBinLogAmplitude, 0.003, true},
               {NoiseReductionProcessor::kPerBinWiener, 0.003, true}};
  for (const auto& c : cases) {
    NoiseReductionProcessor engine;
    engine.SetNoisePrint(print);
    engine.SetValues(PerBin(c.estimator, 300, 30, 1));
    const double share = PassedTileShare(hiss, RunEngine(engine, 1, kRate, hiss));
    std::printf("estimator %d: %.2f %% of tiles passed\n", c.estimator, 100 * share);
    EXPECT_EQ(share <= c.share, c.atMost) << "estimator " << c.estimator << ": " << share;
  }
}

// Bypass and keep residue work in the per-bin mode as in the other, channels stay aligned.
TEST(ContinuousNoiseEstimators, PerBinBypassResidueAndAlignment) {
  const std::vector<SampleValue> hiss = Hiss(2 * 30000, -30, 5);
  const NoisePrint print = SamplePrint(hiss, 2, 1024);
  std::vector<SampleValue> tone(hiss.size());
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<SampleValue>(std::lround(4e6 * std::sin(2 * M_PI * 1000 * double(i / 2) / kRate)));
  const auto run = [&](const std::vector<SampleValue>& input, int bypass, int residue) {
    NoiseReductionProcessor engine;
    engine.SetNoisePrint(print);
    engine.SetValues(PerBin(NoiseReductionProcessor::kPerBinLogAmplitude, 300, 30, 2));
    engine.SetBypass(bypass);
    engine.keepResidue = residue;
    return RunEngine(engine, 2, kRate, input);
  };
  EXPECT_EQ(run(hiss, 1, 0), hiss);
  const std::vector<SampleValue> kept = run(hiss, 0, 0);
  const std::vector<SampleValue> taken = run(hiss, 0, 1);
  ASSERT_EQ(kept.size(), hiss.size());
  for (size_t i = 0; i < hiss.size(); i += 997) ASSERT_NEAR(taken[i], hiss[i] - kept[i], 2) << i;
  // A loud tone passes in place in both channels.
  const std::vector<SampleValue> out = run(tone, 0, 0);
  EXPECT_LT(10 * std::log10(Energy(out, &tone, 10000, 50000) / Energy(tone, nullptr, 10000, 50000)), -40);
}

// A stereo frame goes through one complex transform, its channels as the real and the
// imaginary part: with one print for both, each channel comes out as it does alone (to the
// rounding of the last bit). Frames of 256 and 512 bins cover both orders the transform's
// stages can leave the bins in.
TEST(ContinuousNoiseEstimators, PerBinStereoGivesEachChannelAsAlone) {
  const std::vector<SampleValue> music = test::MusicLike(1, 1.5, kRate);
  const std::vector<SampleValue> speech = test::SpeechLike(1, 1.5, kRate);
  const size_t frames = std::min(music.size(), speech.size());
  const std::vector<SampleValue> hiss = Hiss(2 * frames, -40, 23);
  std::vector<SampleValue> left(frames);
  std::vector<SampleValue> right(frames);
  std::vector<SampleValue> stereo(2 * frames);
  for (size_t i = 0; i < frames; ++i) {
    left[i] = stereo[2 * i] = music[i] + hiss[2 * i];
    right[i] = stereo[2 * i + 1] = speech[i] + hiss[2 * i + 1];
  }
  const struct {
    int32_t estimator, sizeIndex;
  } cases[] = {{NoiseReductionProcessor::kPerBinWiener, 0},
               {NoiseReductionProcessor::kPerBinWiener, 1},
               {NoiseReductionProcessor::kPerBinLogAmplitude, 0},
               {NoiseReductionProcessor::kPerBinLogAmplitude, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "estimator " << c.estimator << ", size index " << c.sizeIndex);
    const NoisePrint print = SamplePrint(Hiss(kRate / 2, -40, 5), 1, int32_t{1} << (c.sizeIndex + 8));
    const auto run = [&](const std::vector<SampleValue>& input, int channels) {
      NoiseReductionProcessor engine;
      engine.SetNoisePrint(print);
      engine.SetValues(PerBin(c.estimator, 300, 30, c.sizeIndex));
      return RunEngine(engine, channels, kRate, input);
    };
    const std::vector<SampleValue> both = run(stereo, 2);
    const std::vector<SampleValue> alone[2] = {run(left, 1), run(right, 1)};
    ASSERT_EQ(both.size(), stereo.size());
    SampleValue largest = 0;
    double changed = 0;
    for (size_t i = 0; i < frames; ++i)
      for (size_t ch = 0; ch < 2; ++ch) {
        largest = std::max<SampleValue>(largest, std::abs(both[2 * i + ch] - alone[ch][i]));
        changed += std::abs(double(alone[ch][i]) - double(stereo[2 * i + ch]));
      }
    EXPECT_LE(largest, 1);
    EXPECT_GT(changed / double(frames), 100.0) << "the hiss is taken out";
  }
}

// Values changed between blocks may switch a stereo run from the element pairs to the
// per-bin estimator and to other frame sizes: every size's transforms are ready from the
// start, and after the switches (back at the print's size) a tone passes in place while the
// hiss goes down. A new frame size starts the frames afresh: the output may come out shorter
// than the input, by what it leaves out.
TEST(ContinuousNoiseEstimators, PerBinStereoTakesOverMidRun) {
  const std::vector<SampleValue> hiss = Hiss(2 * 4 * kRate, -40, 29);
  std::vector<SampleValue> tone(hiss.size());
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<SampleValue>(std::lround(1e6 * std::sin(2 * M_PI * 1000 * double(i / 2) / kRate)));
  std::vector<SampleValue> noisy(hiss.size());
  for (size_t i = 0; i < noisy.size(); ++i) noisy[i] = tone[i] + hiss[i];
  NoiseReductionProcessor engine;
  engine.SetNoisePrint(SamplePrint(std::vector<SampleValue>(hiss.begin(), hiss.begin() + 2 * kRate), 2, 1024));
  engine.SetValues(PerBin(NoiseReductionProcessor::kElementPairs, 100, 30, 2));
  int blocks = 0;
  const std::vector<SampleValue> out = RunEngine(engine, 2, kRate, noisy, [&](int block) {
    blocks = block + 1;
    if (block == 1) engine.SetValues(PerBin(NoiseReductionProcessor::kPerBinWiener, 300, 30, 5));
    if (block == 2) engine.SetValues(PerBin(NoiseReductionProcessor::kPerBinLogAmplitude, 300, 30, 2));
  });
  ASSERT_GE(blocks, 4) << "the switches come before the end";
  ASSERT_LE(out.size(), noisy.size());
  const size_t missing = noisy.size() - out.size();
  ASSERT_EQ(missing % 2, 0u) << "the channels stay aligned";
  double error = 0;
  double noise = 0;
  for (size_t i = out.size() * 3 / 4; i < out.size(); ++i) {
    error += std::pow(double(out[i]) - tone[i + missing], 2);
    noise += std::pow(double(hiss[i + missing]), 2);
  }
  std::printf("after the switches: %zu values left out, error %.1f dB against the hiss\n", missing,
              10 * std::log10(error / noise));
  EXPECT_LT(10 * std::log10(error / noise), -13.0);
}

// The shipped preset gives the per-bin values and keeps the sampled print; a preset stored
// before the estimator existed (its fifth value 0) gives the element pairs.
TEST(ContinuousNoiseEstimators, ShippedAndOldPresetsLoadTheirEstimator) {
  test::TestFolder home;
  test::ScopedEnvironment environment("ZTLIVE_HOME", home.Path());
  ScriptedPrompts prompts;
  NoiseReductionProcessor engine;
  engine.prompts = &prompts;
  const NoisePrint print = SamplePrint(Hiss(20000, -40, 8), 1, 1024);
  engine.SetNoisePrint(print);
  ASSERT_EQ(engine.LoadPreset("Tape hiss"), 0);
  EXPECT_EQ(engine.values, NoiseReductionProcessor::PerBinStartingValues());
  EXPECT_EQ(engine.values.p[4], NoiseReductionProcessor::kPerBinWiener);
  EXPECT_EQ(engine.Print().points[5].left, print.points[5].left);
  EXPECT_TRUE(prompts.Entries().empty());

  ASSERT_EQ(WritePresetValuesTo("HissfilterSet", "Old", PerBin(0, 300, 70, 1), PresetTextForm::Plain), 1);
  ASSERT_EQ(WriteNoisePrintRecords("HissfilterSet", "Old", print), 1);
  ASSERT_EQ(engine.LoadPreset("Old"), 0);
  EXPECT_EQ(engine.values.p[4], NoiseReductionProcessor::kElementPairs);
  EXPECT_EQ(engine.values.p[1], 300);
}

TEST(ContinuousNoiseEstimators, ExponentialIntegralOnBothSidesOfOne) {
  const struct {
    double v, e1;
  } cases[] = {{0.01, 4.0379295765}, {0.1, 1.8229239584}, {0.5, 0.5597735948}, {0.99, 0.2230998258},
               {1.0, 0.2193839344}, {2.0, 0.0489005107}, {5.0, 0.0011482956}, {20.0, 9.8355252e-11}};
  for (const auto& c : cases) EXPECT_NEAR(ExponentialIntegral(c.v) / c.e1, 1.0, 1e-3) << c.v;
}

}  // namespace
}  // namespace ztlive
