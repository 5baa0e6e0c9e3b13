// Batches through the real ztlive-cli: results of parallel runs equal those of one at a time,
// bad files are reported while the rest finish, a batch killed outright resumes without
// leaving a partial file, shards (also through GNU parallel) split the list exactly, and job
// files round trip. The batch runs child processes.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/batch_plan.h"
#include "cli/cli_runner.h"
#include "testing/same_bytes.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive::cli {
namespace {

namespace fs = std::filesystem;
using test::CliProcess;
using test::CliResult;
using test::RunCli;
using ztlive::test::ReadBytes;
using ztlive::test::SameBytes;
using ztlive::test::TestFolder;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

bool HaveTool(const char* name) { return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0; }

// A wave file of pink noise with clicks made by sox.
void MakeWave(const std::string& path, int rate, int channels, int bits, double seconds) {
  const std::string command = "sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b " +
                              std::to_string(bits) + (bits == 8 ? " -e unsigned-integer " : " -e signed-integer ") + path + " synth " +
                              std::to_string(seconds) + " pinknoise vol 0.3 >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

struct Format {
  int rate;
  int channels;
  int bits;
};
// Eight files of mixed widths and channel counts.
const Format kMixed[] = {{44100, 2, 16}, {22050, 1, 8},  {48000, 2, 24}, {44100, 1, 16},
                         {32000, 2, 8},  {44100, 1, 24}, {48000, 2, 16}, {8000, 1, 16}};

std::vector<std::string> MakeMixedFiles(const TestFolder& folder, double seconds) {
  std::vector<std::string> files;
  for (size_t i = 0; i < std::size(kMixed); ++i) {
    const Format& f = kMixed[i];
    files.push_back(folder.File("take" + std::to_string(i) + "_" + std::to_string(f.bits) + ".wav"));
    MakeWave(files.back(), f.rate, f.channels, f.bits, seconds);
  }
  return files;
}

std::vector<std::string> Args(std::vector<std::string> head, const std::vector<std::string>& files) {
  head.insert(head.end(), files.begin(), files.end());
  return head;
}

// The names in folder that a run in progress leaves (unfinished copies, lock files).
std::vector<std::string> LeftOvers(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.find(".ztpart") != std::string::npos || name.find(".lock") != std::string::npos) found.push_back(name);
  }
  return found;
}

std::string FileName(const std::string& path) { return fs::path(path).filename().string(); }

// The processes whose command line mentions text.
std::vector<pid_t> ProcessIdsMentioning(const std::string& text) {
  std::vector<pid_t> found;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string words = ztlive::test::ReadFileText(entry.path().string() + "/cmdline");
    std::replace(words.begin(), words.end(), '\0', ' ');
    if (words.find(text) != std::string::npos) found.push_back(static_cast<pid_t>(std::stol(name)));
  }
  return found;
}
int ProcessesMentioning(const std::string& text) { return static_cast<int>(ProcessIdsMentioning(text).size()); }

TEST(CliBatch, ParallelResultsEqualOneAtATimeAndARunAlone) {
  if (!HaveTool("sox")) GTEST_SKIP() << "sox is not installed";
  TestFolder home;
  TestFolder files;
  ztlive::test::WriteFileText(home.File("settings.ini"), "[ZANTO]\nMaxUndoLevs=7\n");
  const std::string settingsBefore = ztlive::test::ReadFileText(home.File("settings.ini"));
  const std::vector<std::string> sources = MakeMixedFiles(files, 1.5);
  const std::string chain = "impulse+continuous-noise";
  const std::vector<std::string> job{"--chain", chain, "--noise-from", "0", "--noise-to", "0.5", "--from", "0.25"};

  const CliResult one = RunCli(Args(Args({"batch", "--jobs", "1", "--out-dir", files.File("one")}, job), sources),
                               home.Path());
  ASSERT_EQ(one.exitCode, 0) << one.out << one.err;
  const CliResult two = RunCli(Args(Args({"batch", "--jobs", "2", "--out-dir", files.File("two")}, job), sources),
                               home.Path());
  ASSERT_EQ(two.exitCode, 0) << two.out << two.err;
  EXPECT_TRUE(Has(two.out, "8 files: 8 done, 0 skipped, 0 failed, 0 not started")) << two.out;
  for (const std::string& source : sources) {
    SCOPED_TRACE(source);
    const std::vector<uint8_t> first = ReadBytes(files.File("one/" + FileName(source)));
    ASSERT_GT(first.size(), 44u);
    EXPECT_TRUE(SameBytes(ReadBytes(files.File("two/" + FileName(source))), first));
  }
  // The children wrote nothing into the configuration folder.
  EXPECT_EQ(ztlive::test::ReadFileText(home.File("settings.ini")), settingsBefore);
  std::vector<std::string> homeFiles;
  for (const auto& entry : fs::directory_iterator(home.Path())) homeFiles.push_back(FileName(entry.path()));
  EXPECT_EQ(homeFiles, std::vector<std::string>{"settings.ini"});
  // The same as process run over that file alone.
  const std::string alone = files.File("alone.wav");
  const CliResult process = RunCli(Args({"process", "--chain", chain, "--noise-from", "0", "--noise-to", "0.5",
                                         "--from", "0.25"},
                                        {sources[2], alone}),
                                   home.Path());
  ASSERT_EQ(process.exitCode, 0) << process.err;
  EXPECT_TRUE(SameBytes(ReadBytes(files.File("one/" + FileName(sources[2]))), ReadBytes(alone)));
}

TEST(CliBatch, BadFilesAreReportedAndTheRestFinish) {
  if (!HaveTool("sox")) GTEST_SKIP() << "sox is not installed";
  TestFolder home;
  TestFolder files;
  const std::string a = files.File("a.wav");
  const std::string b = files.File("b.wav");
  MakeWave(a, 44100, 2, 16, 1);
  MakeWave(b, 22050, 1, 8, 1);
  const std::string text = files.File("text.wav");
  ztlive::test::WriteFileText(text, "plain text, not a wave");
  const std::string mp3 = files.File("song.mp3");
  ztlive::test::WriteFileText(mp3, "ID3 and more");
  const std::string gone = files.File("gone.wav");

  const CliResult result = RunCli({"batch", "--filter", "impulse", "--jobs", "2", a, text, mp3, gone, b}, home.Path());
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(Has(result.out, "5 files: 2 done, 0 skipped, 3 failed, 0 not started")) << result.out;
  EXPECT_TRUE(Has(result.out, "failed: " + text + ": " + text + " is not a wave file")) << result.out;
  EXPECT_TRUE(Has(result.out, "failed: " + mp3 + ": " + mp3 + " is an MP3 file")) << result.out;
  EXPECT_TRUE(Has(result.out, "failed: " + gone + ": ")) << result.out;
  // Numbered names beside the sources.
  EXPECT_TRUE(Has(result.out, "done: " + a + " -> " + files.File("a1.wav"))) << result.out;
  EXPECT_TRUE(Has(result.out, "done: " + b + " -> " + files.File("b1.wav"))) << result.out;
  EXPECT_TRUE(fs::exists(files.File("a1.wav")));
  EXPECT_FALSE(fs::exists(files.File("text1.wav")));
  EXPECT_TRUE(LeftOvers(files.Path()).empty());

  // --stop-on-error starts nothing after the first failure.
  const CliResult stopped =
      RunCli({"batch", "--filter", "impulse", "--jobs", "1", "--stop-on-error", "--out-dir", files.File("s"), text, a, b},
             home.Path());
  EXPECT_EQ(stopped.exitCode, 1);
  EXPECT_TRUE(Has(stopped.out, "3 files: 0 done, 0 skipped, 1 failed, 2 not started")) << stopped.out;
  EXPECT_FALSE(fs::exists(files.File("s/a.wav")));
}

TEST(CliBatch, ResumeAfterAKillFinishesTheRestWithoutPartialFiles) {
  if (!HaveTool("sox")) GTEST_SKIP() << "sox is not installed";
  TestFolder home;
  TestFolder files;
  std::vector<std::string> sources;
  for (int i = 0; i < 8; ++i) {
    sources.push_back(files.File("side" + std::to_string(i) + ".wav"));
    MakeWave(sources.back(), 44100, 2, 16, 20);
  }
  const std::string out = files.File("out");
  const std::vector<std::string> job{"--chain", "impulse+continuous-noise", "--noise-from", "0", "--noise-to", "1"};
  // Numbered names change once a result exists: --resume needs the destination directory.
  const CliResult refused = RunCli(Args(Args({"batch", "--resume"}, job), sources), home.Path());
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_TRUE(Has(refused.err, "--resume needs a destination directory")) << refused.err;

  pid_t killedBatch = 0;
  {
    CliProcess batch(Args(Args({"batch", "--jobs", "2", "--out-dir", out}, job), sources), home.Path());
    // Killed outright once some results exist ...
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    auto finished = [&] {
      int count = 0;
      for (const std::string& source : sources) count += fs::exists(out + "/" + FileName(source)) ? 1 : 0;
      return count;
    };
    // ... and while a file runs.
    while ((finished() < 2 || ProcessesMentioning(out + "/") == 0) && std::chrono::steady_clock::now() < deadline &&
           batch.Running())
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // A worker just forked still carries the batch's command line until it starts: the batch
    // is the process this test started.
    killedBatch = batch.Pid();
    const std::vector<pid_t> batchIds = ProcessIdsMentioning("--out-dir " + out);
    ASSERT_NE(std::find(batchIds.begin(), batchIds.end(), killedBatch), batchIds.end());
    ASSERT_TRUE(batch.Send(SIGKILL)) << "the batch ended before it could be killed";
    batch.Finish();
    ASSERT_LT(finished(), 8) << "every file was done before the kill";
  }
  // The children die with the batch: no run goes on writing behind a resumed one.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
  while (ProcessesMentioning(out + "/") > 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(ProcessesMentioning(out + "/"), 0);

  const CliResult resumed = RunCli(Args(Args({"batch", "--resume", "--jobs", "2", "--out-dir", out}, job), sources),
                                   home.Path());
  ASSERT_EQ(resumed.exitCode, 0) << resumed.out << resumed.err;
  EXPECT_TRUE(Has(resumed.out, "exists already")) << resumed.out;
  EXPECT_TRUE(LeftOvers(out).empty()) << LeftOvers(out).front();
  // The killed batch's private folder is gone too.
  const char* tmp = std::getenv("TMPDIR");
  const std::string prefix = "ztlive-batch-" + std::to_string(killedBatch) + "-";
  for (const auto& entry : fs::directory_iterator(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp"))
    EXPECT_NE(FileName(entry.path()).rfind(prefix, 0), 0u) << entry.path();
  // Every result is whole: the same as a run of the file alone.
  for (const size_t index : {size_t{0}, sources.size() - 1}) {
    const std::string alone = files.File("alone" + std::to_string(index) + ".wav");
    ASSERT_EQ(RunCli(Args({"process", "--chain", "impulse+continuous-noise", "--noise-from", "0", "--noise-to", "1"},
                          {sources[index], alone}),
                     home.Path())
                  .exitCode,
              0);
    EXPECT_TRUE(SameBytes(ReadBytes(out + "/" + FileName(sources[index])), ReadBytes(alone))) << index;
  }
  for (const std::string& source : sources)
    EXPECT_EQ(fs::file_size(out + "/" + FileName(source)), fs::file_size(source)) << source;
}

TEST(CliBatch, ARunKilledMidwayIsReportedAndLeavesNothingBehind) {
  if (!HaveTool("sox")) GTEST_SKIP() << "sox is not installed";
  TestFolder home;
  TestFolder files;
  std::vector<std::string> sources;
  for (int i = 0; i < 3; ++i) {
    sources.push_back(files.File("r" + std::to_string(i) + ".wav"));
    MakeWave(sources.back(), 44100, 2, 16, 30);
  }
  const std::string out = files.File("out");
  CliProcess batch(Args({"batch", "--chain", "impulse+continuous-noise", "--noise-from", "0", "--noise-to", "1",
                         "--jobs", "1", "--out-dir", out},
                        sources),
                   home.Path());
  // The run of the second file is killed while it writes.
  const std::string second = out + "/" + FileName(sources[1]);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  std::vector<pid_t> runs;
  while ((runs = ProcessIdsMentioning(second)).empty() && std::chrono::steady_clock::now() < deadline && batch.Running())
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ASSERT_EQ(runs.size(), 1u) << "the second file's run was not seen";
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  kill(runs[0], SIGKILL);
  const CliResult result = batch.Finish();
  EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
  EXPECT_TRUE(Has(result.out, "failed: " + sources[1] + ": the run ended by signal 9; its unfinished output was removed"))
      << result.out;
  EXPECT_TRUE(Has(result.out, "3 files: 2 done, 0 skipped, 1 failed, 0 not started")) << result.out;
  EXPECT_FALSE(fs::exists(second));
  EXPECT_TRUE(LeftOvers(out).empty()) << LeftOvers(out).front();
}

// The sources each "done:" line of a batch's output names.
std::multiset<std::string> DoneSources(const std::string& output) {
  std::multiset<std::string> done;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("done: ", 0) == 0) done.insert(line.substr(6, line.find(" -> ") - 6));
  return done;
}

TEST(CliBatch, ShardsSplitTheListExactlyAlsoThroughGnuParallel) {
  if (!HaveTool("sox")) GTEST_SKIP() << "sox is not installed";
  TestFolder home;
  TestFolder files;
  std::vector<std::string> sources;
  for (int i = 0; i < 7; ++i) {
    sources.push_back(files.File("s" + std::to_string(i) + ".wav"));
    MakeWave(sources.back(), 8000, 1, 16, 0.5);
  }
  const std::multiset<std::string> whole(sources.begin(), sources.end());
  std::multiset<std::string> union3;
  for (const char* shard : {"1/3", "2/3", "3/3"}) {
    const CliResult run =
        RunCli(Args({"batch", "--filter", "median", "--shard", shard, "--out-dir", files.File("a")}, sources),
               home.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::multiset<std::string> done = DoneSources(run.out);
    EXPECT_GE(done.size(), 2u) << shard;
    union3.insert(done.begin(), done.end());
  }
  EXPECT_EQ(union3, whole);

  if (!HaveTool("parallel")) GTEST_SKIP() << "GNU parallel is not installed (Debian package parallel)";
  std::string command = "ZTLIVE_HOME=" + home.Path() + " parallel --will-cite " + ZTLIVE_CLI_PATH +
                        " batch --filter median --out-dir " + files.File("b") + " --shard {}/3";
  for (const std::string& source : sources) command += " " + source;
  command += " ::: 1 2 3 > " + files.File("parallel.out") + " 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << ztlive::test::ReadFileText(files.File("parallel.out"));
  EXPECT_EQ(DoneSources(ztlive::test::ReadFileText(files.File("parallel.out"))), whole);
  for (const std::string& source : sources)
    EXPECT_TRUE(SameBytes(ReadBytes(files.File("b/" + FileName(source))), ReadBytes(files.File("a/" + FileName(source)))));
}

TEST(CliBatch, JobFilesRoundTripAndRefuseWhatTheyCannotHold) {
  TestFolder home;
  TestFolder files;
  const std::string a = files.File("a.wav");
  const std::string b = files.File("b.wav");
  const auto silence = std::vector<uint8_t>(8000 * 2 * 5);
  ztlive::test::WriteBytes(a, ztlive::test::WaveBytes().Format(1, 1, 8000, 16).Data(silence).Build());
  ztlive::test::WriteBytes(b, ztlive::test::WaveBytes().Format(1, 2, 8000, 16).Data(silence).Build());
  ASSERT_EQ(RunCli({"playlist", "new", files.File("list.wls"), b, a}, home.Path()).exitCode, 0);

  const std::string job = files.File("job.fbt");
  const CliResult written =
      RunCli({"batch", "--filter", "notch", "--first", "3", "--write-job", job, a, files.File("list.wls")}, home.Path());
  ASSERT_EQ(written.exitCode, 0) << written.err;
  EXPECT_EQ(written.out, job + " written: 3 files.\n");
  std::vector<uint8_t> expected{0x20};
  const std::string magic = "ZANTO32 BATCH FILE VER 1.00 1999";
  expected.insert(expected.end(), magic.begin(), magic.end());
  for (uint8_t byte : {13, 0, 0, 0, 2, 0, 0, 0}) expected.push_back(byte);
  ASSERT_GT(ReadBytes(job).size(), expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), ReadBytes(job).begin()));

  // The job file runs as the command line did, and writes itself again byte for byte.
  const CliResult fromOptions = RunCli({"batch", "--filter", "notch", "--first", "3", "--dry-run", a, files.File("list.wls")}, home.Path());
  const CliResult fromFile = RunCli({"batch", job, "--dry-run"}, home.Path());
  ASSERT_EQ(fromFile.exitCode, 0) << fromFile.err;
  EXPECT_EQ(fromFile.out, fromOptions.out);
  EXPECT_EQ(fromFile.out, a + " -> " + files.File("a1.wav") + " (0:00.000 to 0:03.000)\n" + b + " -> " +
                              files.File("b1.wav") + " (0:00.000 to 0:02.500)\n" + a + " -> " + files.File("a2.wav") +
                              " (0:00.000 to 0:03.000)\n");
  // A job file's results go where the window's destination directory setting says.
  TestFolder windowHome;
  ztlive::test::WriteFileText(windowHome.File("settings.ini"),
                              "[BatchEdit]\nUseDestDir=1\nDestDir=" + files.File("dest") + "/\n");
  const CliResult intoSetting = RunCli({"batch", job, "--dry-run"}, windowHome.Path());
  ASSERT_EQ(intoSetting.exitCode, 0) << intoSetting.err;
  EXPECT_EQ(intoSetting.out, a + " -> " + files.File("dest/a.wav") + " (0:00.000 to 0:03.000)\n" + b + " -> " +
                                 files.File("dest/b.wav") + " (0:00.000 to 0:02.500)\n" + a + " -> " +
                                 files.File("dest/a1.wav") + " (0:00.000 to 0:03.000)\n");
  ASSERT_EQ(RunCli({"batch", job, "--write-job", files.File("again.fbt")}, home.Path()).exitCode, 0);
  EXPECT_TRUE(SameBytes(ReadBytes(files.File("again.fbt")), ReadBytes(job)));

  struct Case {
    const char* what;
    std::vector<std::string> args;
    int exitCode;
    std::string message;
  };
  const Case cases[] = {
      {"values", {"batch", "--filter", "notch", "--values", "0,50,10", "--write-job", files.File("x.fbt"), a}, 1,
       "--values cannot be kept in a job file"},
      {"a filter list", {"batch", "--chain", "notch+median", "--write-job", files.File("x.fbt"), a}, 1,
       "--chain FILTERS cannot be kept in a job file"},
      {"not a job file", {"batch", a}, 1, a + " is not a batch file."},
      {"a shard of nothing", {"batch", "--filter", "notch", "--shard", "4/3", a}, 2, "--shard takes K/N"},
      {"no jobs", {"batch", "--filter", "notch", "--jobs", "0", a}, 2, "--jobs takes a whole number"},
      {"two regions", {"batch", "--filter", "notch", "--first", "1", "--last", "1", a}, 2, "ztlive-cli batch"},
      {"a time past 32000 s", {"batch", "--filter", "notch", "--last", "32001", a}, 2, "between 0 and 32000"},
      {"normalize", {"batch", "--filter", "32", a}, 1, "Normalize changes each source in place"},
      {"a shard of numbered names", {"batch", "--filter", "notch", "--shard", "1/2", a}, 2,
       "--shard needs a destination directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const CliResult result = RunCli(c.args, home.Path());
    EXPECT_EQ(result.exitCode, c.exitCode) << result.out;
    EXPECT_TRUE(Has(result.err, c.message)) << result.err;
  }
  EXPECT_FALSE(fs::exists(files.File("x.fbt")));
  EXPECT_FALSE(fs::exists(files.File("a1.wav")));
}

TEST(BatchPlan, SharesJobsAndDirectoryNames) {
  struct ShardCase {
    const char* text;
    bool valid;
    int index;
    int count;
  };
  const ShardCase shards[] = {{"1/3", true, 1, 3}, {"3/3", true, 3, 3}, {"0/3", false, 0, 0}, {"4/3", false, 0, 0},
                              {"1/0", false, 0, 0}, {"-1/3", false, 0, 0}, {"1/", false, 0, 0}, {"13", false, 0, 0},
                              {"1/3x", false, 0, 0}, {"99999999999/1", false, 0, 0}};
  for (const ShardCase& c : shards) {
    const auto shard = ParseShard(c.text);
    EXPECT_EQ(shard.has_value(), c.valid) << c.text;
    if (shard) {
      EXPECT_EQ(shard->index, c.index);
      EXPECT_EQ(shard->count, c.count);
    }
  }
  EXPECT_EQ(ParseJobs("2", 8), 2);
  EXPECT_EQ(ParseJobs("9", 8), std::nullopt);
  EXPECT_EQ(ParseJobs("0", 8), std::nullopt);
  EXPECT_EQ(ParseJobs("2.5", 8), std::nullopt);
  // Every entry falls in exactly one share.
  for (int count = 1; count <= 5; ++count)
    for (size_t i = 0; i < 20; ++i) {
      int shares = 0;
      for (int index = 1; index <= count; ++index) shares += InShard(i, Shard{index, count}) ? 1 : 0;
      EXPECT_EQ(shares, 1) << i << " of " << count;
    }

  TestFolder folder;
  ztlive::test::WriteFileText(folder.File("take3.wav"), "x");
  ztlive::test::WriteFileText(folder.File("song.wav"), "x");  // already in the directory: no effect
  const std::vector<std::string> names = DirectoryOutputNames(
      {"/a/song.wav", "/b/song.wav", "/c/take3.wav", folder.File("take3.wav"), "/d/song1.wav", "/e/noext"},
      folder.Path() + "/");
  // A name that is one of the sources moves on, as does a name given earlier.
  const std::vector<std::string> expected{folder.File("song.wav"), folder.File("song1.wav"),
                                          folder.File("take4.wav"), folder.File("take5.wav"),
                                          folder.File("song2.wav"), folder.File("noext")};
  EXPECT_EQ(names, expected);
}

}  // namespace
}  // namespace ztlive::cli
