// Uses threads and forked processes.
#include "platform/file_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <thread>
#include <vector>

#include "testing/child_process.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

using std::chrono::milliseconds;
using test::ReadFileText;
using test::TestFolder;
using test::WriteFileText;

bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

TEST(FileLock, ASecondTakerFailsAtOnceUntilTheFirstLetsGoAndNoLockFileStays) {
  TestFolder folder;
  const std::string path = LockFilePath(folder.File("settings.ini"));
  EXPECT_EQ(path, folder.File("settings.ini.lock"));
  int error = 0;
  {
    std::optional<FileLock> first = FileLock::Acquire(path, milliseconds(0), error);
    ASSERT_TRUE(first) << error;
    EXPECT_TRUE(Exists(path));
    EXPECT_FALSE(FileLock::Acquire(path, milliseconds(0), error));
    EXPECT_EQ(error, EWOULDBLOCK);

    FileLock moved = std::move(*first);
    first.reset();  // a moved-from lock lets nothing go
    EXPECT_FALSE(FileLock::Acquire(path, milliseconds(0), error));
  }
  EXPECT_FALSE(Exists(path));
  EXPECT_TRUE(FileLock::Acquire(path, milliseconds(0), error));
}

TEST(FileLock, ATakerWaitsForTheHolderOrGivesUpAfterItsWait) {
  TestFolder folder;
  const std::string path = folder.File("presets.ini.lock");
  int error = 0;
  std::optional<FileLock> held = FileLock::Acquire(path, milliseconds(0), error);
  ASSERT_TRUE(held);

  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(FileLock::Acquire(path, milliseconds(150), error));
  EXPECT_EQ(error, EWOULDBLOCK);
  EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(150));

  std::thread holder([&held] {
    std::this_thread::sleep_for(milliseconds(100));
    held.reset();
  });
  start = std::chrono::steady_clock::now();
  int waitedError = 0;
  const std::optional<FileLock> waited = FileLock::Acquire(path, milliseconds(5000), waitedError);
  holder.join();
  EXPECT_TRUE(waited) << waitedError;
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(2000));
}

// What the lock file's name already holds decides whether it may be used and removed.
TEST(FileLock, OnlyItsOwnLockFilesAreUsedAndRemoved) {
  struct Case {
    const char* what;
    std::function<void(const std::string& path, const std::string& scratch)> make;
    int error;          // 0: the lock is taken
    bool staysBehind;   // the name still exists after the attempt (and any release)
  };
  const std::vector<Case> cases = {
      {"nothing", [](const std::string&, const std::string&) {}, 0, false},
      {"an empty file", [](const std::string& p, const std::string&) { WriteFileText(p, ""); }, 0, false},
      {"a lock left by a killed run",
       [](const std::string& p, const std::string&) { WriteFileText(p, "ZT-Live lock 12345\n"); }, 0, false},
      {"a file of someone else",
       [](const std::string& p, const std::string&) { WriteFileText(p, "my notes\n"); }, EEXIST, true},
      {"a link to a file",
       [](const std::string& p, const std::string& scratch) {
         WriteFileText(scratch + "/target", "");
         ASSERT_EQ(symlink((scratch + "/target").c_str(), p.c_str()), 0);
       },
       ELOOP, true},
      {"a dangling link",
       [](const std::string& p, const std::string& scratch) {
         ASSERT_EQ(symlink((scratch + "/absent").c_str(), p.c_str()), 0);
       },
       ELOOP, true},
      {"a second name of a lock file",
       [](const std::string& p, const std::string& scratch) {
         WriteFileText(scratch + "/other", "ZT-Live lock 1\n");
         ASSERT_EQ(link((scratch + "/other").c_str(), p.c_str()), 0);
       },
       EEXIST, true},
      {"a folder", [](const std::string& p, const std::string&) { ASSERT_EQ(mkdir(p.c_str(), 0755), 0); }, EISDIR,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestFolder folder;
    const std::string path = folder.File("out.wav.lock");
    c.make(path, folder.Path());
    const std::string before = Exists(path) && !std::filesystem::is_directory(path) ? ReadFileText(path) : "";
    int error = 0;
    {
      const std::optional<FileLock> lock = FileLock::Acquire(path, milliseconds(0), error);
      EXPECT_EQ(lock.has_value(), c.error == 0);
      if (!lock) {
        EXPECT_EQ(error, c.error);
        if (!std::filesystem::is_directory(path) && Exists(path)) {
          EXPECT_EQ(ReadFileText(path), before);
        }
      }
    }
    EXPECT_EQ(Exists(path), c.staysBehind);
    if (Exists(folder.File("target"))) {
      EXPECT_EQ(ReadFileText(folder.File("target")), "");
    }
    EXPECT_FALSE(Exists(folder.File("absent")));
  }
}

// Processes that each add to a counter many times, each turn under the lock: none of the
// additions may be lost, although every release removes the lock file that others wait on.
TEST(FileLock, ProcessesTakingTurnsLoseNoChange) {
  TestFolder folder;
  const std::string counter = folder.File("counter");
  const std::string path = LockFilePath(counter);
  WriteFileText(counter, "0");
  constexpr int kProcesses = 4;
  constexpr int kTurns = 150;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    children.push_back(test::StartChild([&] {
      for (int turn = 0; turn < kTurns; ++turn) {
        int error = 0;
        const std::optional<FileLock> lock = FileLock::Acquire(path, milliseconds(10000), error);
        if (!lock) return 1;
        const int value = std::stoi(ReadFileText(counter));
        WriteFileText(counter, std::to_string(value + 1));
      }
      return 0;
    }));
  }
  for (const pid_t child : children) EXPECT_EQ(test::WaitChild(child), 0);
  EXPECT_EQ(ReadFileText(counter), std::to_string(kProcesses * kTurns));
  EXPECT_FALSE(Exists(path));
}

}  // namespace
}  // namespace ztlive
