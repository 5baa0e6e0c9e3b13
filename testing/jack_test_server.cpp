#include "testing/jack_test_server.h"

#include <signal.h>
#include <spawn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

extern char** environ;

namespace ztlive::test {

namespace {

pid_t Spawn(const std::vector<std::string>& arguments, bool quiet) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (quiet) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

std::string UniqueName() {
  static int started = 0;  // servers this process has started
  return "ztlive-test-" + std::to_string(getpid()) + "-" + std::to_string(++started);
}

}  // namespace

int RunProgram(const std::vector<std::string>& arguments) {
  const pid_t pid = Spawn(arguments, true);
  if (pid < 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

JackTestServer::JackTestServer(int sampleRate, int periodFrames)
    : m_name(UniqueName()), m_sampleRate(sampleRate), m_periodFrames(periodFrames) {
  m_pid = Spawn({"jackd", "--no-realtime", "-n", m_name, "-L", "2", "-d", "dummy", "-r", std::to_string(sampleRate),
                 "-p", std::to_string(periodFrames)},
                true);
  if (m_pid < 0) {
    m_failure = "jackd could not be run (is jackd2 installed?)";
    return;
  }
  // Ready when a client can connect; jack_wait gives up after its timeout.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (RunProgram({"jack_lsp", "-s", m_name}) != 0) {
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_pid = -1;
      m_failure = "jackd exited at start (status " + std::to_string(status) + ")";
      return;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      Stop();
      m_failure = "jackd did not answer within 10 s";
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  m_environment = std::make_unique<ScopedEnvironment>("JACK_DEFAULT_SERVER", m_name);
}

JackTestServer::~JackTestServer() { Stop(); }

void JackTestServer::Stop() {
  m_environment.reset();
  if (m_pid <= 0) return;
  kill(m_pid, SIGTERM);
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (waitpid(m_pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  m_pid = -1;
}

int LoopbackDeviceId(const std::vector<std::string>& names) {
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i].rfind("loopback ", 0) == 0) return static_cast<int>(i);
  return -1;
}

}  // namespace ztlive::test
