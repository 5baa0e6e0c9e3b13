#include "cli/batch_workers.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace ztlive::cli {

namespace {

std::string ReadAndRemove(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  unlink(path.c_str());
  return text.str();
}

}  // namespace

std::string OwnExecutable() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  return std::string(path, static_cast<size_t>(length));
}

WorkerPool::~WorkerPool() {
  // Ends only when every child has: none is left running unseen.
  SignalAll(SIGTERM);
  while (!m_running.empty()) WaitOne(100);
}

std::string WorkerPool::CaptureFile(size_t id, const char* what) const {
  return m_folder + "/" + std::to_string(id) + "." + what;
}

bool WorkerPool::Start(size_t id, const std::vector<std::string>& argv, std::string& error) {
  std::vector<char*> words;
  for (const std::string& word : argv) words.push_back(const_cast<char*>(word.c_str()));
  words.push_back(nullptr);
  const int out = open(CaptureFile(id, "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int err = open(CaptureFile(id, "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (out < 0 || err < 0 || in < 0) {
    error = std::strerror(errno);
    for (int fd : {out, err, in})
      if (fd >= 0) close(fd);
    return false;
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls from here to exec.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execve(words[0], words.data(), environ);
    _exit(127);
  }
  const int forkError = errno;
  close(out);
  close(err);
  close(in);
  if (pid < 0) {
    error = std::strerror(forkError);
    return false;
  }
  m_running[pid] = id;
  return true;
}

std::optional<WorkerEnd> WorkerPool::WaitOne(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!m_running.empty()) {
    int status = 0;
    const pid_t pid = waitpid(-1, &status, WNOHANG);
    const auto found = pid > 0 ? m_running.find(pid) : m_running.end();
    if (found != m_running.end()) {
      WorkerEnd end;
      end.id = found->second;
      m_running.erase(found);
      if (WIFEXITED(status)) end.exitCode = WEXITSTATUS(status);
      if (WIFSIGNALED(status)) end.signal = WTERMSIG(status);
      end.out = ReadAndRemove(CaptureFile(end.id, "out"));
      end.err = ReadAndRemove(CaptureFile(end.id, "err"));
      return end;
    }
    if (pid > 0) continue;  // not one of ours
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::nullopt;
}

void WorkerPool::SignalAll(int signal) {
  for (const auto& [pid, id] : m_running) kill(pid, signal);
}

}  // namespace ztlive::cli
