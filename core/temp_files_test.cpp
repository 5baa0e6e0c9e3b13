#include "core/temp_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/peak_file.h"
#include "platform/file_ops.h"

#include "platform/scripted_prompts.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

using test::TestFolder;
using test::ReadFileText;
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
  // A dangling link is taken (a new file would follow it); with every number taken, no name.
  ASSERT_EQ(symlink(folder.File("nowhere.wav").c_str(), folder.File("take3.wav").c_str()), 0);
  EXPECT_EQ(MakeNumberedName(folder.File("take.wav"), 1), folder.File("take4.wav"));
  EXPECT_EQ(MakeNumberedName(folder.File("take.wav"), 1, [](const std::string&) { return true; }), "");
  EXPECT_EQ(MakeNumberedName(folder.File("take.wav"), 1,
                             [&](const std::string& name) { return name != folder.File("take998.wav"); }),
            folder.File("take998.wav"));
}

TEST(TempFiles, OnlyTheNamesTemporaryFilesAreGivenCount) {
  const struct {
    const char* name;
    bool temporary;
  } cases[] = {
      {"zttmp1.wav", true},     {"zttmp999.wav", true},  {"zttmp42.wav", true},   {"zttmp0.wav", false},
      {"zttmp01.wav", false},   {"zttmp1000.wav", false}, {"zttmp.wav", false},   {"zttmpx.wav", false},
      {"zttmp1.pkf", false},    {"zttmp1.wav~", false},  {"Zttmp1.wav", false},   {"my-zttmp1.wav", false},
      {"zttmp1a.wav", false},   {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsTempFileName(c.name), c.temporary) << c.name;
}

TEST(TempFiles, LeftoversAreTheTemporaryRegularFilesInNumberOrderAndGoWithTheirPeakFiles) {
  TestFolder folder;
  for (const char* name : {"zttmp12.wav", "zttmp3.wav", "zttmp12.pkf", "take1.wav", "zttmp03.wav"})
    WriteFileText(folder.File(name), "x");
  // A link under a temporary name is not ours: it is neither offered nor followed.
  WriteFileText(folder.File("elsewhere.wav"), "keep");
  ASSERT_EQ(symlink(folder.File("elsewhere.wav").c_str(), folder.File("zttmp5.wav").c_str()), 0);
  ASSERT_EQ(mkdir(folder.File("zttmp7.wav").c_str(), 0700), 0);
  const std::vector<std::string> expected = {folder.File("zttmp3.wav"), folder.File("zttmp12.wav")};
  EXPECT_EQ(FindTempFiles(folder.Path()), expected);
  EXPECT_TRUE(FindTempFiles(folder.File("missing")).empty());

  // What a killed run into a temporary file leaves: its unfinished copy and its lock file.
  for (const char* name : {".zttmp3.wav.ztpart", "zttmp3.wav.lock", ".take1.wav.ztpart", "take1.wav.lock"})
    WriteFileText(folder.File(name), "x");
  ASSERT_EQ(symlink(folder.File("elsewhere.wav").c_str(), folder.File(".zttmp4.wav.ztpart").c_str()), 0);
  RemoveUnfinishedRunFiles(folder.Path());
  EXPECT_FALSE(FileExists(folder.File(".zttmp3.wav.ztpart")));
  EXPECT_FALSE(FileExists(folder.File("zttmp3.wav.lock")));
  EXPECT_TRUE(FileExists(folder.File(".take1.wav.ztpart"))) << "not a temporary file's";
  EXPECT_TRUE(FileExists(folder.File("take1.wav.lock")));
  EXPECT_EQ(ReadFileText(folder.File("elsewhere.wav")), "keep") << "a link is left alone";
  EXPECT_EQ(FindTempFiles(folder.Path()), expected);

  DeleteTempFile(folder.File("zttmp12.wav"));
  EXPECT_FALSE(FileExists(folder.File("zttmp12.wav")));
  EXPECT_FALSE(FileExists(PeakFile::PeakFileName(folder.File("zttmp12.wav"))));
  EXPECT_TRUE(FileExists(folder.File("zttmp3.wav")));
  EXPECT_EQ(test::ReadFileText(folder.File("elsewhere.wav")), "keep");
}

}  // namespace
}  // namespace ztlive
