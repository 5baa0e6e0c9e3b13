// Opening wave files: what is accepted, what is refused with which code, and that a refusal
// leaves no file open.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/wave_stream.h"
#include "testing/wave_bytes.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

using test::Samples16;
using test::TestFolder;
using test::WaveBytes;

class WaveOpen : public ::testing::Test {
 protected:
  int OpenBytes(const std::vector<uint8_t>& bytes) {
    test::WriteBytes(folder.File("in.wav"), bytes);
    return stream.Open(folder.File("in.wav"), kOpenRead);
  }

  TestFolder folder;
  RunState run;
  WaveStream stream{4096, 4096, run};
};

TEST_F(WaveOpen, AcceptsPcmWithExtraFormatBytesAndChunksAroundTheData) {
  const auto samples = Samples16({1, 2, 3, 4});
  EXPECT_EQ(OpenBytes(WaveBytes().Format(1, 2, 44100, 16, 18).Data(samples).Build()), kStreamOk);
  EXPECT_EQ(stream.Format(), MakePcmFormat(2, 44100, 16));
  EXPECT_EQ(stream.Format().extraSize, 18);

  EXPECT_EQ(OpenBytes(WaveBytes()
                          .Chunk("LIST", std::vector<uint8_t>(27, 'i'))  // odd: a pad byte follows
                          .Format(1, 1, 22050, 8)
                          .Chunk("fact", {4, 0, 0, 0})
                          .Chunk("bext", std::vector<uint8_t>(602, 0))
                          .Data({0x80, 0x81, 0x7F})
                          .Chunk("cue ", std::vector<uint8_t>(28, 0))
                          .Build()),
            kStreamOk);
  EXPECT_EQ(stream.DataBytes(), 3u);
  EXPECT_EQ(stream.Layout().chunkCount, 6u);
}

TEST_F(WaveOpen, ExtensiblePcmOpensAsPcmAndOtherSubFormatsAreRefused) {
  EXPECT_EQ(OpenBytes(WaveBytes().Extensible(2, 48000, 24, 24).Data(std::vector<uint8_t>(12, 1)).Build()), kStreamOk);
  EXPECT_EQ(stream.Format().formatTag, kFormatPcm);
  EXPECT_EQ(stream.Format().bitsPerSample, 24);
  EXPECT_EQ(stream.Layout().storedTag, kFormatExtensible);

  EXPECT_EQ(OpenBytes(WaveBytes().Extensible(2, 48000, 24, 20).Data(std::vector<uint8_t>(12, 1)).Build()), kStreamOk);
  EXPECT_EQ(OpenBytes(WaveBytes().Extensible(2, 48000, 32, 32, 3).Data(std::vector<uint8_t>(16, 0)).Build()),
            kStreamBadFormat) << "float";
  EXPECT_EQ(OpenBytes(WaveBytes().Extensible(2, 48000, 16, 24).Data(std::vector<uint8_t>(8, 0)).Build()),
            kStreamBadFormat) << "valid bits beyond the container";
}

TEST_F(WaveOpen, RefusesWhatItCannotReadWithTheRightCode) {
  const auto data = Samples16({1, 2});
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    int code;
  };
  const std::vector<Case> cases = {
      {"fmt of 14 bytes", WaveBytes().Format(1, 2, 44100, 16, 14).Data(data).Build(), kStreamBadFormat},
      {"float samples", WaveBytes().Format(3, 2, 44100, 32).Data(data).Build(), kStreamBadFormat},
      {"three channels", WaveBytes().Format(1, 3, 44100, 16).Data(data).Build(), kStreamBadFormat},
      {"zero channels", WaveBytes().Format(1, 0, 44100, 16).Data(data).Build(), kStreamBadFormat},
      {"zero sample rate", WaveBytes().Format(1, 2, 0, 16).Data(data).Build(), kStreamBadFormat},
      {"4 bits", WaveBytes().Format(1, 2, 44100, 4).Data(data).Build(), kStreamBadResolution},
      {"12 bits", WaveBytes().Format(1, 2, 44100, 12).Data(data).Build(), kStreamBadResolution},
      {"40 bits", WaveBytes().Format(1, 2, 44100, 40).Data(data).Build(), kStreamBadResolution},
      {"no data chunk", WaveBytes().Format(1, 2, 44100, 16).Build(), kStreamBadFormat},
      {"data before fmt", WaveBytes().Data(data).Format(1, 2, 44100, 16).Build(), kStreamBadFormat},
      {"RIFF size smaller than its chunks", WaveBytes().Format(1, 2, 44100, 16).Data(data).Build(20),
       kStreamBadFormat},
      {"empty file", {}, kStreamBadFormat},
      {"truncated header", {'R', 'I', 'F', 'F', 8, 0}, kStreamBadFormat},
      {"not WAVE", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}, kStreamBadFormat},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OpenBytes(c.bytes), c.code) << c.what;
    EXPECT_FALSE(stream.IsFileOpen()) << c.what;
  }
  EXPECT_EQ(stream.Open(folder.File("missing.wav"), kOpenRead), kStreamCannotOpen);
  EXPECT_EQ(stream.Open(folder.Path(), kOpenRead), kStreamCannotOpen) << "a folder";
  EXPECT_FALSE(stream.IsFileOpen());
}

TEST_F(WaveOpen, ADataSizeBeyondTheFileReadsWhatIsThere) {
  const auto samples = Samples16({10, 20, 30, 40});
  ASSERT_EQ(OpenBytes(WaveBytes().Format(1, 1, 8000, 16).Data(samples, 0xFFFFFFF0).Build(0xFFFFFFF8)), kStreamOk);
  EXPECT_EQ(stream.DataBytes(), 8u);
  run.regionStart = run.readPosition = 0;
  run.regionEnd = 0xFFFFFFF0;
  SampleValue* first = nullptr;
  SampleValue* last = nullptr;
  ASSERT_EQ(stream.ReadBlock(0, 16, &first, &last), 0);
  ASSERT_EQ(last - first, 4);
  EXPECT_EQ(first[3], 40 * 256);
  EXPECT_EQ(first[4], 0) << "past the data reads as silence";
  EXPECT_EQ(stream.LastBlock(), 1u);
  EXPECT_EQ(stream.ReadBlock(0, 16, &first, &last), 1);
}

TEST_F(WaveOpen, ThirtyTwoBitFilesReadUnscaledButCannotBeWritten) {
  std::vector<uint8_t> data = {0x78, 0x56, 0x34, 0x12};
  ASSERT_EQ(OpenBytes(WaveBytes().Format(1, 1, 44100, 32).Data(data).Build()), kStreamOk);
  EXPECT_EQ(stream.ReadValues(1), 4);
  EXPECT_EQ(stream.Begin()[0], 0x12345678);
  EXPECT_EQ(stream.Open(folder.File("in.wav"), kOpenWrite), kStreamBadResolution);
  WaveFormat format = MakePcmFormat(1, 44100, 32);
  EXPECT_EQ(stream.Create(folder.File("out.wav"), format, kCreateOverwrite), kStreamBadResolution);
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

// 1000 frames of 16-bit stereo after a 44-byte header whose sizes a case then sets.
std::vector<uint8_t> Recording(uint32_t riffSize, uint32_t dataSize, const std::vector<uint8_t>& after = {}) {
  std::vector<int16_t> samples(2000);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(i * 37 - 30000);
  std::vector<uint8_t> bytes = WaveBytes().Format(1, 2, 44100, 16).Data(Samples16(samples)).Build();
  bytes.insert(bytes.end(), after.begin(), after.end());
  Put32(bytes, 4, riffSize);
  Put32(bytes, 40, dataSize);
  return bytes;
}

std::vector<uint8_t> ChunkBytes(const char* id, uint32_t size) {
  std::vector<uint8_t> chunk(id, id + 4);
  chunk.resize(8 + size + (size & 1), 'c');
  Put32(chunk, 4, size);
  return chunk;
}

TEST_F(WaveOpen, AnEmptyOrShortDataSizeOfTheLastChunkIsRecoveredFromTheFileSize) {
  const std::vector<uint8_t> list = ChunkBytes("LIST", 26);
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    uint64_t dataBytes;
    bool recovered;
  };
  const std::vector<Case> cases = {
      {"sizes never written", Recording(36, 0), 4000, true},
      {"sizes a while behind", Recording(36 + 1200, 1200), 4000, true},
      {"data size behind, RIFF size more", Recording(36 + 4000, 1200), 1200, false},
      {"RIFF size behind the data size", Recording(36, 1200), 4000, true},
      {"a part of a frame at the end", Recording(36, 0, {1, 2, 3}), 4000, true},
      {"streaming RIFF size, empty data size", Recording(0, 0), 4000, true},
      {"streaming sizes of all ones", Recording(0xFFFFFFFF, 0xFFFFFFFF), 4000, false},
      {"streaming RIFF size, data size given", Recording(0xFFFFFFFF, 1200), 1200, false},
      {"sizes right", Recording(36 + 4000, 4000), 4000, false},
      {"a chunk after the data", Recording(36 + 4000 + 34, 4000, list), 4000, false},
      {"a chunk after the RIFF chunk", Recording(36 + 4000, 4000, list), 4000, false},
      {"a chunk after short data", Recording(36 + 4000 + 34, 1200, list), 1200, false},
      {"a tag after the RIFF chunk", Recording(36 + 4000, 4000, {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 10}), 4000, false},
      {"data size beyond the file", Recording(36 + 8000, 8000), 4000, false},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(OpenBytes(c.bytes), kStreamOk) << c.what;
    EXPECT_EQ(stream.DataBytes(), c.dataBytes) << c.what;
    EXPECT_EQ(stream.LengthRecovered(), c.recovered) << c.what;
    ASSERT_EQ(stream.ReadValues(4096), static_cast<int64_t>(std::min<uint64_t>(c.dataBytes, 4096 * 2))) << c.what;
    const size_t last = c.dataBytes / 2 - 1;
    EXPECT_EQ(stream.Begin()[last], static_cast<int16_t>(last * 37 - 30000) * 256) << c.what;
    stream.Close();
    EXPECT_EQ(test::ReadBytes(folder.File("in.wav")), c.bytes) << c.what << ": opening changes nothing";
  }
}

TEST_F(WaveOpen, AppendingToARecoveredFileGoesOnAfterItsAudioAndRepairsTheHeader) {
  test::WriteBytes(folder.File("in.wav"), Recording(36, 0, {9, 9}));
  WaveFormat format = MakePcmFormat(2, 44100, 16);
  ASSERT_EQ(stream.Create(folder.File("in.wav"), format, kCreateAppend), kStreamOk);
  EXPECT_TRUE(stream.LengthRecovered());
  stream.SetMode(kModeFile);
  ASSERT_EQ(stream.PrepareWriteBuffer(), 0);
  for (int i = 0; i < 4; ++i) ASSERT_EQ(stream.WriteSample(i * 256), 1);
  ASSERT_EQ(stream.FinishWrite(kFlagDirty, kFlagDirty), 0);
  stream.Close();

  ASSERT_EQ(stream.Open(folder.File("in.wav"), kOpenRead), kStreamOk);
  EXPECT_FALSE(stream.LengthRecovered()) << "the header is whole again";
  EXPECT_EQ(stream.DataBytes(), 4008u);
  EXPECT_EQ(test::ReadBytes(folder.File("in.wav")).size(), 44u + 4008u) << "the part frame was written over";
  ASSERT_EQ(stream.ReadValues(4096), 4008);
  EXPECT_EQ(stream.Begin()[1999], static_cast<int16_t>(1999 * 37 - 30000) * 256);
  EXPECT_EQ(stream.Begin()[2003], 3 * 256);
}

}  // namespace
}  // namespace ztlive
