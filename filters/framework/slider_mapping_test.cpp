// The value control's arithmetic: trackbar positions both ways, the edit's text and reading
// typed text back, at the ranges the settings windows use.
#include "filters/framework/slider_mapping.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ztlive {
namespace {

constexpr SliderRange kFrequency{5, 20000, true, 1};
constexpr SliderRange kBandwidth{1, 200, true, 100};
constexpr SliderRange kSamples{2, 100, false, 1};

TEST(SliderMapping, TheTopIsTheMaximumTheBottomTheMinimumAndOutsideValuesStayAtTheEnds) {
  for (const SliderRange& range : {kFrequency, kBandwidth, kSamples}) {
    EXPECT_EQ(SliderPosition(range, range.maximum), kSliderTop);
    EXPECT_EQ(SliderPosition(range, range.minimum), kSliderBottom);
    EXPECT_EQ(SliderPosition(range, range.maximum + 1000), kSliderTop);
    EXPECT_EQ(SliderPosition(range, range.minimum - 1000), kSliderBottom);
    EXPECT_EQ(SliderValue(range, kSliderTop), range.maximum);
    EXPECT_EQ(SliderValue(range, kSliderBottom), range.minimum);
    EXPECT_EQ(SliderValue(range, -50), range.maximum);
    EXPECT_EQ(SliderValue(range, 20000), range.minimum);
  }
  // Linear: equal value steps are equal position steps.
  EXPECT_EQ(SliderPosition(kSamples, 51), 5000);
  EXPECT_EQ(SliderValue(kSamples, 5000), 51);
  EXPECT_EQ(SliderPosition(kSamples, 26) - SliderPosition(kSamples, 27), SliderPosition(kSamples, 75) - SliderPosition(kSamples, 76));
  // Logarithmic: the geometric middle sits half way, and each doubling is the same distance.
  EXPECT_NEAR(SliderPosition(kFrequency, 316), 5000, 2);
  EXPECT_NEAR(SliderValue(kFrequency, 5000), std::sqrt(5.0 * 20000.0), 0.5);
  EXPECT_NEAR(SliderPosition(kFrequency, 100) - SliderPosition(kFrequency, 200),
              SliderPosition(kFrequency, 5000) - SliderPosition(kFrequency, 10000), 1);
}

TEST(SliderMapping, ALogarithmicEndOfZeroIsTakenAsOneAndAnEmptyRangeDoesNotDivideByZero) {
  const SliderRange fromZero{0, 100, true, 1};
  EXPECT_EQ(SliderPosition(fromZero, 10), 5000);
  EXPECT_EQ(SliderPosition(fromZero, 0), kSliderBottom);
  EXPECT_EQ(SliderValue(fromZero, kSliderBottom), 1) << "the logarithm's end, inside the range";
  const SliderRange single{7, 7, true, 1};
  EXPECT_EQ(SliderPosition(single, 7), kSliderBottom);
  EXPECT_EQ(SliderValue(single, 3000), 7);
  const SliderRange flat{7, 7, false, 1};
  EXPECT_EQ(SliderPosition(flat, 9), kSliderBottom);
  EXPECT_EQ(SliderValue(flat, 0), 7);
}

TEST(SliderMapping, PositionsAndValuesRoundTripAndMovingDownNeverRaisesTheValue) {
  for (const SliderRange& range : {kBandwidth, kSamples, SliderRange{3, 20, false, 1}})
    for (int32_t value = range.minimum; value <= range.maximum; ++value)
      EXPECT_EQ(SliderValue(range, SliderPosition(range, value)), value) << value;
  // 5..20000 Hz has more values than steps near the top: the round trip is within half a step.
  const double stepRatio = std::exp(std::log(20000.0 / 5.0) / kSliderBottom);
  for (int32_t value = 5; value <= 20000; value += 7) {
    const int32_t back = SliderValue(kFrequency, SliderPosition(kFrequency, value));
    EXPECT_LE(std::abs(back - value), 0.5 + value * (stepRatio - 1) / 2 + 1e-9) << value;
  }
  for (const SliderRange& range : {kFrequency, kBandwidth, kSamples}) {
    int32_t previous = SliderValue(range, kSliderTop);
    for (int position = kSliderTop + 1; position <= kSliderBottom; ++position) {
      const int32_t value = SliderValue(range, position);
      ASSERT_LE(value, previous) << position;
      previous = value;
    }
  }
}

TEST(SliderMapping, TheEditShowsThePlainIntegerOrTheScaledValueInSixCharacters) {
  EXPECT_EQ(SliderEditText(kFrequency, 1000), "1000");
  EXPECT_EQ(SliderEditText(kFrequency, -5), "-5");
  EXPECT_EQ(SliderEditText(kBandwidth, 50), "  0.50");
  EXPECT_EQ(SliderEditText(kBandwidth, 200), "  2.00");
  EXPECT_EQ(SliderEditText(kBandwidth, 1), "  0.01");
  EXPECT_EQ(SliderEditText(SliderRange{0, 100000, false, 2}, 12345), "6172.50");
  EXPECT_EQ(SliderEditText(SliderRange{0, 100000, false, 1000}, 500), " 0.500");
  EXPECT_EQ(SliderEditText(SliderRange{-5000, 5000, false, 1000}, -1250), "-1.250");
  EXPECT_EQ(SliderEditText(SliderRange{0, 100, false, 0}, 42), "42") << "a scale below 1 shows the integer too";
}

TEST(SliderMapping, TypedTextIsScaledHeldInRangeAndNotCutDownByFloatingPointError) {
  EXPECT_EQ(ParseSliderEditText(kBandwidth, "0.29"), 29) << "0.29 * 100 is 28.999999999999996";
  EXPECT_EQ(ParseSliderEditText(kBandwidth, "0.57"), 57);
  EXPECT_EQ(ParseSliderEditText(kBandwidth, "1.5"), 150);
  EXPECT_EQ(ParseSliderEditText(kBandwidth, "0.025"), 2) << "the integer part of 2.5";
  EXPECT_EQ(ParseSliderEditText(kBandwidth, "  0.50 "), 50);
  EXPECT_EQ(ParseSliderEditText(kBandwidth, "+1"), 100);
  EXPECT_EQ(ParseSliderEditText(kBandwidth, "3"), 200);
  EXPECT_EQ(ParseSliderEditText(kBandwidth, "0"), 1);
  EXPECT_EQ(ParseSliderEditText(kBandwidth, "-7"), 1);
  EXPECT_EQ(ParseSliderEditText(kBandwidth, "inf"), 200);
  EXPECT_EQ(ParseSliderEditText(kFrequency, "999.94"), 999);
  EXPECT_EQ(ParseSliderEditText(kFrequency, "999.96"), 1000);
  EXPECT_EQ(ParseSliderEditText(kFrequency, "1e3"), 1000);
  EXPECT_EQ(ParseSliderEditText(kFrequency, "25000"), 20000);
  EXPECT_EQ(ParseSliderEditText(kFrequency, "4"), 5);
  EXPECT_EQ(ParseSliderEditText(kFrequency, "99999999999999999999"), 20000);
  EXPECT_EQ(ParseSliderEditText(SliderRange{-100, 100, false, 1}, "-0.04"), 0);
  EXPECT_EQ(ParseSliderEditText(SliderRange{-100, 100, false, 1}, "-12.7"), -12);
}

TEST(SliderMapping, TextThatIsNotOneNumberIsNotRead) {
  for (const char* text : {"", "   ", "abc", "12abc", "1,5", "1 2", "nan", "--1", "+-1", "+", "0x10", "1e999"})
    EXPECT_FALSE(ParseSliderEditText(kFrequency, text).has_value()) << '"' << text << '"';
}

TEST(SliderMapping, WhatTheEditShowsReadsBackAsTheSameValue) {
  for (const SliderRange& range : {kBandwidth, kSamples, SliderRange{-3000, 3000, false, 1000}, SliderRange{0, 5000, false, 7}})
    for (int32_t value = range.minimum; value <= range.maximum; ++value)
      ASSERT_EQ(ParseSliderEditText(range, SliderEditText(range, value)), value) << SliderEditText(range, value);
}

}  // namespace
}  // namespace ztlive
