#include "platform/profile_text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

namespace ztlive {
namespace {

using ::testing::ElementsAre;

TEST(ProfileTextRead, NamesIgnoreCaseTheFirstKeyWinsAndValuesLoseOnlySurroundingBlanks) {
  const ProfileText text(
      "; a comment=not a key\n"
      "orphan=before any section\n"
      "[ZANTO]\n"
      "PreRollBuffs = 12 \n"
      "prerollbuffs=99\n"
      "Default=1,2,3,4,5,6,7,8,9,10, 11\n"
      "no equals sign here\n"
      "=no key\n"
      "[ Spaced ]\n"
      "k=\tinner  blanks kept\t\n");
  EXPECT_EQ(text.Find("zanto", "PREROLLBUFFS").value(), "12");
  EXPECT_EQ(text.Find("Zanto", "Default").value(), "1,2,3,4,5,6,7,8,9,10, 11");
  EXPECT_EQ(text.Find("Spaced", "k").value(), "inner  blanks kept");
  EXPECT_FALSE(text.Find("ZANTO", "orphan"));
  EXPECT_FALSE(text.Find("ZANTO", "no equals sign here"));
  EXPECT_FALSE(text.Find("Missing", "k"));
  EXPECT_THAT(text.KeyNames("ZANTO"), ElementsAre("PreRollBuffs", "Default"));
  EXPECT_THAT(text.SectionNames(), ElementsAre("ZANTO", "Spaced"));
}

TEST(ProfileTextRead, ASectionThatAppearsTwiceReadsAsOne) {
  const ProfileText text("[A]\nx=1\n[B]\ny=2\n[a]\nx=3\nz=4\n");
  EXPECT_EQ(text.Find("A", "x").value(), "1");
  EXPECT_EQ(text.Find("A", "z").value(), "4");
  EXPECT_THAT(text.KeyNames("A"), ElementsAre("x", "z"));
  EXPECT_THAT(text.SectionNames(), ElementsAre("A", "B"));
}

TEST(ProfileTextRead, CrLfLineEndsAndAMissingFinalNewline) {
  const ProfileText text("[S]\r\nfirst=1\r\nlast=2");
  EXPECT_EQ(text.Find("S", "first").value(), "1");
  EXPECT_EQ(text.Find("S", "last").value(), "2");
}

TEST(ProfileTextWrite, ReplacingAValueKeepsEveryOtherByte) {
  const std::string before = "; settings\n[ZANTO]\n  Nudge = 100  ; old\nOther=x\n\n[Next]\ny=1\n";
  ProfileText text(before);
  ASSERT_TRUE(text.Write("zanto", "nudge", "250"));
  EXPECT_EQ(text.Text(), "; settings\n[ZANTO]\n  Nudge =250\nOther=x\n\n[Next]\ny=1\n");
}

TEST(ProfileTextWrite, ANewKeyGoesAfterItsSectionsLastLineAndANewSectionAtTheEnd) {
  ProfileText text("[A]\nx=1\n\n[B]\ny=2");
  ASSERT_TRUE(text.Write("a", "new", "v"));
  EXPECT_EQ(text.Text(), "[A]\nx=1\nnew=v\n\n[B]\ny=2");
  ASSERT_TRUE(text.Write("B", "z", "3"));
  EXPECT_EQ(text.Text(), "[A]\nx=1\nnew=v\n\n[B]\ny=2\nz=3");
  ASSERT_TRUE(text.Write("C", "k", "w"));
  EXPECT_EQ(text.Text(), "[A]\nx=1\nnew=v\n\n[B]\ny=2\nz=3\n\n[C]\nk=w\n");
  ProfileText empty;
  ASSERT_TRUE(empty.Write("S", "k", "v"));
  EXPECT_EQ(empty.Text(), "[S]\nk=v\n");
}

TEST(ProfileTextWrite, NewLinesFollowTheFilesCrLfLineEnds) {
  ProfileText text("[A]\r\nx=1\r\n");
  ASSERT_TRUE(text.Write("A", "y", "2"));
  ASSERT_TRUE(text.Write("B", "z", "3"));
  EXPECT_EQ(text.Text(), "[A]\r\nx=1\r\ny=2\r\n\r\n[B]\r\nz=3\r\n");
}

TEST(ProfileTextWrite, ATrailingLineFeedLeavesOneEmptyLineAndReadsBackWithoutPilingUp) {
  ProfileText text("[ImpulseSet]\nDefault=1,2,3,4,5,6,7,8,9,10, 11\n");
  const std::string saved = "5,6,7,8,9,10,11,12,13,14,15\n";
  ASSERT_TRUE(text.Write("ImpulseSet", "Clicks", saved));
  EXPECT_EQ(text.Text(),
            "[ImpulseSet]\nDefault=1,2,3,4,5,6,7,8,9,10, 11\nClicks=5,6,7,8,9,10,11,12,13,14,15\n\n");
  EXPECT_EQ(text.Find("ImpulseSet", "Clicks").value(), "5,6,7,8,9,10,11,12,13,14,15");
  const std::string once = text.Text();
  ASSERT_TRUE(text.Write("ImpulseSet", "Clicks", saved));
  ASSERT_TRUE(text.Write("ImpulseSet", "Clicks", saved));
  EXPECT_EQ(text.Text(), once);
  ASSERT_TRUE(text.Write("ImpulseSet", "More", saved));
  EXPECT_EQ(text.Find("ImpulseSet", "Clicks").value(), "5,6,7,8,9,10,11,12,13,14,15");
  EXPECT_EQ(text.Find("ImpulseSet", "More").value(), "5,6,7,8,9,10,11,12,13,14,15");
}

TEST(ProfileTextWrite, NamesAndValuesThatCannotBeStoredAreRefusedWithoutAChange) {
  ProfileText text("[S]\nk=v\n");
  EXPECT_FALSE(text.Write("S", "k", "two\nlines"));
  EXPECT_FALSE(text.Write("S", "a=b", "v"));
  EXPECT_FALSE(text.Write("S]", "k", "v"));
  EXPECT_FALSE(text.Write("", "k", "v"));
  EXPECT_FALSE(text.Write("S", "", "v"));
  EXPECT_FALSE(text.Write("S", " padded", "v"));
  EXPECT_FALSE(text.Write("S", ";comment", "v"));
  EXPECT_EQ(text.Text(), "[S]\nk=v\n");
  // "_*" keys are ordinary keys here; only the preset lists hide them.
  EXPECT_TRUE(text.Write("S", "_*Chain0", "1"));
  EXPECT_EQ(text.Find("S", "_*Chain0").value(), "1");
}

TEST(ProfileTextDelete, KeysAndSectionsGoWithAllTheirLines) {
  ProfileText text("[A]\nx=1\ny=2\n[B]\nx=3\n[a]\nX=4\n");
  EXPECT_TRUE(text.DeleteKey("A", "x"));
  EXPECT_EQ(text.Text(), "[A]\ny=2\n[B]\nx=3\n[a]\n");
  EXPECT_FALSE(text.DeleteKey("A", "x"));
  EXPECT_TRUE(text.DeleteSection("b"));
  EXPECT_EQ(text.Text(), "[A]\ny=2\n[a]\n");
  EXPECT_FALSE(text.DeleteSection("B"));
}

// Random garbage mixed with good lines: every good key reads, and a write keeps them all.
TEST(ProfileTextBadInput, GarbageAroundGoodKeysNeverHidesThemNorLosesThemOnWrite) {
  std::mt19937 random(1234);
  for (int round = 0; round < 200; ++round) {
    std::string contents = "[Good]\n";
    std::vector<std::pair<std::string, std::string>> keys;
    for (int line = 0; line < 20; ++line) {
      if (random() % 2) {
        std::string garbage;
        const size_t length = random() % 300;
        for (size_t i = 0; i < length; ++i) {
          char c = static_cast<char>(random() % 256);
          if (c == '\n' || c == '[') c = 'x';  // keep it on this line and out of section syntax
          garbage.push_back(c);
        }
        // Not a key line: no '=' and no leading comment that could hide the next line.
        for (char& c : garbage)
          if (c == '=') c = '-';
        contents += garbage + (random() % 2 ? "\r\n" : "\n");
      } else {
        const std::string key = "key" + std::to_string(line);
        const std::string value = "value" + std::to_string(random() % 1000);
        keys.emplace_back(key, value);
        contents += key + "=" + value + "\n";
      }
    }
    ProfileText text(contents);
    for (const auto& [key, value] : keys) ASSERT_EQ(text.Find("Good", key).value_or("?"), value);
    ASSERT_TRUE(text.Write("Good", "added", "1"));
    ASSERT_TRUE(text.Write("Other", "added", "2"));
    for (const auto& [key, value] : keys) ASSERT_EQ(text.Find("Good", key).value_or("?"), value);
    EXPECT_EQ(text.Find("Good", "added").value(), "1");
    EXPECT_EQ(text.Find("Other", "added").value(), "2");
  }
}

TEST(ProfileTextBadInput, VeryLongLinesAndZeroBytesAreJustText) {
  std::string contents = "[S]\nlong=" + std::string(1 << 20, 'a') + "\n";
  contents += std::string("zero\0byte=1\n", 12);
  contents += "after=2";
  ProfileText text(contents);
  EXPECT_EQ(text.Find("S", "long")->size(), size_t{1} << 20);
  EXPECT_EQ(text.Find("S", std::string_view("zero\0byte", 9)).value(), "1");
  EXPECT_EQ(text.Find("S", "after").value(), "2");
}

}  // namespace
}  // namespace ztlive
