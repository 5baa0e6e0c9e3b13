#include "platform/profile_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "testing/test_folder.h"

namespace ztlive {
namespace {

using ::testing::ElementsAre;
using test::ReadFileText;
using test::TestFolder;
using test::WriteFileText;

size_t FilesIn(const std::string& folder) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

TEST(ProfileFile, AMissingFileReadsDefaultsIntoABoundedBuffer) {
  TestFolder folder;
  const ProfileFile file(folder.File("presets.ini"));
  char buffer[8];
  EXPECT_EQ(file.ReadString("S", "k", "a default", buffer, sizeof buffer), 7u);
  EXPECT_STREQ(buffer, "a defau");
  EXPECT_EQ(file.ReadString("S", "k", ""), "");
  EXPECT_TRUE(file.KeyNames("S", 4096).empty());
}

TEST(ProfileFile, AWriteIsOnDiskAtOnceForEveryReader) {
  TestFolder folder;
  ProfileFile writer(folder.File("new/config/presets.ini"));  // the folders are made on the way
  const ProfileFile reader(folder.File("new/config/presets.ini"));
  ASSERT_EQ(writer.WriteString("ImpulseSet", "Default", "1,2,3,4,5,6,7,8,9,10, 11"), 0);
  EXPECT_EQ(reader.ReadString("impulseset", "default", ""), "1,2,3,4,5,6,7,8,9,10, 11");
  ASSERT_EQ(writer.WriteString("ImpulseSet", "Default", "0,0,0,0,0,0,0,0,0,0, 0"), 0);
  EXPECT_EQ(reader.ReadString("ImpulseSet", "Default", ""), "0,0,0,0,0,0,0,0,0,0, 0");
  ASSERT_EQ(writer.DeleteKey("ImpulseSet", "Default"), 0);
  EXPECT_EQ(reader.ReadString("ImpulseSet", "Default", "gone"), "gone");
  EXPECT_EQ(writer.DeleteKey("ImpulseSet", "Default"), 0) << "deleting a missing key is no error";
}

TEST(ProfileFile, WritesLeaveNoTemporaryFileAndKeepPermissionsAndLinks) {
  TestFolder folder;
  const std::string real = folder.File("real.ini");
  const std::string link = folder.File("link.ini");
  WriteFileText(real, "[S]\nk=1\n");
  chmod(real.c_str(), 0600);
  ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);

  ProfileFile file(link);
  for (int i = 0; i < 20; ++i) ASSERT_EQ(file.WriteString("S", "k", std::to_string(i)), 0);
  EXPECT_EQ(FilesIn(folder.Path()), 2u);
  struct stat info {};
  ASSERT_EQ(lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(ReadFileText(real), "[S]\nk=19\n");
}

TEST(ProfileFile, AFileThatCannotBeReadIsNeverOverwritten) {
  TestFolder folder;
  const std::string path = folder.File("settings.ini");
  ASSERT_EQ(mkdir(path.c_str(), 0755), 0);  // reading a folder fails even for root
  ProfileFile file(path);
  EXPECT_EQ(file.ReadString("S", "k", "default"), "default");
  EXPECT_EQ(file.WriteString("S", "k", "v"), EISDIR);
  EXPECT_TRUE(std::filesystem::is_directory(path));

  WriteFileText(folder.File("plain"), "a file where a folder should be");
  ProfileFile nowhere(folder.File("plain/settings.ini"));
  EXPECT_EQ(nowhere.WriteString("S", "k", "v"), ENOTDIR);
  ProfileFile fresh(folder.File("fresh.ini"));
  EXPECT_EQ(fresh.WriteString("S", "bad=key", "v"), EINVAL);
  EXPECT_FALSE(std::filesystem::exists(folder.File("fresh.ini")));
}

TEST(ProfileFile, KeyNamesAreCutToWholeNamesThatFitTheBuffer) {
  TestFolder folder;
  ProfileFile file(folder.File("presets.ini"));
  for (const char* name : {"Default", "Light", "Heavy", "_*Chain"}) file.WriteString("S", name, "1");
  // "Default\0Light\0" and the closing terminator take 15 bytes.
  EXPECT_THAT(file.KeyNames("S", 15), ElementsAre("Default", "Light"));
  EXPECT_THAT(file.KeyNames("S", 20), ElementsAre("Default", "Light"));
  EXPECT_THAT(file.KeyNames("S", 4096), ElementsAre("Default", "Light", "Heavy", "_*Chain"));
  EXPECT_THAT(file.SectionNames(4096), ElementsAre("S"));
}

TEST(ProfileFile, AMalformedFileLoadsAndAWriteKeepsEveryReadableKey) {
  TestFolder folder;
  const std::string path = folder.File("settings.ini");
  std::string garbage = "\x7f" "ELF\x01\x02\x00\x00 binary\n";
  garbage += std::string("\0\0\0", 3) + "\xff\xfe\r\n";
  garbage += "[ZANTO]\r\nNudge=7\r\nline without equals\r\n" + std::string(100000, 'x') + "\r\n";
  garbage += "MaxUndoLevs=20";  // no final newline
  WriteFileText(path, garbage);

  ProfileFile file(path);
  EXPECT_EQ(file.ReadString("ZANTO", "Nudge", ""), "7");
  EXPECT_EQ(file.ReadString("ZANTO", "MaxUndoLevs", ""), "20");
  ASSERT_EQ(file.WriteString("ZANTO", "DevIn", "2"), 0);
  EXPECT_EQ(file.ReadString("ZANTO", "Nudge", ""), "7");
  EXPECT_EQ(file.ReadString("ZANTO", "MaxUndoLevs", ""), "20");
  EXPECT_EQ(file.ReadString("ZANTO", "DevIn", ""), "2");
  EXPECT_EQ(ReadFileText(path).substr(0, 12), garbage.substr(0, 12)) << "unknown bytes are kept";
}

}  // namespace
}  // namespace ztlive
