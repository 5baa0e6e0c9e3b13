#include "testing/child_process.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace ztlive::test {

pid_t StartChild(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) _exit(body());
  return child;
}

int WaitChild(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

Signal::Signal() {
  if (pipe(m_fds) != 0) throw std::runtime_error("pipe failed");
}

Signal::~Signal() {
  close(m_fds[0]);
  close(m_fds[1]);
}

void Signal::Give() {
  const char byte = 1;
  while (write(m_fds[1], &byte, 1) < 0 && errno == EINTR) {
  }
}

bool Signal::Take(int timeoutMs) {
  char byte = 0;
  for (;;) {
    pollfd ready{m_fds[0], POLLIN, 0};
    const int polled = poll(&ready, 1, timeoutMs);
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) return false;
    const ssize_t got = read(m_fds[0], &byte, 1);
    if (got == 1) return true;
    if (got < 0 && errno == EINTR) continue;
    return false;
  }
}

}  // namespace ztlive::test
