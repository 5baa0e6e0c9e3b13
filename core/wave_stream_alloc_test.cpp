// A block read and sample write pass allocates nothing: every buffer is made with the stream.
#include <gtest/gtest.h>


#include "core/wave_stream.h"
#include "testing/counting_allocator.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

TEST(WaveStreamAllocation, ReadingBlocksAndWritingSamplesAllocatesNothing) {
  test::TestFolder folder;
  RunState run;
  WaveStream input(4096, 4096, run);
  WaveStream output(4096, 4096, run);
  WaveFormat format = MakePcmFormat(2, 44100, 16);
  ASSERT_EQ(output.Create(folder.File("in.wav"), format, kCreateOverwrite), kStreamOk);
  ASSERT_EQ(output.WriteSilenceAndClose(3.0), 1);

  ASSERT_EQ(input.Open(folder.File("in.wav"), kOpenRead), kStreamOk);
  WaveFormat wide = MakePcmFormat(2, 44100, 24);
  ASSERT_EQ(output.Create(folder.File("out.wav"), wide, kCreateOverwrite), kStreamOk);
  output.SetMode(kModeFile);
  ASSERT_EQ(output.PrepareWriteBuffer(), 0);
  run.regionStart = run.readPosition = 0;
  run.regionEnd = static_cast<uint32_t>(input.DataBytes());

  const long before = test::AllocationCount();
  SampleValue* first = nullptr;
  SampleValue* last = nullptr;
  long values = 0;
  while (input.ReadBlock(512, 1024, &first, &last) == 0) {
    for (SampleValue* value = first; value < last; ++value, ++values) ASSERT_EQ(output.WriteSample(*value), 1);
  }
  ASSERT_EQ(output.FinishWrite(kFlagDirty, kFlagDirty), 0);
  EXPECT_EQ(test::AllocationCount() - before, 0);
  EXPECT_EQ(values, 3 * 44100 * 2);
}

}  // namespace
}  // namespace ztlive
