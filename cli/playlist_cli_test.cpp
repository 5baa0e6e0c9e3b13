// Playlists through the real ztlive-cli: made, added to and listed with true playing times;
// files that cannot be added, damaged lists and questions answered No leave every file as it
// was; a list plays on a private JACK server, one file after another.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "testing/jack_test_server.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive::cli {
namespace {

using test::CliResult;
using test::RunCli;
using ztlive::test::TestFolder;

void WriteSilence(const std::string& path, uint16_t channels, uint32_t rate, uint16_t bits, double seconds) {
  const size_t bytes = static_cast<size_t>(seconds * rate) * channels * (bits / 8);
  ztlive::test::WriteBytes(path, ztlive::test::WaveBytes().Format(1, channels, rate, bits).Data(std::vector<uint8_t>(bytes)).Build());
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(CliPlaylist, ListsAreMadeAddedToAndListedWithTrueTimes) {
  TestFolder home;
  TestFolder files;
  const std::string a = files.File("a.wav");
  const std::string b = files.File("b8.wav");
  const std::string c = files.File("c24.wav");
  WriteSilence(a, 2, 44100, 16, 1.0);
  WriteSilence(b, 1, 8000, 8, 1.0);  // stored as 0.5 s
  WriteSilence(c, 2, 48000, 24, 59.5);  // stored as 89.25 s
  const std::string wls = files.File("list.wls");

  const CliResult made = RunCli({"playlist", "new", wls, a, b}, home.Path());
  ASSERT_EQ(made.exitCode, 0) << made.err;
  EXPECT_EQ(made.out, wls + " saved: 2 files, total playing time 00:2.000.\n");
  const CliResult added = RunCli({"playlist", "add", wls, c}, home.Path());
  ASSERT_EQ(added.exitCode, 0) << added.err;
  EXPECT_EQ(added.out, wls + " saved: 3 files, total playing time 01:1.500.\n");
  const CliResult listed = RunCli({"playlist", "list", wls}, home.Path());
  ASSERT_EQ(listed.exitCode, 0) << listed.err;
  EXPECT_EQ(listed.out, "1  00:1.000  " + a + "\n2  00:1.000  " + b + "\n3  00:59.500  " + c +
                            "\nTotal playing time: 01:1.500 (3 files)\n");
  EXPECT_EQ(ztlive::test::ReadBytes(wls).size(), 192u + 3 * 524u);

  // A file gone since: its stored time is shown, and it is marked.
  std::remove(b.c_str());
  const CliResult gone = RunCli({"playlist", "list", wls}, home.Path());
  ASSERT_EQ(gone.exitCode, 0) << gone.err;
  EXPECT_TRUE(Has(gone.out, "2  00:0.500  " + b + "  (cannot be read: the stored length is shown)\n")) << gone.out;
  EXPECT_TRUE(Has(gone.out, "Total playing time: 01:1.000 (3 files)")) << gone.out;
}

TEST(CliPlaylist, RefusalsLeaveEveryFileAsItWas) {
  TestFolder home;
  TestFolder files;
  const std::string a = files.File("a.wav");
  WriteSilence(a, 1, 8000, 16, 0.5);
  const std::string wls = files.File("list.wls");
  ASSERT_EQ(RunCli({"playlist", "new", wls, a}, home.Path()).exitCode, 0);
  const std::vector<uint8_t> saved = ztlive::test::ReadBytes(wls);
  ztlive::test::WriteFileText(files.File("text.wav"), "plain text, not a wave");
  ztlive::test::WriteFileText(files.File("damaged.wls"), std::string(600, 'z'));

  struct Case {
    const char* what;
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"a file that is not a wave", {"playlist", "add", wls, a, files.File("text.wav")}, 1,
       {"ERROR: Incorrect file type or corrupt file.", wls + " was not saved."}},
      {"a new list over an existing one, answered No", {"--no", "playlist", "new", wls, a, a}, 1,
       {"The destination file alreadys exists, do you want to overwrite " + wls, wls + " was not saved."}},
      {"adding to a damaged list", {"playlist", "add", files.File("damaged.wls"), a}, 1,
       {"ERROR: Incorrect file type or corrupt file.", files.File("damaged.wls") + " was not saved."}},
      {"listing a missing list", {"playlist", "list", files.File("none.wls")}, 1, {files.File("none.wls") + " does not exist."}},
      {"an unknown action", {"playlist", "sort", wls}, 2, {"Wrong arguments. Usage: ztlive-cli playlist new FILE.wls"}},
      {"add without files", {"playlist", "add", wls}, 2, {"Wrong arguments."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const CliResult result = RunCli(c.args, home.Path());
    EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
    for (const std::string& message : c.messages) EXPECT_TRUE(Has(result.err, message)) << result.err;
    EXPECT_EQ(ztlive::test::ReadBytes(wls), saved);
    EXPECT_EQ(ztlive::test::ReadFileText(files.File("damaged.wls")), std::string(600, 'z'));
  }
  const CliResult replaced = RunCli({"--yes", "playlist", "new", wls, a, a}, home.Path());
  EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
  EXPECT_EQ(ztlive::test::ReadBytes(wls).size(), 192u + 2 * 524u);
}

TEST(CliPlaylist, AListPlaysOneFileAfterAnotherOnTheSoundCard) {
  ztlive::test::JackTestServer server(44100, 512);
  if (!server.Running()) GTEST_SKIP() << "no JACK server: " << server.FailureText();
  TestFolder home;
  TestFolder files;
  WriteSilence(files.File("a.wav"), 2, 44100, 16, 0.4);
  WriteSilence(files.File("b.wav"), 1, 22050, 16, 0.4);
  const std::string wls = files.File("list.wls");
  ASSERT_EQ(RunCli({"playlist", "new", wls, files.File("a.wav"), files.File("b.wav")}, home.Path()).exitCode, 0);
  const auto start = std::chrono::steady_clock::now();
  const CliResult played = RunCli({"playlist", "play", wls}, home.Path());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(played.exitCode, 0) << played.err;
  EXPECT_EQ(played.out, "Playing 1 of 2: " + files.File("a.wav") + "\nPlaying 2 of 2: " + files.File("b.wav") + "\n");
  EXPECT_GE(seconds, 0.75) << "both files play in real time on the device's clock";
  EXPECT_TRUE(played.err.empty()) << played.err;
}

}  // namespace
}  // namespace ztlive::cli
