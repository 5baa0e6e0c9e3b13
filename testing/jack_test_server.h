// A private JACK server for tests of the real sound card layer: the dummy driver (no
// hardware, its own clock) with two loopback ports, so that what a test plays on the
// "loopback" device can be recorded from it again one period later. The server gets a name
// of its own and JACK_DEFAULT_SERVER points the test process at it until the object goes.
// Test servers run one at a time, also across processes.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "testing/test_folder.h"

namespace ztlive::test {

class JackTestServer {
 public:
  explicit JackTestServer(int sampleRate = 44100, int periodFrames = 512);
  ~JackTestServer();
  JackTestServer(const JackTestServer&) = delete;
  JackTestServer& operator=(const JackTestServer&) = delete;

  bool Running() const { return m_pid > 0; }
  // Why the server did not start (for the skip message).
  const std::string& FailureText() const { return m_failure; }
  const std::string& Name() const { return m_name; }
  int SampleRate() const { return m_sampleRate; }
  int PeriodFrames() const { return m_periodFrames; }
  // Ends the server now, while its clients still run. By SIGTERM: a server killed outright
  // stays in JACK's registry of servers, which holds eight, and later servers cannot start.
  void EndNow();

 private:
  void Stop();
  void RemoveClientSemaphores() const;

  std::string m_name;
  int m_sampleRate;
  int m_periodFrames;
  pid_t m_pid = -1;
  int m_lockFd = -1;  // held while the server runs: one test server at a time
  std::string m_failure;
  std::unique_ptr<ScopedEnvironment> m_environment;
};

// The position of the "loopback" device in a device name list, or -1.
int LoopbackDeviceId(const std::vector<std::string>& names);

// The names separated by "; ", for failure messages.
std::string JoinedNames(const std::vector<std::string>& names);

// Runs a program with arguments; its exit status, or -1 when it could not run.
int RunProgram(const std::vector<std::string>& arguments);

// Runs a program and returns its standard output, or an empty text when it failed.
std::string ProgramOutput(const std::vector<std::string>& arguments);

}  // namespace ztlive::test
