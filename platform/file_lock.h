// An exclusive advisory lock (flock) between processes and threads, held on a small lock file
// beside the file it guards ("settings.ini" is guarded by "settings.ini.lock").
//
// The lock sits on a separate file, not on the guarded file, because the guarded file is
// replaced by a rename: a lock on its old inode would guard nothing once the new one is in
// place, and a file that does not exist yet could not be locked at all.
//
// The lock file is created on demand and removed again by its holder on release, so no lock
// files are left lying about. A taker that locks a lock file which its holder has meanwhile
// removed notices that the name no longer leads to the inode it locked, and tries again. A
// lock file carries a short marker text; a file of that name holding anything else is not ours
// and is neither used nor removed (EEXIST), and neither is a link (ELOOP).
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace ztlive {

class FileLock {
 public:
  // Takes the lock on lockPath, waiting at most `wait` for another holder to let go (zero:
  // not at all). Nothing, with error set, when it cannot: EWOULDBLOCK when another holder
  // keeps it past the wait, EEXIST or ELOOP for a name that is not one of our lock files,
  // otherwise the system's errno.
  static std::optional<FileLock> Acquire(const std::string& lockPath, std::chrono::milliseconds wait,
                                         int& error);

  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  // Removes the lock file, then lets go of the lock.
  ~FileLock();

  const std::string& Path() const { return m_path; }

 private:
  FileLock(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
  void Release();

  int m_fd = -1;
  std::string m_path;
};

// The lock file that guards path.
std::string LockFilePath(const std::string& path);

}  // namespace ztlive
