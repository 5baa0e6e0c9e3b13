// ztlive-cli edit through the real program: edits change the file in place as the window's
// commands do, questions are answered from --yes / --no, and refused edits leave it alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive::cli {
namespace {

using ztlive::test::TestFolder;
using ztlive::test::WaveBytes;

constexpr uint32_t kRate = 8000;

void WriteStereo(const std::string& path, const std::vector<int16_t>& values) {
  ztlive::test::WriteBytes(path, WaveBytes().Format(1, 2, kRate, 16).Data(ztlive::test::Samples16(values)).Build());
}

std::vector<int16_t> ReadValues(const std::string& path) {
  const std::vector<uint8_t> bytes = ztlive::test::ReadBytes(path);
  std::vector<int16_t> values((bytes.size() - 44) / 2);
  if (!values.empty()) std::memcpy(values.data(), bytes.data() + 44, values.size() * 2);
  return values;
}

// Frames 0 ... 7999 (one second): left counts up, right counts down.
std::vector<int16_t> Counting() {
  std::vector<int16_t> values;
  for (int f = 0; f < 8000; ++f) {
    values.push_back(static_cast<int16_t>(f));
    values.push_back(static_cast<int16_t>(-f));
  }
  return values;
}

struct EditCase {
  const char* name;
  std::vector<std::string> args;  // after "edit FILE"
  int exitCode;
  std::vector<int16_t> (*expected)(std::vector<int16_t>);  // null: the file is unchanged
  const char* message;  // a part of what is printed on stderr, or ""
};

TEST(EditCli, EditsChangeTheFileInPlaceAndRefusalsLeaveItAlone) {
  const EditCase cases[] = {
      {"gain",
       {"gain", "--db", "-6"},
       0,
       [](std::vector<int16_t> v) {
         const double factor = std::pow(10.0, -600 * 0.0005);
         for (int16_t& x : v) x = static_cast<int16_t>(static_cast<int32_t>(std::trunc(x * 256 * factor)) >> 8);
         return v;
       },
       ""},
      {"reverse keeps the channels",
       {"reverse", "--from", "0.25", "--to", "0.5"},
       0,
       [](std::vector<int16_t> v) {
         for (int f = 0; f < 1000; ++f) {
           std::swap(v[(2000 + f) * 2], v[(3999 - f) * 2]);
           std::swap(v[(2000 + f) * 2 + 1], v[(3999 - f) * 2 + 1]);
         }
         return v;
       },
       ""},
      {"cut",
       {"cut", "--from", "0.5"},
       0,
       [](std::vector<int16_t> v) {
         v.resize(8000);
         return v;
       },
       ""},
      {"silence at the start",
       {"insert-silence", "--seconds", "0.25", "--at", "start"},
       0,
       [](std::vector<int16_t> v) {
         v.insert(v.begin(), 4000, 0);
         return v;
       },
       ""},
      {"mute declined", {"--no", "mute"}, 1, nullptr, "was not changed"},
      {"interpolate all", {"interpolate"}, 1, nullptr, "too large to interpolate"},
      {"unknown edit", {"louder"}, 2, nullptr, "Unknown edit \"louder\""},
      {"missing level", {"gain"}, 2, nullptr, "needs the option --db"},
      {"option of another edit", {"cut", "--seconds", "1"}, 2, nullptr, "does not apply"},
  };
  for (const EditCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestFolder home;
    TestFolder folder;
    const std::string file = folder.File("take.wav");
    WriteStereo(file, Counting());
    const std::vector<uint8_t> before = ztlive::test::ReadBytes(file);
    std::vector<std::string> args{"edit", file};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const test::CliResult result = test::RunCli(args, home.Path());
    EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    if (c.expected == nullptr) {
      EXPECT_EQ(ztlive::test::ReadBytes(file), before);
    } else {
      EXPECT_EQ(ReadValues(file), c.expected(Counting()));
    }
  }
}

TEST(EditCli, NoEditGoesThroughALinkOrIntoAFileThatIsNotAWave) {
  TestFolder home;
  TestFolder folder;
  WriteStereo(folder.File("take.wav"), Counting());
  const std::vector<uint8_t> before = ztlive::test::ReadBytes(folder.File("take.wav"));
  ASSERT_EQ(symlink(folder.File("take.wav").c_str(), folder.File("link.wav").c_str()), 0);
  ztlive::test::WriteFileText(folder.File("notes.wav"), "not audio at all");
  const test::CliResult viaLink = test::RunCli({"edit", folder.File("link.wav"), "mute"}, home.Path());
  EXPECT_EQ(viaLink.exitCode, 1);
  EXPECT_NE(viaLink.err.find("is a link"), std::string::npos) << viaLink.err;
  EXPECT_EQ(ztlive::test::ReadBytes(folder.File("take.wav")), before);
  const test::CliResult notWave = test::RunCli({"edit", folder.File("notes.wav"), "mute"}, home.Path());
  EXPECT_EQ(notWave.exitCode, 1);
  EXPECT_NE(notWave.err.find("is not a wave file"), std::string::npos) << notWave.err;
  EXPECT_EQ(ztlive::test::ReadFileText(folder.File("notes.wav")), "not audio at all");
}

}  // namespace
}  // namespace ztlive::cli
