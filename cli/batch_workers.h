// The child processes of a batch: each runs one file (this same program, its batch-file
// command), with its output and messages captured into files of the batch's private folder.
// A child dies with the batch (a batch killed outright leaves no run going on behind it).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ztlive::cli {

struct WorkerEnd {
  size_t id = 0;
  int exitCode = -1;  // when it exited
  int signal = 0;     // when a signal ended it
  std::string out;
  std::string err;
};

class WorkerPool {
 public:
  // captureFolder: where each child's output and messages are kept until it ends.
  explicit WorkerPool(std::string captureFolder) : m_folder(std::move(captureFolder)) {}
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Starts argv (argv[0] the program) as the child id; false with error set when it cannot.
  bool Start(size_t id, const std::vector<std::string>& argv, std::string& error);
  // The next child to end, waiting up to timeoutMs; nothing when none ended by then.
  std::optional<WorkerEnd> WaitOne(int timeoutMs);
  size_t Running() const { return m_running.size(); }
  // Sends signal to every running child.
  void SignalAll(int signal);

 private:
  std::string CaptureFile(size_t id, const char* what) const;

  std::string m_folder;
  std::map<pid_t, size_t> m_running;  // pid -> id
};

// This program's own executable, for its children.
std::string OwnExecutable();

}  // namespace ztlive::cli
