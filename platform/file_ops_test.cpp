#include "platform/file_ops.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>

#include "testing/test_folder.h"

namespace ztlive {
namespace {

using test::ReadFileText;
using test::TestFolder;
using test::WriteFileText;

TEST(FileOps, CopyKeepsContentsAndModeAndHonoursFailIfExists) {
  TestFolder folder;
  const std::string source = folder.File("source.wav");
  const std::string contents(300000, 'w');
  WriteFileText(source, contents);
  chmod(source.c_str(), 0640);

  ASSERT_EQ(CopyFile(source, folder.File("copy.wav"), true), 0);
  EXPECT_EQ(ReadFileText(folder.File("copy.wav")), contents);
  struct stat info {};
  stat(folder.File("copy.wav").c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0640u);

  WriteFileText(folder.File("existing.wav"), "keep");
  EXPECT_EQ(CopyFile(source, folder.File("existing.wav"), true), EEXIST);
  EXPECT_EQ(ReadFileText(folder.File("existing.wav")), "keep");
  EXPECT_EQ(CopyFile(source, folder.File("existing.wav"), false), 0);
  EXPECT_EQ(ReadFileText(folder.File("existing.wav")), contents);

  EXPECT_EQ(CopyFile(folder.File("missing.wav"), folder.File("x.wav"), false), ENOENT);
  EXPECT_EQ(SystemErrorText(ENOENT), "No such file or directory");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                          std::filesystem::directory_iterator()),
            3);
}

// The operating system itself refuses the write past a file-size limit, as a full disk would.
TEST(FileOps, ACopyThatFailsPartWayLeavesNoPartialFile) {
  TestFolder folder;
  const std::string source = folder.File("source.wav");
  WriteFileText(source, std::string(2 << 20, 's'));
  WriteFileText(folder.File("dest.wav"), "old");

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1 << 20, 1 << 20};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(CopyFile(source, folder.File("dest.wav"), false) == EFBIG ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the copy must report the refused write";
  EXPECT_EQ(ReadFileText(folder.File("dest.wav")), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                          std::filesystem::directory_iterator()),
            2);
}

TEST(FileOps, MoveRenamesWithinAndCopiesAcrossFileSystems) {
  TestFolder folder;
  WriteFileText(folder.File("a.wav"), "audio");
  ASSERT_EQ(MoveFile(folder.File("a.wav"), folder.File("b.wav"), true), 0);
  EXPECT_FALSE(FileExists(folder.File("a.wav")));
  EXPECT_EQ(ReadFileText(folder.File("b.wav")), "audio");

  WriteFileText(folder.File("c.wav"), "other");
  EXPECT_EQ(MoveFile(folder.File("c.wav"), folder.File("b.wav"), true), EEXIST);
  EXPECT_EQ(ReadFileText(folder.File("b.wav")), "audio");
  EXPECT_EQ(MoveFile(folder.File("c.wav"), folder.File("b.wav"), false), 0);
  EXPECT_EQ(ReadFileText(folder.File("b.wav")), "other");

  struct stat here {}, shm {};
  if (stat("/dev/shm", &shm) != 0 || stat(folder.Path().c_str(), &here) != 0 || shm.st_dev == here.st_dev)
    GTEST_SKIP() << "no second file system to move across";
  const std::string away = "/dev/shm/ztlive-move-test-" + std::to_string(getpid()) + ".wav";
  ASSERT_EQ(MoveFile(folder.File("b.wav"), away, true), 0);
  EXPECT_EQ(ReadFileText(away), "other");
  EXPECT_FALSE(FileExists(folder.File("b.wav")));
  EXPECT_EQ(DeleteFile(away), 0);
  EXPECT_EQ(DeleteFile(away), ENOENT);
}

TEST(FileOps, DiskFreeOfAFolderAndOfAMissingPath) {
  TestFolder folder;
  uint64_t bytes = 0;
  ASSERT_EQ(DiskFreeBytes(folder.Path(), bytes), 0);
  EXPECT_GT(bytes, 0u);
  EXPECT_EQ(DiskFreeBytes(folder.File("missing/deeper"), bytes), ENOENT);
}

}  // namespace
}  // namespace ztlive
