#include "filters/framework/preset_values.h"

#include <gtest/gtest.h>

namespace ztlive {
namespace {

PresetValues Counting() {
  PresetValues values;
  for (size_t i = 0; i < 11; ++i) values.p[i] = static_cast<int32_t>(i * 10) - 30;
  return values;
}

TEST(PresetValues, TheThreeStoredFormsReadBackIdentically) {
  const PresetValues values = Counting();
  EXPECT_EQ(FormatPresetValues(values, PresetTextForm::Plain), "-30,-20,-10,0,10,20,30,40,50,60,70");
  EXPECT_EQ(FormatPresetValues(values, PresetTextForm::TrailingLineFeed), "-30,-20,-10,0,10,20,30,40,50,60,70\n");
  EXPECT_EQ(FormatPresetValues(values, PresetTextForm::BlankBeforeLast), "-30,-20,-10,0,10,20,30,40,50,60, 70");
  for (const PresetTextForm form : {PresetTextForm::Plain, PresetTextForm::TrailingLineFeed, PresetTextForm::BlankBeforeLast}) {
    PresetValues read;
    EXPECT_EQ(ParsePresetValues(FormatPresetValues(values, form), read), 11);
    EXPECT_EQ(read, values);
  }
}

TEST(PresetValues, ShortGarbageAndHugeTextsReadWhatFitsAndZeroTheRest) {
  PresetValues read;
  EXPECT_EQ(ParsePresetValues("1,2,3", read), 3);
  EXPECT_EQ(read.p[2], 3);
  EXPECT_EQ(read.p[3], 0);
  EXPECT_EQ(ParsePresetValues(" 5,  -6,x,7", read), 2);
  EXPECT_EQ(read.p[1], -6);
  EXPECT_EQ(read.p[2], 0);
  EXPECT_EQ(ParsePresetValues("1 ,2", read), 1) << "the comma must follow the number";
  EXPECT_EQ(ParsePresetValues("garbage text", read), 0);
  EXPECT_EQ(read, PresetValues());
  EXPECT_EQ(ParsePresetValues("99999999999999999999,-99999999999999999999,+4", read), 3);
  EXPECT_EQ(read.p[0], INT32_MAX);
  EXPECT_EQ(read.p[1], INT32_MIN);
  EXPECT_EQ(read.p[2], 4);
  EXPECT_EQ(ParsePresetValues("1,2,3,4,5,6,7,8,9,10,11,12,13", read), 11);
  EXPECT_EQ(read.p[10], 11);
}

}  // namespace
}  // namespace ztlive
