// Interop with real tools: files made by sox and ffmpeg read value for value as the tools
// themselves decode them, and files we write are read back bit-exactly by both.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/wave_stream.h"
#include "testing/wave_bytes.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

using test::TestFolder;

int RunQuietly(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

std::string Capture(const std::string& command) {
  std::string output;
  if (std::FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
    char chunk[256];
    while (std::fgets(chunk, sizeof chunk, pipe)) output += chunk;
    pclose(pipe);
  }
  return output;
}

// Reads every value of a file through the block reader, with history and look-ahead in use.
std::vector<SampleValue> ReadAll(const std::string& path, WaveFormat* format = nullptr) {
  RunState run;
  WaveStream stream(4096, 4096, run);
  EXPECT_EQ(stream.Open(path, kOpenRead), kStreamOk) << path;
  if (format != nullptr) *format = stream.Format();
  run.regionStart = run.readPosition = 0;
  run.regionEnd = static_cast<uint32_t>(stream.DataBytes());
  std::vector<SampleValue> values;
  SampleValue* first = nullptr;
  SampleValue* last = nullptr;
  while (stream.ReadBlock(300, 700, &first, &last) == 0) values.insert(values.end(), first, last);
  return values;
}

// A tool's decoding into 32-bit signed words, scaled to our 24-bit values.
std::vector<SampleValue> DumpToValues(const std::string& rawPath) {
  const std::vector<uint8_t> bytes = test::ReadBytes(rawPath);
  std::vector<SampleValue> values(bytes.size() / 4);
  for (size_t i = 0; i < values.size(); ++i) {
    const uint32_t word = bytes[4 * i] | (bytes[4 * i + 1] << 8) | (bytes[4 * i + 2] << 16) |
                          (static_cast<uint32_t>(bytes[4 * i + 3]) << 24);
    values[i] = static_cast<int32_t>(word) >> 8;
  }
  return values;
}

std::vector<SampleValue> SoxDecode(const std::string& path, const TestFolder& folder) {
  const std::string raw = folder.File("sox.raw");
  EXPECT_EQ(RunQuietly("sox -D '" + path + "' -t raw -e signed-integer -b 32 '" + raw + "'"), 0);
  return DumpToValues(raw);
}

std::vector<SampleValue> FfmpegDecode(const std::string& path, const TestFolder& folder) {
  const std::string raw = folder.File("ffmpeg.raw");
  EXPECT_EQ(RunQuietly("ffmpeg -nostdin -y -i '" + path + "' -f s32le -acodec pcm_s32le '" + raw + "'"), 0);
  return DumpToValues(raw);
}

TEST(WaveInterop, FilesMadeBySoxAndFfmpegReadAsTheToolsDecodeThem) {
  TestFolder folder;
  struct Source {
    const char* name;
    std::string command;  // %s is the output path
    uint16_t bits;
    uint16_t channels;
  };
  const std::vector<Source> sources = {
      {"sox 8-bit mono", "sox -D -n -r 22050 -c 1 -b 8 -e unsigned-integer %s synth 1.3 noise", 8, 1},
      {"sox 16-bit stereo", "sox -D -n -r 44100 -c 2 -b 16 %s synth 2.1 noise", 16, 2},
      {"sox 24-bit stereo", "sox -D -n -r 48000 -c 2 -b 24 %s synth 1.7 noise", 24, 2},
      {"ffmpeg 16-bit mono with bext and LIST", "ffmpeg -nostdin -y -f lavfi -i anoisesrc=d=0.9:r=44100 -ac 1 "
                                                "-write_bext 1 -metadata description=Take -acodec pcm_s16le %s", 16, 1},
      {"ffmpeg 24-bit stereo extensible after JUNK", "ffmpeg -nostdin -y -f lavfi -i anoisesrc=d=0.7:r=44100 -ac 2 "
                                                     "-rf64 auto -acodec pcm_s24le %s", 24, 2},
      {"ffmpeg 24-bit mono", "ffmpeg -nostdin -y -f lavfi -i anoisesrc=d=1.1:r=96000 -acodec pcm_s24le %s", 24, 1},
      {"ffmpeg 16-bit stereo with INFO", "ffmpeg -nostdin -y -f lavfi -i anoisesrc=d=0.8:r=44100 -ac 2 "
                                         "-metadata title=Take -acodec pcm_s16le %s", 16, 2},
      {"ffmpeg 8-bit stereo", "ffmpeg -nostdin -y -f lavfi -i sine=f=300:d=0.6 -ac 2 -acodec pcm_u8 %s", 8, 2},
  };
  for (const Source& source : sources) {
    const std::string path = folder.File("source.wav");
    std::string command = source.command;
    command.replace(command.find("%s"), 2, "'" + path + "'");
    ASSERT_EQ(RunQuietly(command), 0) << source.name;
    WaveFormat format;
    const std::vector<SampleValue> ours = ReadAll(path, &format);
    EXPECT_EQ(format.bitsPerSample, source.bits) << source.name;
    EXPECT_EQ(format.channels, source.channels) << source.name;
    const std::vector<SampleValue> soxValues = SoxDecode(path, folder);
    ASSERT_FALSE(ours.empty()) << source.name;
    EXPECT_TRUE(ours == soxValues) << source.name << ": " << ours.size() << " values, sox " << soxValues.size();
    EXPECT_TRUE(ours == FfmpegDecode(path, folder)) << source.name;
  }
}

TEST(WaveInterop, FilesWeWriteReadBackBitExactlyInSoxAndFfmpeg) {
  TestFolder folder;
  std::mt19937 random(99);
  for (const uint16_t bits : {8, 16, 24}) {
    for (const uint16_t channels : {1, 2}) {
      const std::string path = folder.File("ours.wav");
      RunState run;
      WaveStream stream(4096, 4096, run);
      WaveFormat format = MakePcmFormat(channels, 32000, bits);
      ASSERT_EQ(stream.Create(path, format, kCreateOverwrite), kStreamOk);
      stream.SetMode(kModeFile);
      ASSERT_EQ(stream.PrepareWriteBuffer(), 0);
      const int shift = 24 - bits;  // values that survive the width unchanged
      std::vector<SampleValue> written(static_cast<size_t>(channels) * 12345);
      for (SampleValue& value : written) {
        value = static_cast<SampleValue>(random() % 0x1000000) - 0x800000;
        value = (value >> shift) * (1 << shift);
        ASSERT_EQ(stream.WriteSample(value), 1);
      }
      ASSERT_EQ(stream.FinishWrite(kFlagDirty, kFlagDirty), 0);
      stream.Close();

      const std::string label = std::to_string(bits) + " bits, " + std::to_string(channels) + " channels";
      EXPECT_TRUE(SoxDecode(path, folder) == written) << label;
      EXPECT_TRUE(FfmpegDecode(path, folder) == written) << label;
      EXPECT_EQ(Capture("soxi -c '" + path + "'"), std::to_string(channels) + "\n") << label;
      EXPECT_EQ(Capture("soxi -r '" + path + "'"), "32000\n") << label;
      EXPECT_EQ(Capture("soxi -b '" + path + "'"), std::to_string(bits) + "\n") << label;
      EXPECT_EQ(Capture("soxi -s '" + path + "'"), "12345\n") << label;
      EXPECT_TRUE(ReadAll(path) == written) << label;
    }
  }
}

}  // namespace
}  // namespace ztlive
