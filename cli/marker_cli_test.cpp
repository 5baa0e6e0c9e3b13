// ztlive-cli markers find-silence, quantize-cd and chop through the real program, on a real
// file with known silences.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "cli/cli_runner.h"
#include "core/wave_stream.h"
#include "platform/file_ops.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive::cli {
namespace {

using test::CliResult;
using test::RunCli;

std::vector<uint8_t> DataOf(const std::string& path) {
  RunState run;
  WaveStream stream(64, 0, run);
  if (stream.Open(path, kOpenRead) != kStreamOk) return {};
  std::vector<uint8_t> bytes(stream.DataBytes());
  if (stream.ReadRaw(bytes.data(), bytes.size()) != static_cast<int64_t>(bytes.size())) return {};
  return bytes;
}

// The positions of "N: POSITION LABEL" lines.
std::vector<uint32_t> ListedPositions(const std::string& out) {
  std::vector<uint32_t> positions;
  std::istringstream lines(out);
  std::string index, label;
  uint32_t position = 0;
  while (lines >> index >> position >> label) positions.push_back(position);
  return positions;
}

std::vector<std::string> Lines(const std::string& out) {
  std::vector<std::string> lines;
  std::istringstream stream(out);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

TEST(CliMarkers, SilenceIsMarkedQuantisedAndTheFileChoppedAtIt) {
  ztlive::test::TestFolder home;
  const std::string path = home.File("talk.wav");
  // 16-bit stereo at 8000 Hz: tones of 0.5 s around silences of 1.5 s and 2 s.
  std::vector<int16_t> samples;
  const double stretches[] = {0.5, 1.5, 0.5, 2.0, 0.5};
  for (size_t s = 0; s < 5; ++s)
    for (int i = 0; i < static_cast<int>(stretches[s] * 8000); ++i)
      for (int channel = 0; channel < 2; ++channel)
        samples.push_back(s % 2 == 0 ? static_cast<int16_t>(12000 * std::sin(i * 0.35)) : int16_t{0});
  ztlive::test::WriteBytes(path, ztlive::test::WaveBytes().Format(1, 2, 8000, 16).Data(ztlive::test::Samples16(samples)).Build());
  const std::vector<uint8_t> original = DataOf(path);
  ASSERT_EQ(original.size(), 160000u);

  const CliResult found = RunCli({"markers", path, "find-silence", "--threshold", "-40", "--length", "5"}, home.Path());
  ASSERT_EQ(found.exitCode, 0) << found.err;
  EXPECT_EQ(found.err, "2 silent passages found, 2 markers added.\n");
  const std::vector<uint32_t> marks = ListedPositions(found.out);
  ASSERT_EQ(marks.size(), 2u) << found.out;
  // In the second half of each silence: 1.25 ... 2 s and 3.5 ... 4.5 s, at 32000 bytes a second.
  EXPECT_GT(marks[0], 40000u);
  EXPECT_LT(marks[0], 64000u);
  EXPECT_GT(marks[1], 112000u);
  EXPECT_LT(marks[1], 144000u);
  // The length given is the next starting value; the existing markers are replaced (--yes).
  EXPECT_EQ(RunCli({"--yes", "markers", path, "find-silence"}, home.Path()).out, found.out);

  const CliResult quantised = RunCli({"markers", path, "quantize-cd"}, home.Path());
  ASSERT_EQ(quantised.exitCode, 0) << quantised.err;
  const std::vector<uint32_t> bounds = {0, marks[0] / 2352 * 2352, marks[1] / 2352 * 2352, 160000};
  EXPECT_EQ(ListedPositions(quantised.out), std::vector<uint32_t>(bounds.begin() + 1, bounds.end() - 1));

  // Both ways: the pieces hold the stretches between the markers, numbered on.
  for (const bool keep : {true, false}) {
    SCOPED_TRACE(keep ? "--keep-original" : "cutting the original");
    std::vector<std::string> args = {"markers", path, "chop"};
    if (keep) args.push_back("--keep-original");
    const CliResult chopped = RunCli(args, home.Path());
    ASSERT_EQ(chopped.exitCode, 0) << chopped.err;
    const int first = keep ? 1 : 4;
    std::vector<std::string> expected;
    for (int i = 0; i < 3; ++i) expected.push_back(home.File("talk" + std::to_string(first + i) + ".wav"));
    EXPECT_EQ(Lines(chopped.out), expected);
    for (size_t i = 0; i < 3; ++i)
      EXPECT_EQ(DataOf(expected[i]), std::vector<uint8_t>(original.begin() + static_cast<ptrdiff_t>(bounds[i]),
                                                        original.begin() + static_cast<ptrdiff_t>(bounds[i + 1])));
    EXPECT_EQ(FileExists(path), keep);
  }
  EXPECT_TRUE(FileExists(home.File("talk4.pkf"))) << "the original's peak file went with it";
}

TEST(CliMarkers, WrongOptionsAndAFileWithoutMarkersAreRefused) {
  ztlive::test::TestFolder home;
  const std::string path = home.File("take.wav");
  ztlive::test::WriteBytes(path, ztlive::test::WaveBytes().Format(1, 1, 8000, 16).Data(std::vector<uint8_t>(8000, 0)).Build());
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string err;
  };
  const Case cases[] = {
      {{"find-silence", "--threshold", "5"}, 2, "The threshold must be a whole number of dB from -100 to 0, not \"5\".\n"},
      {{"find-silence", "--length", "0"}, 2,
       "The length must be a whole number of tenths of a second from 1 to 100, not \"0\".\n"},
      {{"find-silence", "--length", "3x"}, 2,
       "The length must be a whole number of tenths of a second from 1 to 100, not \"3x\".\n"},
      {{"chop"}, 1,
       "There are no markers present in the file. At least one marker must be added to perform this operation.\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"markers", path};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliResult result = RunCli(args, home.Path());
    EXPECT_EQ(result.exitCode, c.exitCode) << c.args[0];
    EXPECT_EQ(result.err, c.err);
  }
  for (const std::vector<std::string>& misplaced : std::vector<std::vector<std::string>>{
           {"add", "8", "--keep-original"}, {"chop", "--threshold", "-40"}, {"quantize-cd", "--length", "4"}})
    EXPECT_EQ(RunCli({"markers", path, misplaced[0], misplaced[1], misplaced[2]}, home.Path()).exitCode, 2);
  EXPECT_EQ(DataOf(path), std::vector<uint8_t>(8000, 0));
}

}  // namespace
}  // namespace ztlive::cli
