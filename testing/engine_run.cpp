#include "testing/engine_run.h"

#include <gtest/gtest.h>

#include "core/wave_stream.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive::test {

// A 24-bit file of the values (24-bit sample values, interleaved).
void WriteValues24(const std::string& path, int channels, uint32_t rate, const std::vector<SampleValue>& values) {
  std::vector<uint8_t> bytes;
  for (SampleValue v : values) {
    const auto word = static_cast<uint32_t>(v);
    bytes.insert(bytes.end(), {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16)});
  }
  test::WriteBytes(path, test::WaveBytes()
                             .Format(1, static_cast<uint16_t>(channels), rate, 24)
                             .Data(bytes)
                             .Build());
}

std::vector<SampleValue> ReadValues24(const std::string& path) {
  const std::vector<uint8_t> bytes = test::ReadBytes(path);
  std::vector<SampleValue> values;
  for (size_t i = 44; i + 3 <= bytes.size(); i += 3)
    values.push_back(static_cast<SampleValue>(static_cast<uint32_t>(bytes[i]) << 8 | static_cast<uint32_t>(bytes[i + 1]) << 16 |
                                              static_cast<uint32_t>(bytes[i + 2]) << 24) >> 8);
  return values;
}

std::vector<SampleValue> RunEngine(FilterProcessor& engine, int channels, uint32_t rate,
                                   const std::vector<SampleValue>& input,
                                   const std::function<void(int block)>& betweenBlocks) {
  TestFolder folder;
  WriteValues24(folder.File("in.wav"), channels, rate, input);
  RunState run;
  WaveStream in(4096, 4096, run);
  WaveStream out(4096, 4096, run);
  EXPECT_EQ(in.Open(folder.File("in.wav"), kOpenRead), kStreamOk);
  run.regionStart = run.readPosition = 0;
  run.regionEnd = static_cast<uint32_t>(input.size() * 3);
  WaveFormat format = in.Format();
  EXPECT_EQ(out.Create(folder.File("out.wav"), format, kCreateOverwrite), kStreamOk);
  out.SetMode(kModeFile);
  EXPECT_EQ(out.PrepareWriteBuffer(), 0);
  EXPECT_EQ(engine.Prepare(in, out), 1);
  SampleValue* first = nullptr;
  SampleValue* last = nullptr;
  for (int block = 0; in.ReadBlock(engine.GetHistoryLength(), engine.GetLookahead(), &first, &last) == 0; ++block) {
    if (betweenBlocks) betweenBlocks(block);
    EXPECT_EQ(engine.Process(in, out), 1);
  }
  EXPECT_EQ(engine.Finish(in, out), 1);
  EXPECT_EQ(out.FinishWrite(kFlagDirty, kFlagDirty), 0);
  out.Close();
  in.Close();
  return ReadValues24(folder.File("out.wav"));
}

}  // namespace ztlive::test
