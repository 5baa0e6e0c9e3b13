#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/folders.h"

namespace ztlive {

namespace {

// O_NOFOLLOW: a link planted under the lock's name is refused, not followed.
int OpenLockFile(const std::string& folder) {
  return open(JoinPath(folder, InstanceLock::kFileName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

int LockRetrying(int fd, int operation) {
  int result = 0;
  while ((result = flock(fd, operation)) != 0 && errno == EINTR) {
  }
  return result;
}

}  // namespace

InstanceLock::~InstanceLock() { Release(); }

InstanceLock::State InstanceLock::Acquire(const std::string& folder) {
  Release();
  m_fd = OpenLockFile(folder);
  if (m_fd < 0) return m_state;
  if (LockRetrying(m_fd, LOCK_EX | LOCK_NB) == 0) {
    m_state = State::kAlone;
  } else if (LockRetrying(m_fd, LOCK_SH) == 0) {
    // Waits only while a starting instance lists its leftovers.
    m_state = State::kShared;
  } else {
    Release();
  }
  return m_state;
}

void InstanceLock::Share() {
  if (m_state != State::kAlone) return;
  if (LockRetrying(m_fd, LOCK_SH) == 0) m_state = State::kShared;
}

void InstanceLock::Release() {
  if (m_fd >= 0) close(m_fd);  // closing the only descriptor drops the lock
  m_fd = -1;
  m_state = State::kNone;
}

bool InstanceLockHeld(const std::string& folder) {
  const int fd = OpenLockFile(folder);
  if (fd < 0) return false;
  const bool held = LockRetrying(fd, LOCK_EX | LOCK_NB) != 0;
  close(fd);
  return held;
}

}  // namespace ztlive
