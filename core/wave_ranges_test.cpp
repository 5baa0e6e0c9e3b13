#include "core/wave_ranges.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/wave_stream.h"
#include "platform/scripted_prompts.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using test::TestFolder;
using test::WaveBytes;

// A 16-bit stereo file whose data bytes are 0, 1, 2, ... (mod 251).
std::vector<uint8_t> Pattern(size_t bytes, uint8_t offset = 0) {
  std::vector<uint8_t> data(bytes);
  for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>((i + offset) % 251);
  return data;
}

void WriteWave(const std::string& path, const std::vector<uint8_t>& data) {
  test::WriteBytes(path, WaveBytes().Format(1, 2, 44100, 16).Data(data).Build());
}

// The data bytes of a file, read through our own stream.
std::vector<uint8_t> DataOf(const std::string& path) {
  RunState run;
  WaveStream stream(4096, 4096, run);
  EXPECT_EQ(stream.Open(path, kOpenRead), kStreamOk) << path;
  std::vector<uint8_t> data(stream.DataBytes());
  EXPECT_EQ(stream.ReadRaw(data.data(), data.size()), static_cast<int64_t>(data.size()));
  EXPECT_EQ(test::ReadBytes(path).size(), 44 + data.size()) << "the header matches the file";
  return data;
}

class WaveRanges : public ::testing::Test {
 protected:
  TestFolder folder;
  ScriptedPrompts prompts;
};

TEST_F(WaveRanges, CopyIntoANewFileOverARangeAndPastTheEnd) {
  WriteWave(folder.File("a.wav"), Pattern(40000));
  ASSERT_EQ(CopyRange(folder.File("a.wav"), folder.File("part.wav"), 1001, 9003, 0, 0, prompts), 1);
  const std::vector<uint8_t> pattern = Pattern(40000);
  EXPECT_EQ(DataOf(folder.File("part.wav")), std::vector<uint8_t>(pattern.begin() + 1000, pattern.begin() + 9000))
      << "offsets are rounded down to frames";

  WriteWave(folder.File("b.wav"), std::vector<uint8_t>(20000, 0));
  ASSERT_EQ(CopyRange(folder.File("part.wav"), folder.File("b.wav"), 0, 0, 4000, 0, prompts), 1);
  std::vector<uint8_t> expected(20000, 0);
  std::copy(pattern.begin() + 1000, pattern.begin() + 9000, expected.begin() + 4000);
  EXPECT_EQ(DataOf(folder.File("b.wav")), expected) << "written in place, length kept";

  ASSERT_EQ(CopyRange(folder.File("part.wav"), folder.File("b.wav"), 0, 0, 16000, 0, prompts), 1);
  expected.resize(24000);
  std::copy(pattern.begin() + 1000, pattern.begin() + 9000, expected.begin() + 16000);
  EXPECT_EQ(DataOf(folder.File("b.wav")), expected) << "the file grows";
  EXPECT_TRUE(prompts.Entries().empty());
}

TEST_F(WaveRanges, CutShortensTheFileAndInsertPutsTheBytesBack) {
  const std::vector<uint8_t> pattern = Pattern(30000);
  WriteWave(folder.File("a.wav"), pattern);
  ASSERT_EQ(CopyRange(folder.File("a.wav"), folder.File("piece.wav"), 12000, 20000, 0, 0, prompts), 1);
  ASSERT_EQ(CutRange(folder.File("a.wav"), 12000, 20000, prompts), 1);
  std::vector<uint8_t> cut = pattern;
  cut.erase(cut.begin() + 12000, cut.begin() + 20000);
  EXPECT_EQ(DataOf(folder.File("a.wav")), cut);

  ASSERT_EQ(InsertFile(folder.File("a.wav"), 12000, folder.File("piece.wav"), folder.Path(), prompts), 1);
  EXPECT_EQ(DataOf(folder.File("a.wav")), pattern);
  EXPECT_FALSE(std::ifstream(folder.File("zttmp1.wav")).good()) << "the tail file is gone";

  ASSERT_EQ(InsertFile(folder.File("a.wav"), 30000, folder.File("piece.wav"), folder.Path(), prompts), 1);
  EXPECT_EQ(DataOf(folder.File("a.wav")).size(), 38000u) << "insert at the very end";
  EXPECT_TRUE(prompts.Entries().empty());
}

TEST_F(WaveRanges, BadRangesAndFilesAreRefusedWithTheirMessages) {
  WriteWave(folder.File("a.wav"), Pattern(4000));
  EXPECT_EQ(CutRange(folder.File("a.wav"), 100, 8000, prompts), 0);
  EXPECT_EQ(prompts.Entries().back().text, "Cut size does not match file size");
  EXPECT_EQ(CopyRange(folder.File("a.wav"), folder.File("b.wav"), 5000, 6000, 0, 0, prompts), 0);
  EXPECT_EQ(prompts.Entries().back().text, "File size mismatch. Cannot Seek to position");
  EXPECT_EQ(CopyRange(folder.File("missing.wav"), folder.File("b.wav"), 0, 0, 0, 0, prompts), 0);
  EXPECT_EQ(prompts.Entries().back().caption, "File Error");
  test::WriteBytes(folder.File("mono.wav"), WaveBytes().Format(1, 1, 44100, 16).Data(Pattern(100)).Build());
  EXPECT_EQ(CopyRange(folder.File("mono.wav"), folder.File("a.wav"), 0, 0, 0, 0, prompts), 0);
  EXPECT_EQ(prompts.Entries().back().text,
            "Error writing to the file " + folder.File("a.wav") +
                "\nThe disk may be full or the file permissions may be incorrect.");
  EXPECT_EQ(DataOf(folder.File("a.wav")), Pattern(4000)) << "a refused copy changes nothing";
}

TEST_F(WaveRanges, DiskFreeTextsFollowTheSize) {
  std::string text;
  uint64_t kilobytes = 0;
  const uint64_t bytes = DiskFree(folder.File("not-yet.wav"), text, kilobytes);
  EXPECT_GT(bytes, 0u);
  EXPECT_EQ(kilobytes, bytes / 1024);
  EXPECT_NE(text.find(kilobytes < 1024000 ? "MB" : "GB"), std::string::npos) << text;
}

// The operating system refuses the growth, as a full disk would: the file stays a valid wave.
TEST_F(WaveRanges, ACopyThatRunsOutOfSpaceLeavesAValidFile) {
  WriteWave(folder.File("a.wav"), Pattern(200000));
  WriteWave(folder.File("b.wav"), Pattern(10000, 7));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{50000, 50000};
    setrlimit(RLIMIT_FSIZE, &limit);
    ScriptedPrompts childPrompts;
    const int result = CopyRange(folder.File("a.wav"), folder.File("b.wav"), 0, 0, 10000, 0, childPrompts);
    _exit(result == 0 && !childPrompts.Entries().empty() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the copy must fail and say so";
  const std::vector<uint8_t> data = DataOf(folder.File("b.wav"));
  ASSERT_GE(data.size(), 10000u);
  EXPECT_LE(data.size() + 44, 50000u);
  EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 10000), Pattern(10000, 7)) << "the old data is intact";
  EXPECT_EQ(std::system(("sox '" + folder.File("b.wav") + "' -n stat >/dev/null 2>&1").c_str()), 0);
}

TEST_F(WaveRanges, AnInsertThatRunsOutOfSpaceLeavesTheTargetAsItWas) {
  WriteWave(folder.File("a.wav"), Pattern(30000));
  WriteWave(folder.File("insert.wav"), Pattern(40000, 3));
  TestFolder temp;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{50000, 50000};  // room for the tail file, not for the grown target
    setrlimit(RLIMIT_FSIZE, &limit);
    ScriptedPrompts childPrompts;
    const int result = InsertFile(folder.File("a.wav"), 10000, folder.File("insert.wav"), temp.Path(), childPrompts);
    _exit(result == 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the insert must fail";
  EXPECT_EQ(DataOf(folder.File("a.wav")), Pattern(30000));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.Path()), std::filesystem::directory_iterator()), 0)
      << "the tail file went once the target was restored";
}

}  // namespace
}  // namespace ztlive
