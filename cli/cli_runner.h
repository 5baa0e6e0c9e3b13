// For the tests: the real ztlive-cli binary run as a child process with a private
// configuration folder, its output and messages captured.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "testing/test_folder.h"

namespace ztlive::cli::test {

struct CliResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class CliProcess {
 public:
  CliProcess(const std::vector<std::string>& args, const std::string& home);
  ~CliProcess();
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  // True while the program runs (false also when it could not start).
  bool Running();
  pid_t Pid() const { return m_pid; }
  // Sends a signal (SIGINT for Ctrl+C) while the program runs; false when it has ended.
  bool Send(int signal);
  // Waits for the end.
  CliResult Finish();

 private:
  ztlive::test::TestFolder m_capture;
  pid_t m_pid = -1;
  int m_status = -1;  // waitpid's status once ended
};

CliResult RunCli(const std::vector<std::string>& args, const std::string& home);

}  // namespace ztlive::cli::test
