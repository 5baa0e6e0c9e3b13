// The continuous noise filter's estimators: the element-pair mode gives exactly the outputs
// it gave before the per-bin estimator was added, and the per-bin estimator takes hiss out
// of music and speech without letting isolated noise peaks through.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "filters/restoration/continuous_noise_filter.h"
#include "filters/restoration/noise_sampler.h"
#include "testing/engine_run.h"
#include "testing/test_signals.h"

namespace ztlive {
namespace {

using test::RunEngine;

constexpr uint32_t kRate = 44100;

std::vector<SampleValue> Hiss(size_t values, double dbfs, uint32_t seed) {
  test::Random random(seed);
  const double peak = std::pow(10.0, dbfs / 20.0) * std::sqrt(3.0) * 8388607.0;
  std::vector<SampleValue> hiss(values);
  for (SampleValue& v : hiss) v = static_cast<SampleValue>(std::lround((2 * random.Uniform() - 1) * peak));
  return hiss;
}

NoisePrint SamplePrint(const std::vector<SampleValue>& noise, int channels, int32_t bins) {
  NoiseSampler sampler;
  PresetValues values;
  values.p[0] = bins;
  sampler.SetValues(values);
  RunEngine(sampler, channels, kRate, noise);
  return ReduceSpectrum(sampler.Average(0), channels == 2 ? &sampler.Average(1) : nullptr, kRate, bins);
}

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

}  // namespace
}  // namespace ztlive
