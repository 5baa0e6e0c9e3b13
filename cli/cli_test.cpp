// Runs the real ztlive-cli binary with a private configuration folder.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <signal.h>

#include <chrono>
#include <fstream>
#include <thread>
#include <string>
#include <vector>

#include "filters/filter_registry.h"
#include "testing/jack_test_server.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

extern char** environ;

namespace ztlive::cli {
namespace {

using test::ReadFileText;
using test::TestFolder;

struct CliResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// interruptAfterMs: send SIGINT (Ctrl+C) to the program after that long.
CliResult RunCli(const std::vector<std::string>& args, const std::string& home, int interruptAfterMs = -1) {
  TestFolder capture;
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
  posix_spawn_file_actions_addopen(&actions, 1, capture.File("out").c_str(), O_WRONLY | O_CREAT, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, capture.File("err").c_str(), O_WRONLY | O_CREAT, 0644);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  pid_t child = 0;
  CliResult result;
  if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
    int status = 0;
    if (interruptAfterMs >= 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(interruptAfterMs));
      kill(child, SIGINT);
    }
    waitpid(child, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = ReadFileText(capture.File("out"));
  result.err = ReadFileText(capture.File("err"));
  return result;
}

TEST(Cli, HelpUsageErrorsAndExitCodes) {
  TestFolder home;
  const CliResult help = RunCli({"--help"}, home.Path());
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("settings get SECTION KEY"), std::string::npos);

  EXPECT_EQ(RunCli({}, home.Path()).exitCode, 2);
  const CliResult unknown = RunCli({"dance"}, home.Path());
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_EQ(unknown.err, "Unknown command \"dance\". Run \"ztlive-cli --help\" for the list of commands.\n");
  EXPECT_EQ(RunCli({"--yes", "--no", "settings", "get", "ZANTO", "Nudge"}, home.Path()).exitCode, 2);
  EXPECT_EQ(RunCli({"settings", "get", "ZANTO"}, home.Path()).exitCode, 2);
  EXPECT_EQ(RunCli({"settings", "get", "ZANTO", "Nudge", "--bogus"}, home.Path()).exitCode, 2);
}

TEST(Cli, SettingsReadDefaultsAndWriteThroughToTheStore) {
  TestFolder home;
  EXPECT_EQ(RunCli({"settings", "get", "ZANTO", "PreRollBuffs"}, home.Path()).out, "7\n");
  EXPECT_EQ(RunCli({"settings", "get", "zanto", "warningflags"}, home.Path()).out, "0xFFFFFFFF\n");

  EXPECT_EQ(RunCli({"settings", "set", "DispWindow", "LastXPos", "-1"}, home.Path()).exitCode, 0);
  EXPECT_EQ(RunCli({"settings", "set", "ZANTO", "PreRollBuffs", "60"}, home.Path()).exitCode, 0);
  EXPECT_EQ(RunCli({"--yes", "settings", "set", "zantopaths", "TempPath", "/data/tmp dir"}, home.Path()).exitCode, 0);
  EXPECT_EQ(RunCli({"settings", "get", "Zanto", "preRollBuffs"}, home.Path()).out, "60\n");
  EXPECT_EQ(RunCli({"settings", "get", "zantopaths", "TempPath"}, home.Path()).out, "/data/tmp dir\n");
  EXPECT_EQ(ReadFileText(home.File("settings.ini")),
            "[DispWindow]\nLastXPos=-1\n\n[ZANTO]\nPreRollBuffs=60\n\n[zantopaths]\nTempPath=/data/tmp dir\n");
}

TEST(Cli, SettingsRefuseWhatCannotBeStoredOrRead) {
  TestFolder home;
  const CliResult notNumber = RunCli({"settings", "set", "ZANTO", "Nudge", "lots"}, home.Path());
  EXPECT_EQ(notNumber.exitCode, 2);
  EXPECT_EQ(notNumber.err, "The setting ZANTO / Nudge holds a whole number; \"lots\" is not one.\n");
  EXPECT_FALSE(std::ifstream(home.File("settings.ini")).good());

  const CliResult unknown = RunCli({"settings", "get", "Nowhere", "Nothing"}, home.Path());
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_EQ(unknown.err, "The setting Nowhere / Nothing has no stored value and no default.\n");

  test::WriteFileText(home.File("blocker"), "a file where the folder should be");
  const CliResult blocked = RunCli({"settings", "set", "ZANTO", "Nudge", "5"}, home.File("blocker"));
  EXPECT_EQ(blocked.exitCode, 1);
  EXPECT_NE(blocked.err.find("cannot be used"), std::string::npos) << blocked.err;
}

// Three programs setting keys in one configuration folder at once keep every key, and a
// settings file whose lock name is taken by a foreign file is reported, not lost silently.
// Uses threads, each running the program as a process.
TEST(Cli, SettingsSetByProgramsRunningAtOnceKeepEveryKey) {
  TestFolder home;
  constexpr int kRuns = 3;
  constexpr int kKeysEach = 12;
  std::vector<std::thread> runs;
  std::vector<int> failures(kRuns, 0);
  for (int r = 0; r < kRuns; ++r)
    runs.emplace_back([&, r] {
      for (int k = 0; k < kKeysEach; ++k)
        if (RunCli({"settings", "set", "Run" + std::to_string(r), "Key" + std::to_string(k), std::to_string(k)},
                   home.Path())
                .exitCode != 0)
          ++failures[static_cast<size_t>(r)];
    });
  for (std::thread& run : runs) run.join();
  EXPECT_EQ(failures, std::vector<int>(kRuns, 0));
  for (int r = 0; r < kRuns; ++r)
    for (int k = 0; k < kKeysEach; ++k)
      EXPECT_EQ(RunCli({"settings", "get", "Run" + std::to_string(r), "Key" + std::to_string(k)}, home.Path()).out,
                std::to_string(k) + "\n");

  test::WriteFileText(home.File("settings.ini.lock"), "someone else's file\n");
  const CliResult blocked = RunCli({"settings", "set", "Run0", "Key0", "99"}, home.Path());
  EXPECT_EQ(blocked.exitCode, 1);
  EXPECT_EQ(blocked.err, "The setting could not be written to " + home.File("settings.ini") + ": File exists\n");
  EXPECT_EQ(RunCli({"settings", "get", "Run0", "Key0"}, home.Path()).out, "0\n");
}

TEST(Cli, InfoShowsFormatLengthAndChunksAndRefusesWhatItCannotOpen) {
  TestFolder home;
  const std::string path = home.File("take.wav");
  test::WriteBytes(path, test::WaveBytes()
                             .Format(1, 2, 8000, 16)
                             .Chunk("LIST", std::vector<uint8_t>(10, 'x'))
                             .Data(std::vector<uint8_t>(8000 * 4 * 3 / 2, 0))
                             .Build());
  const CliResult info = RunCli({"info", path}, home.Path());
  EXPECT_EQ(info.exitCode, 0);
  EXPECT_EQ(info.out, "File:     " + path + "\n"
                      "Format:   PCM, 2 channels, 8000 Hz, 16 bits, block align 4\n"
                      "Data:     48000 bytes, 12000 frames\n"
                      "Duration: 0:00:01.500 (1.500 s)\n"
                      "Chunks:   fmt  (16 bytes), LIST (10 bytes), data (48000 bytes)\n");

  test::WriteBytes(path, test::WaveBytes().Format(1, 3, 8000, 16).Data({0, 0}).Build());
  const CliResult bad = RunCli({"info", path}, home.Path());
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.err, "ERROR: The wavefile contains a format is not supported by ZA-nto.\n");
  EXPECT_EQ(RunCli({"info"}, home.Path()).exitCode, 2);
}

TEST(Cli, PeaksReportTheLargestPeakAndMarkersAreKeptInThePeakFile) {
  TestFolder home;
  const std::string path = home.File("take.wav");
  std::vector<int16_t> samples(4000, 100);
  samples[1234] = -16384;  // -6.02 dBFS
  test::WriteBytes(path, test::WaveBytes().Format(1, 1, 8000, 16).Data(test::Samples16(samples)).Build());
  const CliResult peaks = RunCli({"peaks", path}, home.Path());
  EXPECT_EQ(peaks.exitCode, 0);
  EXPECT_EQ(peaks.out, "Peak file:    " + home.File("take.pkf") + "\nLargest peak: 16384 (-6.02 dBFS)\n");

  EXPECT_EQ(RunCli({"markers", path, "add", "4000"}, home.Path()).out, "0: 4000 0\n");
  EXPECT_EQ(RunCli({"markers", path, "add", "100"}, home.Path()).out, "0: 100 1\n1: 4000 0\n");
  EXPECT_EQ(RunCli({"markers", path}, home.Path()).out, "0: 100 1\n1: 4000 0\n");
  EXPECT_EQ(RunCli({"markers", path, "remove", "0"}, home.Path()).out, "0: 4000 0\n");
  const CliResult missing = RunCli({"markers", path, "remove", "5"}, home.Path());
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "There is no marker 5.\n");
  EXPECT_EQ(RunCli({"markers", path, "add", "-3"}, home.Path()).exitCode, 2);
  EXPECT_EQ(RunCli({"markers", path, "remove", "all"}, home.Path()).out, "");
  EXPECT_EQ(RunCli({"peaks", home.File("missing.wav")}, home.Path()).exitCode, 1);
}

TEST(Cli, DevicesAndPlayWorkOnTheSoundCardsAndCtrlCStopsALoop) {
  test::JackTestServer server(44100, 512);
  if (!server.Running()) GTEST_SKIP() << "no JACK server: " << server.FailureText();
  TestFolder home;
  const CliResult devices = RunCli({"devices"}, home.Path());
  EXPECT_EQ(devices.exitCode, 0) << devices.err;
  EXPECT_NE(devices.out.find("Output devices (setting ZANTO / DevOut):\n  0: system (JACK Audio Connection Kit)\n"
                             "  1: loopback (JACK Audio Connection Kit)"),
            std::string::npos)
      << devices.out;

  TestFolder files;
  const std::string take = files.File("take.wav");
  test::WriteBytes(take, test::WaveBytes().Format(1, 2, 44100, 16).Data(std::vector<uint8_t>(4 * 44100 * 2)).Build());
  // A region of 0.6 s plays in real time on the device's clock, then the program ends.
  const auto start = std::chrono::steady_clock::now();
  const CliResult region = RunCli({"play", take, "--from", "0.4", "--to", "1"}, home.Path());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(region.exitCode, 0) << region.err;
  EXPECT_GE(seconds, 0.55);
  EXPECT_TRUE(region.err.empty()) << region.err;

  const CliResult looped = RunCli({"play", take, "--loop"}, home.Path(), 3000);
  EXPECT_EQ(looped.exitCode, 0) << "Ctrl+C ends a looped playback cleanly: " << looped.err;

  EXPECT_EQ(RunCli({"play", take, "--from", "soon"}, home.Path()).exitCode, 2);
  const CliResult beyond = RunCli({"play", take, "--from", "5"}, home.Path());
  EXPECT_EQ(beyond.exitCode, 2);
  EXPECT_NE(beyond.err.find("holds no audio"), std::string::npos) << beyond.err;
  EXPECT_EQ(RunCli({"play", files.File("missing.wav")}, home.Path()).exitCode, 1);

  // An output device that does not exist: playing and previewing fail, and say why.
  ASSERT_EQ(RunCli({"settings", "set", "ZANTO", "DevOut", "99"}, home.Path()).exitCode, 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"play", take}, std::vector<std::string>{"process", "--filter", "low-pass", "--preview", take}}) {
    SCOPED_TRACE(args.front());
    const CliResult refused = RunCli(args, home.Path());
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("The device number is out of range."), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out.find("played"), std::string::npos) << refused.out;
  }
}

TEST(Cli, PlayWithoutAnyOutputDeviceSaysSo) {
  // Without a JACK server a machine without a sound card has no output device at all.
  test::ScopedEnvironment noServer("JACK_DEFAULT_SERVER", std::string("ztlive-test-no-such-server"));
  TestFolder home;
  if (RunCli({"devices"}, home.Path()).out.find("  0: ") != std::string::npos)
    GTEST_SKIP() << "this machine has a sound card: the case without devices cannot be made here";
  TestFolder files;
  test::WriteBytes(files.File("take.wav"), test::WaveBytes().Format(1, 1, 8000, 16).Data(std::vector<uint8_t>(800)).Build());
  // Play checks for devices first; a preview meets the device engine's own message.
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"play", files.File("take.wav")}, "ERROR: Could not find any audio devices to use for playback."},
      {{"process", "--filter", "median", "--preview", files.File("take.wav")}, "The device number is out of range."}};
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(args.front());
    const CliResult result = RunCli(args, home.Path());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
    EXPECT_EQ(result.out.find("played"), std::string::npos) << result.out;
  }
}

std::string SoxStat(const std::string& path, const std::string& name) {
  std::string output;
  if (FILE* pipe = popen(("sox " + path + " -n stats 2>&1").c_str(), "r")) {
    char line[256];
    while (fgets(line, sizeof line, pipe) != nullptr)
      if (std::string_view(line).substr(0, name.size()) == name) output = line;
    pclose(pipe);
  }
  return output;
}

TEST(Cli, ProcessRunsEveryClassicFilterIntoADestination) {
  TestFolder home;
  TestFolder files;
  const std::string source = files.File("noise.wav");
  ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -b 24 " + source + " synth 2 whitenoise gain -6").c_str()), 0);
  const struct {
    const char* filter;
    const char* values;
  } runs[] = {{"low-pass", "2,1000"}, {"high-pass", "1,5000"}, {"band-pass", "1,500,2000"}, {"notch", "0,1000,100,1"},
              {"median", "0,5"},     {"averaging", "0,10"},    {"19", "0,3000"}};
  for (const auto& job : runs) {
    SCOPED_TRACE(job.filter);
    const std::string out = files.File(std::string(job.filter) + ".wav");
    const CliResult result = RunCli({"process", "--filter", job.filter, "--values", job.values, source, out}, home.Path());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("2.000 s of"), std::string::npos) << result.out;
    // sox reads every destination, and each filter took energy out of the white noise.
    EXPECT_NE(SoxStat(out, "Length s").find("2.000"), std::string::npos);
    const double before = std::stod(SoxStat(source, "RMS lev dB").substr(10));
    const double after = std::stod(SoxStat(out, "RMS lev dB").substr(10));
    EXPECT_LT(after, before - 1) << job.filter;
  }
  // A region, and the values of a stored preset.
  const CliResult region = RunCli({"process", "--filter", "low-pass", "--from", "0.5", "--to", "1.25", source,
                                   files.File("region.wav")},
                                  home.Path());
  ASSERT_EQ(region.exitCode, 0) << region.err;
  EXPECT_NE(SoxStat(files.File("region.wav"), "Length s").find("0.750"), std::string::npos);
  EXPECT_EQ(RunCli({"process", "--filter", "low-pass", "--preset", "Missing", source, files.File("p.wav")}, home.Path()).exitCode, 1);
}

TEST(Cli, ProcessRefusesBadInputWithTheRunsMessage) {
  TestFolder home;
  TestFolder files;
  const std::string source = files.File("mono.wav");
  test::WriteBytes(source, test::WaveBytes().Format(1, 1, 8000, 16).Data(std::vector<uint8_t>(16000, 1)).Build());
  test::WriteFileText(files.File("text.wav"), "no audio here");
  const CliResult notWave = RunCli({"process", "--filter", "notch", files.File("text.wav"), files.File("o.wav")}, home.Path());
  EXPECT_EQ(notWave.exitCode, 1);
  EXPECT_NE(notWave.err.find(files.File("text.wav") + " is not a wave file."), std::string::npos) << notWave.err;
  EXPECT_FALSE(std::ifstream(files.File("o.wav")).good());
  const CliResult folderMissing =
      RunCli({"process", "--filter", "notch", source, files.File("nowhere/o.wav")}, home.Path());
  EXPECT_EQ(folderMissing.exitCode, 1);
  EXPECT_NE(folderMissing.err.find("the folder " + files.File("nowhere") + " does not exist."), std::string::npos)
      << folderMissing.err;
  const CliResult unknown = RunCli({"process", "--filter", "warp-drive", source, files.File("o.wav")}, home.Path());
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("low-pass"), std::string::npos) << "the known names are listed";
  const CliResult range = RunCli({"process", "--filter", "median", "--values", "0,50", source, files.File("o.wav")}, home.Path());
  EXPECT_EQ(range.exitCode, 2);
  EXPECT_NE(range.err.find("Value 1 (Samples) is 50. Please enter an integer between 3 and 20."), std::string::npos)
      << range.err;
  EXPECT_EQ(RunCli({"process", "--filter", "notch", source}, home.Path()).exitCode, 2) << "no destination";
}

TEST(Cli, ConvertWritesAnotherWidthAndDemoRestoresItsRecording) {
  TestFolder home;
  TestFolder files;
  ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -b 16 " + files.File("a.wav") + " synth 1 sine 440 gain -3").c_str()), 0);
  const CliResult convert = RunCli({"convert", "--bits", "24", files.File("a.wav"), files.File("b.wav")}, home.Path());
  ASSERT_EQ(convert.exitCode, 0) << convert.err;
  EXPECT_EQ(test::ReadBytes(files.File("b.wav")).size(), 44u + 44100 * 2 * 3) << "24-bit samples";
  EXPECT_NE(SoxStat(files.File("b.wav"), "Bit-depth").find("16/16"), std::string::npos) << "the 16 bits kept exactly";
  EXPECT_EQ(RunCli({"convert", "--bits", "12", files.File("a.wav"), files.File("c.wav")}, home.Path()).exitCode, 2);

  const CliResult demo = RunCli({"demo", files.File("demo")}, home.Path());
  ASSERT_EQ(demo.exitCode, 0) << demo.err;
  EXPECT_TRUE(std::ifstream(files.File("demo/demo-recording.wav")).good());
  EXPECT_TRUE(std::ifstream(files.File("demo/demo-restored.wav")).good());
  EXPECT_FALSE(std::ifstream(files.File("demo/demo-step1.wav")).good()) << "the steps between are removed";
  // The hum line reports before -> after; the hum must have dropped by more than 20 dB.
  const size_t hum = demo.out.find("hum at 50.0 Hz: ");
  ASSERT_NE(hum, std::string::npos) << demo.out;
  const double before = std::stod(demo.out.substr(hum + 16));
  const double after = std::stod(demo.out.substr(demo.out.find("-> ", hum) + 3));
  EXPECT_LT(after, before - 20);
}

TEST(Cli, APreviewPlaysTheFilteredRegionOnTheSoundCard) {
  test::JackTestServer server(44100, 512);
  if (!server.Running()) GTEST_SKIP() << "no JACK server: " << server.FailureText();
  TestFolder home;
  TestFolder files;
  ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -b 16 " + files.File("a.wav") + " synth 3 pinknoise gain -10").c_str()), 0);
  const auto start = std::chrono::steady_clock::now();
  const CliResult preview =
      RunCli({"process", "--filter", "band-pass", "--values", "1,300,3000", "--preview", "--from", "1", "--to", "2", files.File("a.wav")},
             home.Path());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(preview.exitCode, 0) << preview.err;
  EXPECT_NE(preview.out.find("1.000 s of"), std::string::npos) << preview.out;
  EXPECT_GE(seconds, 0.9) << "the region played on the device's clock";
  const CliResult looped =
      RunCli({"process", "--filter", "low-pass", "--preview", "--loop", files.File("a.wav")}, home.Path(), 2500);
  EXPECT_EQ(looped.exitCode, 0) << "Ctrl+C ends a looping preview: " << looped.err;
}

TEST(Cli, TheRestorationFiltersRunFromTheCommandLine) {
  TestFolder home;
  TestFolder files;
  // One second of hiss alone, then a tone under the same hiss, with a few clicks.
  const std::string noisy = files.File("noisy.wav");
  ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -b 16 " + files.File("lead.wav") + " synth 1 whitenoise vol 0.02 && " +
                         "sox -n -r 44100 -c 2 -b 16 " + files.File("tone.wav") + " synth 3 sine 440 vol 0.3 && " +
                         "sox -n -r 44100 -c 2 -b 16 " + files.File("hiss.wav") + " synth 3 whitenoise vol 0.02 && " +
                         "sox -m " + files.File("tone.wav") + " " + files.File("hiss.wav") + " -b 16 " +
                         files.File("mix.wav") + " && sox " + files.File("lead.wav") + " " + files.File("mix.wav") + " " + noisy)
                            .c_str()),
            0);
  const CliResult missing = RunCli({"process", "--filter", "continuous-noise", noisy, files.File("a.wav")}, home.Path());
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("No noise sample has been stored yet."), std::string::npos) << missing.err;

  // Full attenuation, fast release, the smallest frames.
  const CliResult sampled = RunCli({"process", "--filter", "continuous-noise", "--values", "20,100,100,0", "--noise-from",
                                    "0.1", "--noise-to", "0.9", noisy, files.File("clean.wav")},
                                   home.Path());
  ASSERT_EQ(sampled.exitCode, 0) << sampled.err;
  const double hissBefore = std::stod(SoxStat(files.File("lead.wav"), "RMS lev dB").substr(10));
  ASSERT_EQ(std::system(("sox " + files.File("clean.wav") + " " + files.File("cleanlead.wav") + " trim 0.2 0.6").c_str()), 0);
  const double hissAfter = std::stod(SoxStat(files.File("cleanlead.wav"), "RMS lev dB").substr(10));
  EXPECT_LT(hissAfter, hissBefore - 10) << "the hiss alone drops";

  // The shipped "Tape hiss" (the per-bin estimator) with the print of the same stretch.
  const CliResult tape = RunCli({"process", "--filter", "continuous-noise", "--preset", "Tape hiss", "--noise-from",
                                 "0.1", "--noise-to", "0.9", noisy, files.File("tape.wav")},
                                home.Path());
  ASSERT_EQ(tape.exitCode, 0) << tape.err;
  ASSERT_EQ(std::system(("sox " + files.File("tape.wav") + " " + files.File("tapelead.wav") + " trim 0.2 0.6").c_str()), 0);
  EXPECT_LT(std::stod(SoxStat(files.File("tapelead.wav"), "RMS lev dB").substr(10)), hissBefore - 15);
  EXPECT_NE(SoxStat(files.File("tape.wav"), "Length s").find("4.000"), std::string::npos);

  const CliResult clicks = RunCli({"--yes", "process", "--filter", "impulse", "--values", "2000,7,0,0,1,1", noisy,
                                   files.File("declicked.wav")},
                                  home.Path());
  ASSERT_EQ(clicks.exitCode, 0) << clicks.err;
  EXPECT_NE(SoxStat(files.File("declicked.wav"), "Length s").find("4.000"), std::string::npos) << "every frame comes out";
}

TEST(Cli, InfoSaysWhenItRecoveredALengthAndLeavesTheFileAsItIs) {
  TestFolder home;
  const std::string path = home.File("killed.wav");
  std::vector<uint8_t> bytes = test::WaveBytes().Format(1, 2, 8000, 16).Data(std::vector<uint8_t>(8000 * 4 * 2, 1)).Build();
  bytes.insert(bytes.end(), {1, 1, 1});  // and a part of a frame
  for (size_t at : {4u, 40u}) bytes[at] = bytes[at + 1] = bytes[at + 2] = bytes[at + 3] = 0;
  bytes[4] = 36;  // a writer that died before it wrote any size
  test::WriteBytes(path, bytes);
  const CliResult info = RunCli({"info", path}, home.Path());
  EXPECT_EQ(info.exitCode, 0);
  EXPECT_NE(info.out.find("Data:     64000 bytes, 16000 frames\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("\nNotice:   The header of this wave file was incomplete; its length was recovered from the "
                          "file size in reading. The file itself is unchanged.\n"),
            std::string::npos)
      << info.out;
  EXPECT_EQ(test::ReadBytes(path), bytes);
}

TEST(Cli, PeaksOfAShortFileShowItsRealPeak) {
  TestFolder home;
  const std::string path = home.File("short.wav");
  std::vector<int16_t> samples(150, 0);
  samples[77] = 20000;
  test::WriteBytes(path, test::WaveBytes().Format(1, 1, 8000, 16).Data(test::Samples16(samples)).Build());
  const CliResult peaks = RunCli({"peaks", path}, home.Path());
  EXPECT_EQ(peaks.exitCode, 0);
  EXPECT_EQ(peaks.out, "Peak file:    " + home.File("short.pkf") + "\nLargest peak: 20000 (-4.29 dBFS)\n");
}

// Links and their targets stay inside the test's own folder.
TEST(Cli, PeaksAndMarkersNeverWriteThroughALinkNorIntoAFileThatIsNotAPeakFile) {
  TestFolder home;
  const std::string wave = home.File("a.wav");
  const std::vector<uint8_t> waveBytes =
      test::WaveBytes().Format(1, 1, 8000, 16).Data(test::Samples16(std::vector<int16_t>(4000, 5))).Build();
  test::WriteBytes(wave, waveBytes);
  test::WriteFileText(home.File("victim.txt"), "precious");
  ASSERT_EQ(symlink(home.File("victim.txt").c_str(), home.File("a.pkf").c_str()), 0);
  const std::string notOurs = "warning: File Error: " + home.File("a.pkf") +
                              " is not a peak file (it is a link, a folder or another file) and was left as it is; "
                              "no peak data was written.\n";
  const std::vector<std::vector<std::string>> commands = {{"peaks", wave}, {"markers", wave, "add", "8"},
                                                          {"markers", wave, "remove", "all"}};
  for (const auto& command : commands) {
    const CliResult result = RunCli(command, home.Path());
    EXPECT_EQ(result.exitCode, 1) << command[0];
    EXPECT_EQ(result.err, notOurs) << command[0];
    EXPECT_EQ(result.out, "") << command[0];
    EXPECT_EQ(ReadFileText(home.File("victim.txt")), "precious") << command[0];
  }

  // A wave file named like a peak file would be its own peak file.
  for (const std::string name : {"x.pkf", "X.PKF"}) {
    test::WriteBytes(home.File(name), waveBytes);
    for (const auto& command : std::vector<std::vector<std::string>>{{"peaks", home.File(name)},
                                                                       {"markers", home.File(name), "add", "8"}}) {
      const CliResult result = RunCli(command, home.Path());
      EXPECT_EQ(result.exitCode, 1) << name;
      EXPECT_EQ(result.err, home.File(name) +
                                " has the peak file extension .pkf and cannot be used as a wave file: it would be its "
                                "own peak file.\n")
          << name;
      EXPECT_EQ(test::ReadBytes(home.File(name)), waveBytes) << name;
    }
  }
}

}  // namespace
}  // namespace ztlive::cli

namespace ztlive::cli {
namespace {

// The command line reads every filter's values from its descriptor.
TEST(CliFilters, ValuesAreCheckedAgainstEveryDescriptorAndUnbuiltFiltersWriteNothing) {
  test::TestFolder home;
  test::TestFolder files;
  const std::string source = files.File("in.wav");
  ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -b 16 " + source + " synth 0.3 sine 440 vol 0.5").c_str()), 0);
  const std::string out = files.File("out.wav");
  for (const FilterRegistryRow& row : FilterRegistry()) {
    const FilterDescriptor& descriptor = row.descriptor();
    if (descriptor.commandName.empty() || descriptor.typeId != row.typeId) continue;
    const std::string name(descriptor.commandName);
    SCOPED_TRACE(name);
    const CliResult shown = RunCli({"filters", name}, home.Path());
    EXPECT_EQ(shown.exitCode, 0);
    if (!descriptor.Built()) {
      const CliResult refused = RunCli({"process", "--filter", name, source, out}, home.Path());
      EXPECT_EQ(refused.exitCode, 1);
      EXPECT_NE(refused.err.find("is not available yet"), std::string::npos) << refused.err;
      EXPECT_EQ(refused.err.find('\n'), refused.err.size() - 1) << "one message: " << refused.err;
      EXPECT_FALSE(std::ifstream(out).good());
      continue;
    }
    for (const ParameterRecord& parameter : descriptor.parameters) {
      EXPECT_NE(shown.out.find(std::to_string(parameter.minimum) + " ... " + std::to_string(parameter.maximum)),
                std::string::npos);
      for (const int32_t bad : {parameter.minimum - 1, parameter.maximum + 1}) {
        PresetValues values = descriptor.StartingValues();
        values.p[static_cast<size_t>(parameter.index)] = bad;
        std::string list;
        for (const int32_t v : values.p) list += (list.empty() ? "" : ",") + std::to_string(v);
        const CliResult refused = RunCli({"process", "--filter", name, "--values", list, source, out}, home.Path());
        EXPECT_EQ(refused.exitCode, 2) << parameter.label << " " << bad;
        EXPECT_NE(refused.err.find("Please enter an integer between " + std::to_string(parameter.minimum)),
                  std::string::npos)
            << refused.err;
        EXPECT_FALSE(std::ifstream(out).good());
      }
    }
  }
}

TEST(CliFilters, WithoutValuesARunTakesTheWindowsStartingValuesAndRefusesADamagedPreset) {
  test::TestFolder home;
  test::TestFolder files;
  const std::string source = files.File("in.wav");
  ASSERT_EQ(std::system(("sox -n -r 44100 -c 1 -b 16 " + source + " synth 1 pinknoise vol 0.3").c_str()), 0);
  const CliResult plain = RunCli({"process", "--filter", "impulse", source, files.File("plain.wav")}, home.Path());
  ASSERT_EQ(plain.exitCode, 0) << plain.err;
  ASSERT_EQ(RunCli({"process", "--filter", "impulse", "--values", "8000,7,0,0,1,0", source, files.File("start.wav")},
                   home.Path())
                .exitCode,
            0);
  EXPECT_EQ(test::ReadBytes(files.File("plain.wav")), test::ReadBytes(files.File("start.wav")));

  // Keep residue travels as p[3]: the output is the detector's residue, not the repair.
  ASSERT_EQ(RunCli({"process", "--filter", "impulse", "--values", "8000,7,0,1,1,0", source, files.File("residue.wav")},
                   home.Path())
                .exitCode,
            0);
  EXPECT_NE(test::ReadBytes(files.File("residue.wav")), test::ReadBytes(files.File("start.wav")));

  test::WriteFileText(home.File("ZTLiveDemoPresets.ini"), "[ImpulseSet]\nDamaged=-5,-99999,1,0,0,0,0,0,0,0,0\n"
                                                          "Default=abc,1,1,1,1,1,1,1,1,1,1\n");
  const CliResult damaged =
      RunCli({"process", "--filter", "impulse", "--preset", "Damaged", source, files.File("d.wav")}, home.Path());
  EXPECT_EQ(damaged.exitCode, 1);
  EXPECT_NE(damaged.err.find("The preset Damaged cannot be used: Value 0 (Threshold) is -5."), std::string::npos)
      << damaged.err;
  EXPECT_FALSE(std::ifstream(files.File("d.wav")).good());
  const CliResult badDefault = RunCli({"process", "--filter", "impulse", source, files.File("e.wav")}, home.Path());
  EXPECT_EQ(badDefault.exitCode, 1) << "a Default that reads as 0 for the threshold is refused too";
  EXPECT_FALSE(std::ifstream(files.File("e.wav")).good());
}

}  // namespace
}  // namespace ztlive::cli
