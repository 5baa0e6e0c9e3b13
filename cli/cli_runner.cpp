#include "cli/cli_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string_view>

extern char** environ;

namespace ztlive::cli::test {

CliProcess::CliProcess(const std::vector<std::string>& args, const std::string& home) {
  std::vector<std::string> words{ZTLIVE_CLI_PATH};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::vector<std::string> variables{"ZTLIVE_HOME=" + home};
  for (char** variable = environ; *variable != nullptr; ++variable)
    if (std::string_view(*variable).substr(0, 12) != "ZTLIVE_HOME=") variables.emplace_back(*variable);
  std::vector<char*> envp;
  for (std::string& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, m_capture.File("out").c_str(), O_WRONLY | O_CREAT, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, m_capture.File("err").c_str(), O_WRONLY | O_CREAT, 0644);
  if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) m_pid = -1;
  posix_spawn_file_actions_destroy(&actions);
}

CliProcess::~CliProcess() {
  if (m_pid > 0 && m_status < 0) Finish();
}

bool CliProcess::Running() {
  if (m_pid <= 0 || m_status >= 0) return false;
  int status = 0;
  if (waitpid(m_pid, &status, WNOHANG) != m_pid) return true;
  m_status = status;
  return false;
}

bool CliProcess::Send(int signal) { return Running() && kill(m_pid, signal) == 0; }

CliResult CliProcess::Finish() {
  CliResult result;
  if (m_pid <= 0) return result;
  if (m_status < 0) waitpid(m_pid, &m_status, 0);
  result.exitCode = WIFEXITED(m_status) ? WEXITSTATUS(m_status) : 128 + WTERMSIG(m_status);
  result.out = ztlive::test::ReadFileText(m_capture.File("out"));
  result.err = ztlive::test::ReadFileText(m_capture.File("err"));
  return result;
}

CliResult RunCli(const std::vector<std::string>& args, const std::string& home) {
  return CliProcess(args, home).Finish();
}

}  // namespace ztlive::cli::test
