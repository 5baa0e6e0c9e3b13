// Ctrl+C (SIGINT) and SIGTERM while a command runs: the handler only raises a flag, which the
// command's loop (or the message queue's pump hook) turns into the stop request.
#pragma once

namespace ztlive::cli {

class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  static bool Interrupted();
};

}  // namespace ztlive::cli
