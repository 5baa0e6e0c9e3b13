#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <thread>

namespace ztlive {

namespace {

using Clock = std::chrono::steady_clock;

// Every lock file starts with this text; the process id follows, for whoever looks.
constexpr std::string_view kMarker = "ZT-Live lock";

bool SameInode(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// 0 when the locked file is one of ours: freshly made (empty; the marker is written now) or
// already carrying the marker. EEXIST for anything else.
int ClaimLockFile(int fd, const struct stat& info) {
  if (!S_ISREG(info.st_mode) || info.st_nlink != 1) return EEXIST;
  if (info.st_size == 0) {
    const std::string text = std::string(kMarker) + " " + std::to_string(getpid()) + "\n";
    const ssize_t written = pwrite(fd, text.data(), text.size(), 0);
    if (written < 0) return errno;
    return written == static_cast<ssize_t>(text.size()) ? 0 : ENOSPC;
  }
  char head[kMarker.size()];
  const bool marked = pread(fd, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head) &&
                      std::string_view(head, sizeof head) == kMarker;
  return marked ? 0 : EEXIST;
}

}  // namespace

std::string LockFilePath(const std::string& path) { return path + ".lock"; }

std::optional<FileLock> FileLock::Acquire(const std::string& lockPath, std::chrono::milliseconds wait,
                                          int& error) {
  const Clock::time_point deadline = Clock::now() + wait;
  std::chrono::milliseconds pause(1);
  for (;;) {
    const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
      error = errno;
      return std::nullopt;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int failure = errno;
      close(fd);
      if (failure == EINTR) continue;
      if (failure != EWOULDBLOCK || Clock::now() >= deadline) {
        error = failure;
        return std::nullopt;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      std::this_thread::sleep_for(std::clamp(left, std::chrono::milliseconds(0), pause));
      pause = std::min(pause * 2, std::chrono::milliseconds(20));
      continue;
    }
    struct stat locked {};
    struct stat named {};
    if (fstat(fd, &locked) != 0) {
      error = errno;
      close(fd);
      return std::nullopt;
    }
    if (lstat(lockPath.c_str(), &named) != 0 || !SameInode(locked, named)) {
      close(fd);  // the holder removed it between our open and our lock: take the new one
      continue;
    }
    if (const int claimed = ClaimLockFile(fd, locked); claimed != 0) {
      close(fd);
      error = claimed;
      return std::nullopt;
    }
    return FileLock(fd, lockPath);
  }
}

FileLock::FileLock(FileLock&& other) noexcept : m_fd(other.m_fd), m_path(std::move(other.m_path)) {
  other.m_fd = -1;
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    m_fd = other.m_fd;
    m_path = std::move(other.m_path);
    other.m_fd = -1;
  }
  return *this;
}

FileLock::~FileLock() { Release(); }

void FileLock::Release() {
  if (m_fd < 0) return;
  // Removed while still held, and only when the name still leads to the file we locked.
  struct stat locked {};
  struct stat named {};
  if (fstat(m_fd, &locked) == 0 && lstat(m_path.c_str(), &named) == 0 && SameInode(locked, named))
    unlink(m_path.c_str());
  close(m_fd);
  m_fd = -1;
}

}  // namespace ztlive
