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

}  // namespace
}  // namespace ztlive
