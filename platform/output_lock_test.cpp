// Uses forked processes.
#include "platform/output_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "testing/child_process.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

using test::TestFolder;
using test::WriteFileText;

bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

// A child process that holds the output lock of path until it is told to go on (or killed).
class LockingRun {
 public:
  explicit LockingRun(const std::string& path) {
    m_child = test::StartChild([this, path] {
      std::string error;
      const std::optional<OutputLock> lock = OutputLock::Acquire(path, error);
      if (!lock) return 1;
      m_locked.Give();
      return m_goOn.Take(20000) ? 0 : 2;
    });
  }
  bool Locked() { return m_locked.Take(); }
  int Finish() {
    m_goOn.Give();
    return test::WaitChild(m_child);
  }
  int Kill() {
    kill(m_child, SIGKILL);
    return test::WaitChild(m_child);
  }

 private:
  test::Signal m_locked;
  test::Signal m_goOn;
  pid_t m_child = -1;
};

TEST(OutputLock, ASecondRunOnTheSameOutputFailsAtOnceByAnySpelling) {
  TestFolder folder;
  ASSERT_EQ(mkdir(folder.File("out").c_str(), 0755), 0);
  ASSERT_EQ(symlink(folder.File("out").c_str(), folder.File("via").c_str()), 0);
  const std::string output = folder.File("out/restored.wav");

  LockingRun run(output);
  ASSERT_TRUE(run.Locked());
  for (const std::string& spelling :
       {output, folder.File("out/./restored.wav"), folder.File("via/restored.wav"), folder.File("out/../out/restored.wav")}) {
    SCOPED_TRACE(spelling);
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(OutputLock::Acquire(spelling, error));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(error, spelling + " is being written by another run of the program.");
  }
  std::string error;
  EXPECT_TRUE(OutputLock::Acquire(folder.File("out/other.wav"), error)) << error;
  EXPECT_EQ(run.Finish(), 0);

  EXPECT_FALSE(Exists(output + ".lock"));
  const std::optional<OutputLock> mine = OutputLock::Acquire(folder.File("via/restored.wav"), error);
  ASSERT_TRUE(mine) << error;
  EXPECT_EQ(mine->LockPath(), output + ".lock");
}

TEST(OutputLock, AKilledRunLeavesNoLockThatStopsTheNext) {
  TestFolder folder;
  const std::string output = folder.File("restored.wav");
  LockingRun run(output);
  ASSERT_TRUE(run.Locked());
  EXPECT_EQ(run.Kill(), 128 + SIGKILL);
  EXPECT_TRUE(Exists(output + ".lock")) << "a killed run cannot tidy up";

  std::string error;
  {
    const std::optional<OutputLock> next = OutputLock::Acquire(output, error);
    EXPECT_TRUE(next) << error;
  }
  EXPECT_FALSE(Exists(output + ".lock"));
}

TEST(OutputLock, WhatCannotBeLockedIsSaidInWords) {
  TestFolder folder;
  const std::string output = folder.File("restored.wav");
  WriteFileText(output + ".lock", "a file of the user\n");
  std::string error;
  EXPECT_FALSE(OutputLock::Acquire(output, error));
  EXPECT_EQ(error, output + " cannot be written: " + output +
                       ".lock is in the way and is not a lock file of this program.");

  const std::string nowhere = folder.File("missing/restored.wav");
  EXPECT_FALSE(OutputLock::Acquire(nowhere, error));
  EXPECT_EQ(error, nowhere + " cannot be written: its lock file " + nowhere +
                       ".lock cannot be made: No such file or directory");
}

}  // namespace
}  // namespace ztlive
