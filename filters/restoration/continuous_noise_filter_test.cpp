// The continuous noise filter and noise sampling on real files: hiss taken out of music and
// speech after sampling a noise-only lead-in, a loud tone passing untouched, the floor, the
// frame alignment, the print's reduction and its preset records.
#include "filters/restoration/continuous_noise_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "core/wave_stream.h"
#include "filters/framework/preset_store.h"
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

double Energy(const std::vector<SampleValue>& values, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += double(values[i]) * values[i];
  return sum;
}

double ErrorEnergy(const std::vector<SampleValue>& a, const std::vector<SampleValue>& b, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += std::pow(double(a[i]) - b[i], 2);
  return sum;
}

PresetValues Settings(int32_t attackMs, int32_t releaseMs, int32_t attenuation, int32_t sizeIndex) {
  PresetValues values;
  values.p[0] = attackMs;
  values.p[1] = releaseMs;
  values.p[2] = attenuation;
  values.p[3] = sizeIndex;
  return values;
}

// At the default settings (attack 20 ms, release 100 ms, attenuation 100, 256 pairs) the filter
// as specified takes the hiss alone down by about 14 dB, but improves the signal-to-noise
// ratio of plucked music by only about 1 dB and of speech by about 6 dB: the attack smoother
// holds each pair's gain low for some 20 ms after a sound begins, which cuts the loudest part
// of every pluck, and the release hold keeps gains up after each random peak of the noise.
constexpr double kLeastGainDb[2] = {0.5, 4.0};  // music, speech

TEST(ContinuousNoiseFilter, HissOnMusicAndSpeechIsReducedAtTheDefaultSettings) {
  for (const bool speech : {false, true}) {
    for (const int channels : {1, 2}) {
      SCOPED_TRACE(testing::Message() << (speech ? "speech " : "music ") << channels << " channels");
      // One second of hiss alone, then the signal under the same hiss.
      const size_t lead = kRate * static_cast<size_t>(channels);
      std::vector<SampleValue> clean(lead, 0);
      const std::vector<SampleValue> signal =
          speech ? test::SpeechLike(channels, 5.0, kRate) : test::MusicLike(channels, 5.0, kRate);
      clean.insert(clean.end(), signal.begin(), signal.end());
      const std::vector<SampleValue> hiss = Hiss(clean.size(), -40, 11);
      std::vector<SampleValue> noisy(clean.size());
      for (size_t i = 0; i < clean.size(); ++i) noisy[i] = clean[i] + hiss[i];

      NoiseReductionProcessor engine;
      const PresetValues defaults = engine.values;  // attack 20, release 100, attenuation 100, 256 bins
      engine.SetNoisePrint(SamplePrint(std::vector<SampleValue>(noisy.begin(), noisy.begin() + lead), channels, 256));
      engine.SetValues(defaults);
      const std::vector<SampleValue> out = RunEngine(engine, channels, kRate, noisy);
      ASSERT_EQ(out.size(), noisy.size()) << "the output keeps the input's length and place";
      const double before = 10 * std::log10(Energy(clean, lead, clean.size()) / ErrorEnergy(noisy, clean, lead, clean.size()));
      const double after = 10 * std::log10(Energy(clean, lead, clean.size()) / ErrorEnergy(out, clean, lead, clean.size()));
      NoiseReductionProcessor noiseOnly;
      noiseOnly.SetNoisePrint(engine.Print());
      noiseOnly.SetValues(defaults);
      const std::vector<SampleValue> residual = RunEngine(noiseOnly, channels, kRate, hiss);
      const double hissCut = 10 * std::log10(Energy(residual, lead, hiss.size()) / Energy(hiss, lead, hiss.size()));
      std::printf("%s %s: SNR %.1f dB -> %.1f dB (%+.1f dB); the hiss alone %.1f dB\n", speech ? "speech" : "music",
                  channels == 2 ? "stereo" : "mono", before, after, after - before, hissCut);
      EXPECT_GE(after - before, kLeastGainDb[speech ? 1 : 0]);
      EXPECT_LT(hissCut, -12.0);
    }
  }
}

TEST(ContinuousNoiseFilter, AToneFarAboveThePrintPassesWithGainOne) {
  const std::vector<SampleValue> hiss = Hiss(kRate, -50, 3);
  std::vector<SampleValue> tone(3 * kRate);
  for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<SampleValue>(std::lround(4e6 * std::sin(2 * M_PI * 1000 * i / kRate)));
  for (const int32_t size : {0, 3, 5}) {
    NoiseReductionProcessor engine;
    engine.SetValues(Settings(20, 100, 100, size));
    engine.SetNoisePrint(SamplePrint(hiss, 1, int32_t{1} << (size + 8)));
    const std::vector<SampleValue> out = RunEngine(engine, 1, kRate, tone);
    const double gainDb = 10 * std::log10(Energy(out, kRate, 2 * kRate) / Energy(tone, kRate, 2 * kRate));
    EXPECT_NEAR(gainDb, 0.0, 0.1) << "frame size index " << size;
    EXPECT_LT(10 * std::log10(ErrorEnergy(out, tone, kRate, 2 * kRate) / Energy(tone, kRate, 2 * kRate)), -60)
        << "and in place, sample for sample";
  }
}

TEST(ContinuousNoiseFilter, TheFloorTheFramesAndTheFlags) {
  const std::vector<SampleValue> hiss = Hiss(2 * 20000, -30, 5);
  const NoisePrint print = SamplePrint(hiss, 2, 1024);
  // Attenuation 0: the floor is 1 and everything passes (rounding aside), in place.
  {
    NoiseReductionProcessor engine;
    engine.SetNoisePrint(print);
    engine.SetValues(Settings(20, 100, 0, 2));
    const std::vector<SampleValue> out = RunEngine(engine, 2, kRate, hiss);
    ASSERT_EQ(out.size(), hiss.size());
    for (size_t i = 0; i < out.size(); ++i) ASSERT_NEAR(out[i], hiss[i], 1) << i;
  }
  // The noise the print was made of is cut (about 10 dB with 1024 pairs and a 100 ms release).
  {
    NoiseReductionProcessor engine;
    engine.SetNoisePrint(print);
    engine.SetValues(Settings(20, 100, 100, 2));
    const std::vector<SampleValue> out = RunEngine(engine, 2, kRate, hiss);
    const double cutDb = 10 * std::log10(Energy(out, 20000, hiss.size()) / Energy(hiss, 20000, hiss.size()));
    EXPECT_LT(cutDb, -8);
  }
  // Bypass gives the input itself; keep residue what was taken out (input - output).
  {
    NoiseReductionProcessor bypassed;
    bypassed.SetNoisePrint(print);
    bypassed.SetValues(Settings(20, 100, 100, 2));
    bypassed.SetBypass(1);
    EXPECT_EQ(RunEngine(bypassed, 2, kRate, hiss), hiss);
    NoiseReductionProcessor residue;
    residue.SetNoisePrint(print);
    residue.SetValues(Settings(20, 100, 100, 2));
    residue.keepResidue = 1;
    const std::vector<SampleValue> taken = RunEngine(residue, 2, kRate, hiss);
    NoiseReductionProcessor plain;
    plain.SetNoisePrint(print);
    plain.SetValues(Settings(20, 100, 100, 2));
    const std::vector<SampleValue> kept = RunEngine(plain, 2, kRate, hiss);
    for (size_t i = 20000; i < hiss.size(); i += 997) ASSERT_NEAR(taken[i], hiss[i] - kept[i], 2) << i;
  }
  // A file shorter than one frame still comes out whole.
  {
    NoiseReductionProcessor engine;
    engine.SetNoisePrint(print);
    engine.SetValues(Settings(20, 100, 0, 2));
    const std::vector<SampleValue> shortInput(hiss.begin(), hiss.begin() + 2 * 300);
    const std::vector<SampleValue> out = RunEngine(engine, 2, kRate, shortInput);
    ASSERT_EQ(out.size(), shortInput.size());
    for (size_t i = 0; i < out.size(); ++i) ASSERT_NEAR(out[i], shortInput[i], 1) << i;
  }
}

TEST(NoisePrint, SamplingReductionAndCurves) {
  // A stretch shorter than one frame gives a print from one padded frame.
  NoiseSampler sampler;
  PresetValues values;
  values.p[0] = 1024;
  sampler.SetValues(values);
  RunEngine(sampler, 1, kRate, Hiss(100, -30, 2));
  EXPECT_EQ(sampler.Bins(), 1024);
  EXPECT_GT(sampler.Average(0)[10], 0.0);

  // The breakpoints of 1024 pairs at 44.1 kHz, and 6 dB over the measured averages.
  std::vector<double> flat(1024, 100.0);
  const NoisePrint print = ReduceSpectrum(flat, nullptr, 44100, 1024);
  const int32_t expected[11] = {1, 86 * 1024 / 22050, 220 * 1024 / 22050, 441 * 1024 / 22050, 1102 * 1024 / 22050,
                                2205 * 1024 / 22050, 4410 * 1024 / 22050, 7350 * 1024 / 22050, 11025 * 1024 / 22050,
                                14700 * 1024 / 22050, 1024};
  for (size_t i = 0; i < 11; ++i) {
    EXPECT_EQ(print.points[i].bin, expected[i]) << i;
    EXPECT_NEAR(print.points[i].left, std::pow(10.0, 0.3) * 100 + 1, 1e-9);
    EXPECT_EQ(print.points[i].right, print.points[i].left) << "mono: both sides alike";
  }
  std::vector<double> curve;
  BuildNoiseCurve(print, false, 1024, curve);
  EXPECT_NEAR(curve[500], std::pow(std::pow(10.0, 0.3) * 100 + 1, 2), 1e-6);

  // Straight lines between breakpoints, the first line extended, nothing at or below 0.
  NoisePrint ramp;
  ramp.bins = 100;
  for (size_t i = 0; i < 11; ++i) ramp.points[i] = {static_cast<int32_t>(10 + 9 * i), 2.0 * (10 + 9 * double(i)) - 30, 0};
  BuildNoiseCurve(ramp, false, 100, curve);
  EXPECT_NEAR(curve[55], std::pow(2.0 * 55 - 30, 2), 1e-9);
  EXPECT_NEAR(curve[5], 0.01 * 0.01, 1e-12) << "2 * 5 - 30 < 0 becomes 0.01";
  EXPECT_NEAR(curve[20], std::pow(2.0 * 20 - 30, 2), 1e-9);
}

TEST(NoisePrint, PresetsCarryThePrintAndAMissingRecordIsReported) {
  test::TestFolder home;
  test::ScopedEnvironment environment("ZTLIVE_HOME", home.Path());
  ScriptedPrompts prompts;
  NoiseReductionProcessor engine;
  engine.prompts = &prompts;
  engine.SetValues(Settings(30, 250, 60, 2));
  const NoisePrint print = SamplePrint(Hiss(20000, -40, 8), 1, 1024);
  engine.SetNoisePrint(print);
  ASSERT_EQ(engine.WritePreset("Tape"), 1);
  ProfileFile file = PresetFile();
  EXPECT_EQ(file.ReadString("HissfilterSet_bin", "Tape", "").back(), ',') << "each value ends with a comma";

  NoiseReductionProcessor loaded;
  loaded.prompts = &prompts;
  ASSERT_EQ(loaded.LoadPreset("Tape"), 0);
  EXPECT_EQ(loaded.values.p[1], 250);
  EXPECT_EQ(loaded.Print().bins, 1024);
  for (size_t i = 0; i < 11; ++i) {
    EXPECT_EQ(loaded.Print().points[i].bin, print.points[i].bin);
    EXPECT_NEAR(loaded.Print().points[i].left, print.points[i].left, print.points[i].left * 1e-5);
  }

  // A preset without its print: the integers load, the message is shown, the print stays.
  PresetValues bare = Settings(40, 300, 70, 1);
  ASSERT_EQ(WritePresetValuesTo("HissfilterSet", "Bare", bare, PresetTextForm::Plain), 1);
  EXPECT_EQ(loaded.LoadPreset("Bare"), 1) << "not loaded whole";
  EXPECT_EQ(loaded.values.p[0], 40);
  EXPECT_EQ(loaded.Print().bins, 1024);
  ASSERT_FALSE(prompts.Entries().empty());
  EXPECT_EQ(prompts.Entries().back().text,
            "ERROR: Cannot load filter preset, please delete, then re-save this filter preset.");

  // Without a print the engine refuses to run.
  NoiseReductionProcessor empty;
  empty.prompts = &prompts;
  RunState run;
  WaveStream in(4096, 0, run);
  WaveStream out(4096, 0, run);
  EXPECT_EQ(empty.Prepare(in, out), 0);
  EXPECT_EQ(prompts.Entries().back().text,
            "No noise sample has been stored yet. Please sample noise before running this filter.");
}

}  // namespace
}  // namespace ztlive
