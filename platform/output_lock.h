// Keeps a second run of the program from writing an output file that a run is writing.
//
// The lock is a FileLock on "<output>.lock" beside the output, not a lock on the output
// itself: an output is written under a temporary name and renamed into place at the end, so
// the output's own inode changes (or does not exist yet) while the run goes on. The lock file
// is named after the output's real folder and, when the output exists as a link, after the file
// it leads to, so every spelling of one output meets the same lock. It is taken without
// waiting: a second run fails at once. Releasing it (destruction) removes the lock file.
#pragma once

#include <optional>
#include <string>

#include "platform/file_lock.h"

namespace ztlive {

class OutputLock {
 public:
  // The lock for outputPath, or nothing with error set to the message to show.
  static std::optional<OutputLock> Acquire(const std::string& outputPath, std::string& error);

  const std::string& LockPath() const { return m_lock.Path(); }

 private:
  explicit OutputLock(FileLock lock) : m_lock(std::move(lock)) {}

  FileLock m_lock;
};

// The lock file that guards an output, by its real folder; nothing with errno in error when
// the folder cannot be resolved.
std::optional<std::string> OutputLockPath(const std::string& outputPath, int& error);

}  // namespace ztlive
