// Test helpers for work spread over real processes: a child made by fork runs a function and
// exits with its result, and a pipe lets a parent and a child wait for each other.
#pragma once

#include <sys/types.h>

#include <functional>

namespace ztlive::test {

// Starts a child process that runs body and exits with its result (0 for success). The child
// leaves by _exit, so it runs no destructors of the parent's objects.
pid_t StartChild(const std::function<int()>& body);
// Waits for a child: its exit code, or 128 + the signal that ended it.
int WaitChild(pid_t child);

// A one-way pipe for "ready" and "go on" signals between two processes.
class Signal {
 public:
  Signal();
  ~Signal();
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;

  void Give();
  // True when the other side gave the signal within the time.
  bool Take(int timeoutMs = 10000);

 private:
  int m_fds[2] = {-1, -1};
};

}  // namespace ztlive::test
