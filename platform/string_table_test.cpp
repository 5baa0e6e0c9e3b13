#include "platform/string_table.h"

#include <gtest/gtest.h>

namespace ztlive {
namespace {

TEST(StringTable, TextsAreFoundByTheirHistoricalNumbersWithEveryBlank) {
  EXPECT_EQ(StringText(291), "The Preset  %1  was not found");
  EXPECT_EQ(StringText(StringId::kPresetDeleteQuestion), "Are you sure you want to delete the preset: %1 ?");
  EXPECT_EQ(StringText(186).back(), ' ');
  EXPECT_EQ(StringText(32832), "The Default Settings cannot be deleted.");
  EXPECT_TRUE(StringText(12345).empty());
}

TEST(StringTable, FormatTextReplacesNumberedPlaceholdersOnly) {
  EXPECT_EQ(FormatText(StringId::kPresetNotFound, {"Loud"}), "The Preset  Loud  was not found");
  EXPECT_EQ(FormatText(StringId::kIntegerRange, {"2", "50"}), "Please enter an integer between 2 and 50.");
  EXPECT_EQ(FormatText("%2-%1-%3", {"a", "b"}), "b-a-%3");
  EXPECT_EQ(FormatText("100% of %1%", {"x"}), "100% of x%");
  EXPECT_EQ(FormatText("%1", {"%2"}), "%2") << "an argument is not scanned again";
}

}  // namespace
}  // namespace ztlive
