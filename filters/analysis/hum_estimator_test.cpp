// Finding the mains fundamental: hum and buzz off nominal under music and speech, found from
// their harmonics together to a few thousandths of a hertz; no estimate from hiss alone or
// from too short a stretch.
#include "filters/analysis/hum_estimator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "testing/test_signals.h"

namespace ztlive {
namespace {

constexpr double kRate = 44100;
constexpr double kFullScale = 8388607.0;

struct HumCase {
  const char* what;
  bool speech;
  double fundamental;
  int highest;     // harmonics up to this one
  bool oddOnly;
  double rmsDbfs;  // of the whole hum
};

std::vector<double> WithHum(const HumCase& c, double seconds) {
  const std::vector<SampleValue> clean = c.speech ? test::SpeechLike(1, seconds, static_cast<uint32_t>(kRate))
                                                  : test::MusicLike(1, seconds, static_cast<uint32_t>(kRate));
  std::vector<int> numbers;
  for (int i = 1; i <= c.highest; i += c.oddOnly ? 2 : 1) numbers.push_back(i);
  // Harmonics falling 1.5 dB per harmonic number, scaled to the hum's rms.
  auto amplitude = [](int i) { return std::pow(10.0, -1.5 * (i - 1) / 20); };
  double power = 0;
  for (int i : numbers) power += 0.5 * amplitude(i) * amplitude(i);
  const double scale = std::pow(10.0, c.rmsDbfs / 20) * kFullScale / std::sqrt(power);
  std::vector<double> samples(clean.size());
  for (size_t n = 0; n < clean.size(); ++n) {
    double hum = 0;
    for (int i : numbers)
      hum += amplitude(i) * std::sin(2 * M_PI * i * c.fundamental * double(n) / kRate + i);
    samples[n] = clean[n] + scale * hum;
  }
  return samples;
}

TEST(HumEstimator, FindsTheFundamentalOfHumAndBuzzOffNominal) {
  const HumCase cases[] = {
      {"hum under music, -40 dBFS, +0.1 %", false, 50.05, 19, true, -40},
      {"hum under music, -25 dBFS, -0.1 %", false, 49.95, 19, true, -25},
      {"buzz under music, -40 dBFS, -0.1 %", false, 59.94, 16, false, -40},
      {"buzz under speech, -25 dBFS, +0.07 %", true, 60.042, 16, false, -25},
      {"hum under speech, -40 dBFS, nominal", true, 50.0, 19, true, -40},
  };
  for (const HumCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<HumEstimate> estimate = EstimateHumFundamental(WithHum(c, 10), kRate);
    ASSERT_TRUE(estimate.has_value());
    EXPECT_NEAR(estimate->fundamental, c.fundamental, 0.005);
    EXPECT_GE(estimate->harmonics, 3);
  }
}

TEST(HumEstimator, GivesNothingForHissATestToneOrTooShortAStretch) {
  test::Random random(7);
  std::vector<double> hiss(static_cast<size_t>(5 * kRate));
  for (double& v : hiss) v = (random.Uniform() - 0.5) * 1e5;
  EXPECT_FALSE(EstimateHumFundamental(hiss, kRate).has_value());
  // 1 kHz is the 20th harmonic of 50 Hz, but a tone alone is not hum.
  std::vector<double> tone(hiss.size());
  for (size_t n = 0; n < tone.size(); ++n) tone[n] = hiss[n] + 1e6 * std::sin(2 * M_PI * 1000 * double(n) / kRate);
  EXPECT_FALSE(EstimateHumFundamental(tone, kRate).has_value());
  const HumCase hum{"", false, 50, 9, true, -30};
  EXPECT_FALSE(EstimateHumFundamental(WithHum(hum, 0.5), kRate).has_value());
  EXPECT_TRUE(EstimateHumFundamental(WithHum(hum, 1.5), kRate).has_value());
}

}  // namespace
}  // namespace ztlive
