// Marks a temporary folder as in use by this running program, so that another instance can
// tell its temporary files from files an ended session left behind.
//
// Every instance holds a shared lock (flock) on "ztlive.lock" in the folder for its lifetime.
// At start-up an instance first tries for the lock alone: when it gets it, no other instance
// is running, and every temporary file in the folder is a leftover. It lists them while it
// holds the lock alone, then shares the lock. The kernel drops the lock when a process ends,
// however it ends.
#pragma once

#include <string>

namespace ztlive {

class InstanceLock {
 public:
  enum class State { kNone, kAlone, kShared };

  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  static constexpr const char* kFileName = "ztlive.lock";

  // Takes the lock of folder (releasing any held before): kAlone when no other instance holds
  // it (the lock is then held alone until Share), kShared when others do, kNone when the lock
  // file cannot be opened (a link, or a folder that is missing or not writable).
  State Acquire(const std::string& folder);
  // From holding the lock alone to sharing it with instances that start later.
  void Share();
  void Release();
  State Held() const { return m_state; }

 private:
  int m_fd = -1;
  State m_state = State::kNone;
};

// Whether some process holds the lock of folder (tried with a lock of one's own).
bool InstanceLockHeld(const std::string& folder);

}  // namespace ztlive
