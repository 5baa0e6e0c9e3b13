#include "core/temp_files.h"

#include <gtest/gtest.h>

#include "platform/scripted_prompts.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

using test::TestFolder;
using test::WriteFileText;

TEST(TempFiles, TheFirstFreeNumberIsTakenAndAFullFolderIsReported) {
  TestFolder folder;
  ScriptedPrompts prompts;
  EXPECT_EQ(MakeTempFileName(folder.Path(), prompts), folder.File("zttmp1.wav"));
  WriteFileText(folder.File("zttmp1.wav"), "");
  WriteFileText(folder.File("zttmp2.wav"), "");
  EXPECT_EQ(MakeTempFileName(folder.Path() + "/", prompts), folder.File("zttmp3.wav"));
  for (int i = 3; i <= 999; ++i) WriteFileText(folder.File("zttmp" + std::to_string(i) + ".wav"), "");
  EXPECT_EQ(MakeTempFileName(folder.Path(), prompts), "");
  ASSERT_EQ(prompts.Entries().size(), 1u);
  EXPECT_EQ(prompts.Entries()[0].text, "Cannot generate a new temporary filename.");
  EXPECT_EQ(prompts.Entries()[0].caption, "File Error");
}

TEST(TempFiles, NumberedNamesContinueTheNamesOwnDigits) {
  TestFolder folder;
  EXPECT_EQ(MakeNumberedName(folder.File("take.wav"), 1), folder.File("take1.wav"));
  WriteFileText(folder.File("take1.wav"), "");
  WriteFileText(folder.File("take2.wav"), "");
  EXPECT_EQ(MakeNumberedName(folder.File("take.wav"), 1), folder.File("take3.wav"));
  EXPECT_EQ(MakeNumberedName(folder.File("song07.wav"), 1), folder.File("song7.wav"));
  EXPECT_EQ(MakeNumberedName(folder.File("song07.wav"), 20), folder.File("song20.wav"));
  EXPECT_EQ(MakeNumberedName(folder.File(std::string(300, 'a') + ".wav"), 1), folder.File(std::string(249, 'a') + "1.wav"));
}

}  // namespace
}  // namespace ztlive
