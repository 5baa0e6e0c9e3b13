// The user's files through the real ztlive-cli: outputs appear whole or not at all, are never
// their input by another spelling, have one writer at a time, and every failure says what went
// wrong. Runs the program as child processes (killed, limited in file size, or two at once).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/wave_stream.h"
#include "platform/output_lock.h"
#include "testing/child_process.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

extern char** environ;

namespace ztlive::cli {
namespace {

using test::ReadBytes;
using test::ReadFileText;
using test::TestFolder;

struct Cli {
  pid_t pid = -1;
  std::string capture;  // folder of the out and err files
};

// Starts ztlive-cli with a private configuration folder; fileSizeLimit > 0 sets RLIMIT_FSIZE
// in the child before exec (a disk that fills up at that size).
Cli StartCli(const std::vector<std::string>& args, const std::string& home, const std::string& capture,
             rlim_t fileSizeLimit = 0) {
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
  const std::string out = capture + "/out";
  const std::string err = capture + "/err";
  const pid_t pid = test::StartChild([&] {
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int nullFd = open("/dev/null", O_RDONLY);
    if (outFd < 0 || errFd < 0 || nullFd < 0) return 126;
    dup2(nullFd, 0);
    dup2(outFd, 1);
    dup2(errFd, 2);
    if (fileSizeLimit > 0) {
      const rlimit limit{fileSizeLimit, fileSizeLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    execve(argv[0], argv.data(), envp.data());
    return 127;
  });
  return Cli{pid, capture};
}

struct Result {
  int exitCode = -1;
  std::string out;
  std::string err;
};

Result Finish(const Cli& cli) {
  Result result;
  result.exitCode = test::WaitChild(cli.pid);
  result.out = ReadFileText(cli.capture + "/out");
  result.err = ReadFileText(cli.capture + "/err");
  return result;
}

Result RunCli(const std::vector<std::string>& args, const std::string& home, rlim_t fileSizeLimit = 0) {
  TestFolder capture;
  return Finish(StartCli(args, home, capture.Path(), fileSizeLimit));
}

bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

void Sox(const std::string& arguments) { ASSERT_EQ(std::system(("sox -n " + arguments).c_str()), 0) << arguments; }

// Names in folder other than the expected ones: temporaries and lock files left behind.
std::vector<std::string> Leftovers(const std::string& folder, const std::vector<std::string>& expected) {
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (std::find(expected.begin(), expected.end(), name) == expected.end()) left.push_back(name);
  }
  return left;
}

// A wave file whose header, as read (with a killed writer's length recovered), agrees with
// the bytes the file holds: whole frames up to the end of the file.
::testing::AssertionResult ValidWave(const std::string& path) {
  RunState run;
  WaveStream stream(4096, 0, run);
  if (const int error = stream.Open(path, kOpenRead); error != kStreamOk)
    return ::testing::AssertionFailure() << path << " does not open: " << error;
  const uint64_t size = std::filesystem::file_size(path);
  const uint64_t data = stream.DataBytes();
  if (data % stream.Format().blockAlign != 0 || stream.Layout().dataOffset + data > size ||
      size - (stream.Layout().dataOffset + data) >= stream.Format().blockAlign)
    return ::testing::AssertionFailure() << path << ": " << data << " data bytes in a file of " << size;
  return ::testing::AssertionSuccess();
}

TEST(CliOutputs, TheSameFileByAnySpellingIsRefusedAndNothingIsTouched) {
  TestFolder home;
  TestFolder files;
  Sox("-r 8000 -c 2 -b 16 " + files.File("e.wav") + " synth 1 sine 440 gain -3");
  const std::vector<uint8_t> original = ReadBytes(files.File("e.wav"));
  ASSERT_EQ(symlink("e.wav", files.File("link.wav").c_str()), 0);
  ASSERT_EQ(link(files.File("e.wav").c_str(), files.File("hard.wav").c_str()), 0);
  const std::string folderName = files.Path().substr(files.Path().rfind('/') + 1);
  const std::string parentSpelling = files.Path() + "/../" + folderName + "/e.wav";
  const struct {
    std::vector<std::string> args;
  } cases[] = {
      {{"convert", "--bits", "24", files.File("e.wav"), files.Path() + "/./e.wav"}},
      {{"convert", "--bits", "24", files.File("e.wav"), parentSpelling}},
      {{"convert", "--bits", "16", files.File("e.wav"), files.File("e.wav")}},
      {{"convert", "--bits", "8", files.File("e.wav"), files.File("link.wav")}},
      {{"process", "--filter", "low-pass", files.File("e.wav"), files.File("e.wav")}},
      {{"--no", "process", "--filter", "low-pass", files.File("e.wav"), files.Path() + "/./e.wav"}},
      {{"process", "--filter", "low-pass", files.File("e.wav"), parentSpelling}},
      {{"process", "--filter", "low-pass", files.File("e.wav"), files.File("link.wav")}},
      {{"--yes", "process", "--filter", "low-pass", files.File("e.wav"), files.File("hard.wav")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[c.args.size() - 1]);
    const Result result = RunCli(c.args, home.Path());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("is the same file as the input"), std::string::npos) << result.err;
    EXPECT_EQ(ReadBytes(files.File("e.wav")), original);
    EXPECT_EQ(Leftovers(files.Path(), {"e.wav", "link.wav", "hard.wav"}), std::vector<std::string>());
  }
}

TEST(CliOutputs, EveryRefusalNamesTheFileAndTheRealCause) {
  TestFolder home;
  TestFolder files;
  const std::string song = files.File("song.wav");
  Sox("-r 8000 -c 1 -b 16 " + song + " synth 1 sine 440 gain -3");
  Sox("-r 8000 -c 1 -e float -b 32 " + files.File("float.wav") + " synth 0.1 sine 440");
  Sox("-r 8000 -c 1 -e signed -b 32 " + files.File("int32.wav") + " synth 0.1 sine 440");
  Sox("-r 8000 -c 1 " + files.File("song.flac") + " synth 0.1 sine 440");
  test::WriteBytes(files.File("song.mp3"), {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0});
  test::WriteFileText(files.File("notes.wav"), "not audio");
  ASSERT_EQ(mkdir(files.File("folder.wav").c_str(), 0755), 0);
  const std::string processable = "Files that can be processed: PCM wave files of 8, 16, 20 or 24 bits, mono or stereo.";
  const struct {
    const char* name;
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {"missing input", {"process", "--filter", "notch", files.File("gone.wav"), files.File("o.wav")},
       files.File("gone.wav") + " cannot be read: No such file or directory."},
      {"MP3 input", {"process", "--filter", "notch", files.File("song.mp3"), files.File("o.wav")},
       files.File("song.mp3") + " is an MP3 file. " + processable},
      {"FLAC input", {"convert", "--bits", "16", files.File("song.flac"), files.File("o.wav")},
       files.File("song.flac") + " is a FLAC file. " + processable},
      {"floating-point input", {"process", "--filter", "notch", files.File("float.wav"), files.File("o.wav")},
       files.File("float.wav") + " holds floating-point samples. " + processable},
      {"32-bit input", {"process", "--filter", "notch", files.File("int32.wav"), files.File("o.wav")},
       files.File("int32.wav") + " holds 32-bit integer samples"},
      {"32-bit conversion", {"convert", "--bits", "24", files.File("int32.wav"), files.File("o.wav")},
       files.File("int32.wav") + " holds 32-bit integer samples"},
      {"text input", {"process", "--filter", "notch", files.File("notes.wav"), files.File("o.wav")},
       files.File("notes.wav") + " is not a wave file. " + processable},
      {"peak-file output", {"process", "--filter", "notch", song, files.File("out.pkf")},
       files.File("out.pkf") + " has the peak file extension .pkf"},
      {"peak-file conversion", {"convert", "--bits", "24", song, files.File("out.pkf")},
       files.File("out.pkf") + " has the peak file extension .pkf"},
      {"missing folder", {"process", "--filter", "notch", song, files.File("nowhere/o.wav")},
       files.File("nowhere/o.wav") + " cannot be written: the folder " + files.File("nowhere") + " does not exist."},
      {"folder as output", {"process", "--filter", "notch", song, files.File("folder.wav")},
       files.File("folder.wav") + " cannot be written: it is a folder."},
      {"folder as conversion output", {"convert", "--bits", "24", song, files.File("folder.wav")},
       files.File("folder.wav") + " cannot be written: it is a folder."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Result result = RunCli(c.args, home.Path());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("incompatible"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("error: ERROR:"), std::string::npos) << result.err;
    EXPECT_FALSE(Exists(files.File("o.wav")));
    EXPECT_FALSE(Exists(files.File("out.pkf")));
  }
  const Result info = RunCli({"info", files.File("int32.wav")}, home.Path());
  EXPECT_EQ(info.exitCode, 0);
  EXPECT_NE(info.out.find("Notice:   " + files.File("int32.wav") + " holds 32-bit integer samples: it can be read, "
                          "but not processed or converted."),
            std::string::npos)
      << info.out;
  const Result unreadable = RunCli({"process", "--filter", "notch", files.File("song.wav"), files.File("o.pkf.wav")},
                                   home.Path());
  EXPECT_EQ(unreadable.exitCode, 0) << "a name that merely contains the extension is fine: " << unreadable.err;

  // In sync mode an existing destination is written in place: never through a link.
  std::filesystem::copy_file(song, files.File("target.wav"));
  ASSERT_EQ(symlink(files.File("target.wav").c_str(), files.File("link.wav").c_str()), 0);
  const std::vector<uint8_t> target = ReadBytes(files.File("target.wav"));
  const Result throughLink = RunCli({"process", "--filter", "notch", song, files.File("link.wav")}, home.Path());
  EXPECT_EQ(throughLink.exitCode, 1);
  EXPECT_NE(throughLink.err.find(files.File("link.wav") + " is a link"), std::string::npos) << throughLink.err;
  EXPECT_EQ(ReadBytes(files.File("target.wav")), target);

  if (geteuid() != 0) {  // the superuser writes into any folder
    ASSERT_EQ(mkdir(files.File("locked").c_str(), 0555), 0);
    const Result locked = RunCli({"process", "--filter", "notch", song, files.File("locked/o.wav")}, home.Path());
    EXPECT_EQ(locked.exitCode, 1);
    EXPECT_NE(locked.err.find("cannot be written: the folder " + files.File("locked") + " is not writable"),
              std::string::npos)
        << locked.err;
  }
}

// An output being written by one run fails a second run at once; runs started together each
// either write the whole output or fail with that message, and never mix their blocks.
TEST(CliOutputs, OneWriterPerOutput) {
  TestFolder home;
  TestFolder files;
  const std::string source = files.File("long.wav");
  Sox("-r 44100 -c 2 -b 24 " + source + " synth 20 whitenoise gain -6");
  const std::string out = files.File("out.wav");
  {
    std::string error;
    std::optional<OutputLock> held = OutputLock::Acquire(out, error);
    ASSERT_TRUE(held.has_value()) << error;
    const Result second = RunCli({"process", "--filter", "low-pass", source, out}, home.Path());
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.err.find(out + " is being written by another run of the program."), std::string::npos)
        << second.err;
    EXPECT_FALSE(Exists(out));
    const Result convert = RunCli({"convert", "--bits", "16", source, out}, home.Path());
    EXPECT_EQ(convert.exitCode, 1);
    EXPECT_NE(convert.err.find("is being written by another run"), std::string::npos) << convert.err;
  }
  ASSERT_EQ(RunCli({"settings", "set", "ZANTO", "SYNCMODE", "0"}, home.Path()).exitCode, 0);
  ASSERT_EQ(RunCli({"process", "--filter", "low-pass", source, files.File("reference.wav")}, home.Path()).exitCode, 0);
  const std::vector<uint8_t> reference = ReadBytes(files.File("reference.wav"));
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE(round);
    TestFolder captureA;
    TestFolder captureB;
    const Cli a = StartCli({"--yes", "process", "--filter", "low-pass", source, out}, home.Path(), captureA.Path());
    const Cli b = StartCli({"--yes", "process", "--filter", "low-pass", source, out}, home.Path(), captureB.Path());
    for (const Result& result : {Finish(a), Finish(b)})
      if (result.exitCode != 0) {
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find("is being written by another run"), std::string::npos) << result.err;
      }
    EXPECT_EQ(ReadBytes(out), reference);
    EXPECT_EQ(Leftovers(files.Path(), {"long.wav", "out.wav", "out.pkf", "reference.wav", "reference.pkf"}),
              std::vector<std::string>());
  }
}

// A region run in sync mode into an existing output, whose peak file cannot be written for
// lack of space, fails and leaves no empty peak file.
TEST(CliOutputs, APeakFileThatDoesNotFitFailsTheRun) {
  TestFolder home;
  TestFolder files;
  Sox("-r 8000 -c 1 -b 16 " + files.File("a.wav") + " synth 5 sine 440 gain -3");
  Sox("-r 8000 -c 1 -b 16 " + files.File("out.wav") + " synth 5 sine 300 gain -3");
  const Result result = RunCli({"process", "--filter", "low-pass", "--from", "0", "--to", "0.1", files.File("a.wav"),
                                files.File("out.wav")},
                               home.Path(), 20000);
  EXPECT_EQ(result.exitCode, 1) << result.out;
  EXPECT_NE(result.err.find("The peak file " + files.File("out.pkf") + " could not be written"), std::string::npos)
      << result.err;
  EXPECT_FALSE(Exists(files.File("out.pkf")));
  EXPECT_TRUE(ValidWave(files.File("out.wav")));
}

// Killed at random moments (SIGKILL), or stopped by a full disk (a file size limit): the source
// stays as it was; the output is absent, the earlier file as it was, or a valid wave; and once
// the program has run again into that output, no temporary or lock file is left.
TEST(CliOutputs, KilledOrOutOfSpaceRunsNeverLeaveAPartialOrForeignFile) {
  TestFolder homeSync;     // SYNCMODE 1 (the default): an existing output is written in place
  TestFolder homeReplace;  // SYNCMODE 0: an existing output is replaced
  ASSERT_EQ(RunCli({"settings", "set", "ZANTO", "SYNCMODE", "0"}, homeReplace.Path()).exitCode, 0);
  TestFolder files;
  const std::string source = files.File("long.wav");
  Sox("-r 44100 -c 2 -b 24 " + source + " synth 90 whitenoise gain -6");
  Sox("-r 44100 -c 2 -b 24 " + files.File("short.wav") + " synth 0.05 sine 440");
  Sox("-r 44100 -c 2 -b 24 " + files.File("earlier.wav") + " synth 3 sine 440");
  const std::vector<uint8_t> sourceBytes = ReadBytes(source);
  const std::vector<uint8_t> earlierBytes = ReadBytes(files.File("earlier.wav"));
  const std::string out = files.File("out.wav");
  const std::vector<std::string> expected{"long.wav", "short.wav", "earlier.wav", "out.wav", "out.pkf"};

  enum class Kind { NewFile, Replace, InPlace };
  const struct Job {
    const char* name;
    Kind kind;
    std::string home;
    std::vector<std::string> args;
  } jobs[] = {
      {"process into a new file", Kind::NewFile, homeSync.Path(), {"process", "--filter", "low-pass", source, out}},
      {"process replacing a file", Kind::Replace, homeReplace.Path(),
       {"--yes", "process", "--filter", "low-pass", source, out}},
      {"process in place", Kind::InPlace, homeSync.Path(), {"process", "--filter", "low-pass", source, out}},
      {"convert into a new file", Kind::NewFile, homeSync.Path(), {"convert", "--bits", "16", source, out}},
      {"convert replacing a file", Kind::Replace, homeSync.Path(), {"--yes", "convert", "--bits", "16", source, out}},
  };
  auto prepare = [&](const Job& job) {
    std::filesystem::remove(out);
    std::filesystem::remove(files.File("out.pkf"));
    if (job.kind == Kind::Replace) test::WriteBytes(out, earlierBytes);
    if (job.kind == Kind::InPlace) std::filesystem::copy_file(source, out);
  };
  TestFolder references;
  auto isConvert = [](const Job& job) { return std::find(job.args.begin(), job.args.end(), "convert") != job.args.end(); };
  auto Reference = [&](const Job& job) { return references.File(isConvert(job) ? "convert.wav" : "process.wav"); };
  auto check = [&](const Job& job, const Result& result) {
    EXPECT_EQ(ReadBytes(source), sourceBytes) << "the source is never touched";
    if (!Exists(out)) {
      EXPECT_NE(job.kind, Kind::InPlace) << "a file written in place is never removed";
      EXPECT_NE(job.kind, Kind::Replace) << "an earlier file is never removed";
      EXPECT_NE(result.exitCode, 0) << "a run that says it succeeded left no output";
    } else if (job.kind == Kind::Replace && ReadBytes(out) == earlierBytes) {
      EXPECT_NE(result.exitCode, 0);
    } else {
      EXPECT_TRUE(ValidWave(out));
      // Killed after its rename (while its peaks were built), a new output is already whole.
      if (job.kind != Kind::InPlace) {
        EXPECT_EQ(ReadBytes(out), ReadBytes(Reference(job))) << "a partial output appeared";
      }
    }
  };
  // Once the program has run again into the same output, nothing of the killed run is left.
  auto runAgain = [&](const Job& job) {
    const std::vector<std::string> again =
        isConvert(job) ? std::vector<std::string>{"--yes", "convert", "--bits", "16", files.File("short.wav"), out}
                       : std::vector<std::string>{"--yes", "process", "--filter", "low-pass", files.File("short.wav"), out};
    const Result result = RunCli(again, job.home);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(Leftovers(files.Path(), expected), std::vector<std::string>());
  };

  // How long an undisturbed run takes, so that the kills fall inside the run.
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(RunCli({"process", "--filter", "low-pass", source, references.File("process.wav")}, homeSync.Path()).exitCode, 0);
  const auto fullRun = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  ASSERT_EQ(RunCli({"convert", "--bits", "16", source, references.File("convert.wav")}, homeSync.Path()).exitCode, 0);
  const uint64_t outputSize = std::filesystem::file_size(references.File("process.wav"));

  std::mt19937 random(20240607);
  for (int attempt = 0; attempt < 20; ++attempt) {
    const Job& job = jobs[static_cast<size_t>(attempt) % std::size(jobs)];
    const auto delay = std::chrono::microseconds(random() % static_cast<uint64_t>(fullRun.count() * 6 / 5 + 1));
    SCOPED_TRACE(std::string(job.name) + ", killed after " + std::to_string(delay.count()) + " us");
    prepare(job);
    TestFolder capture;
    const Cli cli = StartCli(job.args, job.home, capture.Path());
    std::this_thread::sleep_for(delay);
    kill(cli.pid, SIGKILL);
    check(job, Finish(cli));
    runAgain(job);
  }
  for (int attempt = 0; attempt < 10; ++attempt) {
    const Job& job = jobs[static_cast<size_t>(attempt) % std::size(jobs)];
    const rlim_t limit = 1 + random() % outputSize;
    SCOPED_TRACE(std::string(job.name) + ", files limited to " + std::to_string(limit) + " bytes");
    prepare(job);
    const Result result = RunCli(job.args, job.home, limit);
    check(job, result);
    if (job.kind != Kind::InPlace) {
      EXPECT_EQ(result.exitCode, 1) << "the output cannot fit";
      EXPECT_FALSE(result.err.empty()) << "the failure is reported";
    }
    EXPECT_EQ(Leftovers(files.Path(), expected), std::vector<std::string>()) << "a failed run cleans up itself";
  }
}

}  // namespace
}  // namespace ztlive::cli
