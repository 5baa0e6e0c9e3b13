#include "testing/jack_test_server.h"

#include <signal.h>
#include <spawn.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <cstdlib>
#include <thread>
#include <vector>

extern char** environ;

namespace ztlive::test {

namespace {

// Starts a program with its output discarded, or with its standard output sent to
// `outputFd` when that is given.
pid_t Spawn(const std::vector<std::string>& arguments, bool quiet, int outputFd = -1) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (outputFd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  } else if (quiet) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

std::string ServerLockPath() {
  const char* folder = getenv("TMPDIR");
  return std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/ztlive-jack-test-server.lock";
}

std::string UniqueName() {
  static int started = 0;  // servers this process has started
  return "ztlive-test-" + std::to_string(getpid()) + "-" + std::to_string(++started);
}

// True when the server answers and its loopback ports exist. The server accepts clients
// before the loopback driver has registered its ports, and a device list taken in between
// has no "loopback" device.
bool LoopbackPortsListed(const std::string& server) {
  const std::string ports = ProgramOutput({"jack_lsp", "-s", server});
  return ports.find("loopback:capture_2") != std::string::npos &&
         ports.find("loopback:playback_2") != std::string::npos;
}

}  // namespace

std::string ProgramOutput(const std::vector<std::string>& arguments) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return {};
  const pid_t pid = Spawn(arguments, true, pipeFds[1]);
  close(pipeFds[1]);
  std::string output;
  char chunk[4096];
  ssize_t got = 0;
  while (pid >= 0 && (got = read(pipeFds[0], chunk, sizeof chunk)) != 0) {
    if (got > 0) output.append(chunk, static_cast<size_t>(got));
    else if (errno != EINTR) break;
  }
  close(pipeFds[0]);
  if (pid < 0) return {};
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? output : std::string();
}

int RunProgram(const std::vector<std::string>& arguments) {
  const pid_t pid = Spawn(arguments, true);
  if (pid < 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

JackTestServer::JackTestServer(int sampleRate, int periodFrames)
    : m_name(UniqueName()), m_sampleRate(sampleRate), m_periodFrames(periodFrames) {
  // JACK's servers share one registry of shared memory, and a client that connects while
  // another server starts or stops fails now and then ("Cannot open client"). Test servers
  // therefore run one at a time, across the test processes that CTest runs in parallel.
  m_lockFd = open(ServerLockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (m_lockFd >= 0) {
    while (flock(m_lockFd, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  m_pid = Spawn({"jackd", "--no-realtime", "-n", m_name, "-L", "2", "-d", "dummy", "-r", std::to_string(sampleRate),
                 "-p", std::to_string(periodFrames)},
                true);
  if (m_pid < 0) {
    m_failure = "jackd could not be run (is jackd2 installed?)";
    return;
  }
  // Ready when a client can connect and sees the loopback ports.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!LoopbackPortsListed(m_name)) {
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

JackTestServer::~JackTestServer() {
  Stop();
  if (m_lockFd >= 0) close(m_lockFd);  // releases the lock
}

void JackTestServer::EndNow() {
  if (m_pid <= 0) return;
  kill(m_pid, SIGTERM);
  int status = 0;
  waitpid(m_pid, &status, 0);
  m_pid = -1;
  RemoveClientSemaphores();
}

void JackTestServer::RemoveClientSemaphores() const {
  // A client still connected when its server ended leaves its semaphores in /dev/shm.
  const std::string part = "_" + m_name + "_";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", error)) {
    const std::string file = entry.path().filename().string();
    if (file.rfind("jack_sem.", 0) == 0 && file.find(part) != std::string::npos)
      std::filesystem::remove(entry.path(), error);
  }
}

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

std::string JoinedNames(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : "; ") + name;
  return joined.empty() ? "(none)" : joined;
}

}  // namespace ztlive::test
