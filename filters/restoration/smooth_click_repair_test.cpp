// A smooth click keeps the signal's own detail in its repair; a sharp one, a short stretch or
// an unknown error level leaves the two-sided prediction as it was.
#include "filters/restoration/smooth_click_repair.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace ztlive {
namespace {

constexpr double kLevel = 1000;  // the model's error level, in sample values

enum class Click { SmoothBump, FlatStep, Broadband };

double ClickValue(Click click, size_t k, size_t count, std::mt19937& random) {
  const double amplitude = 20 * kLevel;
  const double margin = 2;  // the stretch starts and ends a little outside the click
  const double width = double(count) - 2 * margin;
  const double at = double(k) - margin;
  if (at < 0 || at >= width) return 0;
  switch (click) {
    case Click::SmoothBump: return amplitude * std::sin(M_PI * (at + 0.5) / width);
    case Click::FlatStep: return amplitude;
    case Click::Broadband: return amplitude * std::exp(-3 * at / width) * std::uniform_real_distribution<>(-1, 1)(random);
  }
  return 0;
}

TEST(SmoothClickRepair, KeepsTheDetailOnlyUnderASmoothClick) {
  const struct {
    Click click;
    size_t count;
    double level;
    bool kept;
  } cases[] = {
      {Click::SmoothBump, 40, kLevel, true},
      {Click::SmoothBump, 64, kLevel, true},
      {Click::SmoothBump, SmoothClickRepair::kShortest - 1, kLevel, false},
      {Click::SmoothBump, 40, 0, false},
      {Click::FlatStep, 40, kLevel, false},
      {Click::Broadband, 40, kLevel, false},
  };
  SmoothClickRepair repair;
  repair.Allocate(64);
  for (const auto& c : cases) {
    std::mt19937 random(3);
    std::normal_distribution<double> detail(0, kLevel);
    // The signal: a slow tone the prediction follows exactly, and detail it cannot know.
    std::vector<double> signal(c.count);
    std::vector<SampleValue> samples(2 * c.count);  // stereo: the other channel's values between
    std::vector<SampleValue> predicted(c.count);
    for (size_t k = 0; k < c.count; ++k) {
      const double tone = 50 * kLevel * std::sin(0.02 * double(k));
      signal[k] = tone + detail(random);
      samples[2 * k] = static_cast<SampleValue>(std::lround(signal[k] + ClickValue(c.click, k, c.count, random)));
      samples[2 * k + 1] = 8388607;
      predicted[k] = static_cast<SampleValue>(std::lround(tone));
    }
    const std::vector<SampleValue> prediction = predicted;
    const bool kept = repair.Apply(samples.data(), 2, predicted.data(), c.count, c.level);
    EXPECT_EQ(kept, c.kept) << int(c.click) << " " << c.count;
    if (!kept) {
      EXPECT_EQ(predicted, prediction) << int(c.click) << " " << c.count;
      continue;
    }
    double error = 0;
    for (size_t k = 0; k < c.count; ++k) error += std::pow(predicted[k] - signal[k], 2);
    // The prediction alone misses the whole detail (an error of one level); the repair only
    // the detail's smooth part.
    EXPECT_LT(std::sqrt(error / double(c.count)), 0.75 * kLevel) << c.count;
  }
}

}  // namespace
}  // namespace ztlive
