// A block read and sample write pass allocates nothing: every buffer is made with the stream.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "core/wave_stream.h"
#include "testing/test_folder.h"

namespace {
std::atomic<long> g_allocations{0};
}  // namespace

void* operator new(size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, size_t) noexcept { std::free(memory); }

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

  const long before = g_allocations.load();
  SampleValue* first = nullptr;
  SampleValue* last = nullptr;
  long values = 0;
  while (input.ReadBlock(512, 1024, &first, &last) == 0) {
    for (SampleValue* value = first; value < last; ++value, ++values) ASSERT_EQ(output.WriteSample(*value), 1);
  }
  ASSERT_EQ(output.FinishWrite(kFlagDirty, kFlagDirty), 0);
  EXPECT_EQ(g_allocations.load() - before, 0);
  EXPECT_EQ(values, 3 * 44100 * 2);
}

}  // namespace
}  // namespace ztlive
