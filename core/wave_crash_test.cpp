// A writer can die at any moment: the header of a growing file follows its data closely
// enough that a killed run leaves at most a second unclaimed, and opening recovers the rest.
// Uses real child processes (growing_wave_writer) killed with SIGKILL.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <random>
#include <thread>

#include "core/growing_wave_sample.h"
#include "core/wave_stream.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

extern char** environ;

namespace ztlive {
namespace {

using test::TestFolder;

uint32_t Stored32(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
         (static_cast<uint32_t>(bytes[at + 2]) << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

// The first 44 bytes, where the files we write keep their sizes.
std::vector<uint8_t> Header(const std::string& path) {
  std::vector<uint8_t> bytes(44, 0);
  std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(bytes.data()), 44);
  return bytes;
}

uint64_t FileSize(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

// While a file grows, what its header claims on disk lies within a second of what is there.
TEST(GrowingWaveHeader, FollowsTheDataWithinASecondForEveryWidthAndWriter) {
  struct Case {
    const char* what;
    uint16_t channels;
    uint32_t rate;
    uint16_t bits;
    bool raw;  // WriteRaw (range copies) instead of WriteSample
  };
  const std::vector<Case> cases = {
      {"8-bit mono 8 kHz", 1, 8000, 8, false},
      {"16-bit stereo 44.1 kHz", 2, 44100, 16, false},
      {"24-bit stereo 96 kHz", 2, 96000, 24, false},
      {"16-bit stereo raw bytes", 2, 44100, 16, true},
  };
  for (const Case& c : cases) {
    TestFolder folder;
    const std::string path = folder.File("grow.wav");
    RunState run;
    WaveStream stream(4096, 4096, run);
    WaveFormat format = MakePcmFormat(c.channels, c.rate, c.bits);
    ASSERT_EQ(stream.Create(path, format, kCreateOverwrite), kStreamOk) << c.what;
    stream.SetMode(kModeFile);
    ASSERT_EQ(stream.PrepareWriteBuffer(), 0) << c.what;
    const uint64_t second = format.avgBytesPerSecond;
    const std::vector<uint8_t> piece(1000 * format.blockAlign, 0x11);
    uint64_t checks = 0;
    for (uint64_t value = 0; FileSize(path) < 44 + 5 * second; ++value) {
      if (c.raw)
        ASSERT_TRUE(stream.WriteRaw(piece.data(), piece.size())) << c.what;
      else
        ASSERT_EQ(stream.WriteSample(static_cast<SampleValue>(value * 977 % 0xFFFFFF) - 0x800000), 1) << c.what;
      if (!c.raw && value % 997 != 0) continue;
      const std::vector<uint8_t> bytes = Header(path);
      const uint64_t held = FileSize(path) - 44;
      const uint32_t claimed = Stored32(bytes, 40);
      ASSERT_LE(claimed, held) << c.what;
      ASSERT_LT(held - claimed, second) << c.what << " at " << held;
      ASSERT_EQ(Stored32(bytes, 4), claimed + 36) << c.what;
      ++checks;
    }
    EXPECT_GT(checks, 10u) << c.what;
    ASSERT_EQ(stream.FinishWrite(kFlagDirty, kFlagDirty), 0) << c.what;
    stream.Close();
    const uint64_t held = FileSize(path) - 44;
    const uint32_t claimed = Stored32(Header(path), 40);
    EXPECT_TRUE(claimed == held || claimed + 1 == held) << c.what << ": all of it, less a pad byte";
  }
}

pid_t StartWriter(const std::string& path, const char* mode) {
  std::vector<std::string> words{GROWING_WAVE_WRITER, path, mode};
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  return posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? child : -1;
}

TEST(KilledWriter, LeavesAFileThatOpensWithinASecondOfItsDataAndEveryByteInPlace) {
  std::mt19937 random(std::random_device{}());
  struct Case {
    const char* mode;
    uint64_t existingFrames;  // of an earlier recording that the writer appends to
  };
  const std::vector<Case> cases = {{"new", 0}, {"new", 0}, {"new", 0}, {"append", 100000}, {"append", 33333}, {"new", 0}};
  for (const Case& c : cases) {
    TestFolder folder;
    const std::string path = folder.File("killed.wav");
    if (c.existingFrames > 0) {
      std::vector<int16_t> samples(2 * c.existingFrames);
      for (size_t n = 0; n < samples.size(); ++n) samples[n] = GrowingSample(n);
      test::WriteBytes(path, test::WaveBytes().Format(1, 2, 44100, 16).Data(test::Samples16(samples)).Build());
    }
    const uint64_t startSize = FileSize(path);
    const pid_t child = StartWriter(path, c.mode);
    ASSERT_GT(child, 0);
    // Wait until it writes, then let it run a random while before the kill.
    for (int i = 0; i < 2000 && FileSize(path) <= std::max<uint64_t>(startSize, 44) + 8192; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const int extraMs = std::uniform_int_distribution<int>(0, 300)(random);
    std::this_thread::sleep_for(std::chrono::milliseconds(extraMs));
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself: " << status;

    const std::vector<uint8_t> bytes = test::ReadBytes(path);
    const uint64_t written = bytes.size() - 44;
    const uint64_t second = 176400;
    SCOPED_TRACE(std::string(c.mode) + ", killed after " + std::to_string(extraMs) + " ms with " +
                 std::to_string(written) + " bytes of data");
    const uint32_t claimed = Stored32(bytes, 40);
    EXPECT_LE(claimed, written);
    EXPECT_LT(written - claimed, second) << "the header claims at most a second less";

    RunState run;
    WaveStream stream(4096, 4096, run);
    ASSERT_EQ(stream.Open(path, kOpenRead), kStreamOk);
    EXPECT_EQ(stream.DataBytes(), written - written % 4);
    EXPECT_EQ(stream.LengthRecovered(), claimed < written - written % 4);
    uint64_t n = 0;
    while (stream.ReadValues(4096) > 0) {
      for (const SampleValue* v = stream.Begin(); v < stream.End(); ++v, ++n)
        ASSERT_EQ(*v, GrowingSample(n) * 256) << "sample " << n;
    }
    EXPECT_EQ(n * 2, stream.DataBytes());
    EXPECT_EQ(test::ReadBytes(path), bytes) << "opening does not change the file";
  }
}

}  // namespace
}  // namespace ztlive
