// A sound card that goes away while it plays (here a private JACK server ended mid-run)
// ends a preview, a playback and a playlist at once, with the message and a failure, rather
// than a wait for ever or a success.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_runner.h"
#include "testing/jack_test_server.h"
#include "testing/test_folder.h"

namespace ztlive::cli {
namespace {

using test::CliProcess;
using test::CliResult;
using ztlive::test::TestFolder;

TEST(CliDeviceLoss, PlayingEndsWithAFailureWhenTheSoundCardGoes) {
  TestFolder home;
  TestFolder files;
  const std::string take = files.File("take.wav");
  ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -b 16 " + take + " synth 20 pinknoise gain -10").c_str()), 0);
  const std::string list = files.File("list.wls");
  ASSERT_EQ(test::RunCli({"playlist", "new", list, take}, home.Path()).exitCode, 0);
  const std::vector<std::vector<std::string>> commands = {
      {"process", "--filter", "low-pass", "--preview", take},
      {"play", take},
      {"playlist", "play", list},
  };
  for (const auto& command : commands) {
    ztlive::test::JackTestServer server(44100, 512);
    if (!server.Running()) GTEST_SKIP() << "no JACK server: " << server.FailureText();
    CliProcess process(command, home.Path());
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_TRUE(process.Running()) << command[0] << " plays 20 s";
    const auto serverEnded = std::chrono::steady_clock::now();
    server.EndNow();
    // The file would play for another 18 s; the run must notice the loss well before.
    while (process.Running() && std::chrono::steady_clock::now() - serverEnded < std::chrono::seconds(10))
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const bool finished = !process.Running();
    if (!finished) process.Send(SIGKILL);
    const CliResult result = process.Finish();
    EXPECT_TRUE(finished) << command[0] << " still ran 10 s after the server ended";
    EXPECT_EQ(result.exitCode, 1) << command[0] << ": " << result.err;
    EXPECT_NE(result.err.find("The sound card stopped playing"), std::string::npos) << command[0] << ": " << result.err;
  }
}

}  // namespace
}  // namespace ztlive::cli
