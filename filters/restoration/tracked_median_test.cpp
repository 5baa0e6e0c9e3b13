// The tracked median must equal a full selection on every window, whether the window drifts
// slowly, jumps to another level, holds many equal values or starts from silence.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "filters/restoration/tracked_median.h"

namespace ztlive {
namespace {

double FullSelection(std::vector<double> values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

TEST(TrackedMedian, EqualsAFullSelectionOnSlidingWindows) {
  constexpr size_t kWindow = 256;
  constexpr size_t kStep = 64;
  std::mt19937 random(7);
  std::normal_distribution<double> noise;
  // A stream of absolute errors: silence, a slow swell, a sudden jump, a run of equal values,
  // rare outliers and a fall back to quiet.
  std::vector<double> stream;
  for (size_t i = 0; i < 600; ++i) stream.push_back(0.0);
  for (size_t i = 0; i < 6000; ++i) stream.push_back(std::abs(noise(random)) * (1.0 + double(i) / 1000.0));
  for (size_t i = 0; i < 2000; ++i) stream.push_back(std::abs(noise(random)) * 500.0);
  for (size_t i = 0; i < 1000; ++i) stream.push_back(3.0);
  for (size_t i = 0; i < 4000; ++i) stream.push_back(i % 97 == 0 ? 1e6 : std::abs(noise(random)));
  for (size_t i = 0; i < 2000; ++i) stream.push_back(std::round(std::abs(noise(random)) * 2.0));

  TrackedMedian median;
  median.Allocate(kWindow);
  size_t windows = 0;
  for (size_t start = 0; start + kWindow <= stream.size(); start += kStep, ++windows) {
    const std::vector<double> window(stream.begin() + static_cast<std::ptrdiff_t>(start),
                                     stream.begin() + static_cast<std::ptrdiff_t>(start + kWindow));
    ASSERT_EQ(median.Of(window.data(), kWindow), FullSelection(window)) << "window at " << start;
  }
  EXPECT_GT(windows, 200u);

  // Short windows, odd and even lengths, after a reset.
  for (size_t count : {1u, 2u, 3u, 17u, 40u}) {
    median.Reset();
    for (size_t start = 0; start + count <= 400; start += 3) {
      const std::vector<double> window(stream.begin() + static_cast<std::ptrdiff_t>(7000 + start),
                                       stream.begin() + static_cast<std::ptrdiff_t>(7000 + start + count));
      ASSERT_EQ(median.Of(window.data(), count), FullSelection(window)) << count << " values at " << start;
    }
  }
}

}  // namespace
}  // namespace ztlive
