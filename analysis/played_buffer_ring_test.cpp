// The hand-over from the device side: a real producer thread against the consumer.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "analysis/played_buffer_ring.h"

namespace ztlive {
namespace {

std::vector<uint8_t> Bytes16(int first, int count) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < count; ++i) {
    const auto v = static_cast<int16_t>(first + i);
    bytes.push_back(static_cast<uint8_t>(v & 0xFF));
    bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  return bytes;
}

TEST(PlayedBufferRing, BlocksArriveWholeInOrderAndAFullRingDrops) {
  PlayedBufferRing ring;
  const WaveDeviceFormat stereo16{2, 48000, 16, 4};
  // A buffer longer than a slot spreads over slots; an odd trailing value is left out.
  const auto big = Bytes16(0, PlayedBufferRing::kSlotValues + 101);
  ring.Push(big.data(), big.size(), stereo16);
  std::vector<int> counts;
  int next = 0;
  bool ordered = true;
  ring.Drain([&](const PlayedBlock& block) {
    counts.push_back(block.valueCount);
    EXPECT_EQ(block.channels, 2);
    EXPECT_EQ(block.sampleRate, 48000);
    for (int i = 0; i < block.valueCount; ++i) ordered = ordered && block.values[i] == SampleValue(int16_t(next++)) * 256;
  });
  EXPECT_TRUE(ordered);
  EXPECT_EQ(counts, (std::vector<int>{PlayedBufferRing::kSlotValues, 100}));

  const auto small = Bytes16(7, 64);
  for (int i = 0; i < PlayedBufferRing::kSlots + 3; ++i) ring.Push(small.data(), small.size(), stereo16);
  EXPECT_EQ(ring.Dropped(), 3u);
  EXPECT_EQ(ring.Drain([](const PlayedBlock&) {}), PlayedBufferRing::kSlots);
}

TEST(PlayedBufferRing, AProducerThreadAndTheConsumerNeverSeeATornBlock) {
  PlayedBufferRing ring;
  const WaveDeviceFormat mono16{1, 44100, 16, 2};
  constexpr int kBuffers = 4000, kValues = 512;
  std::thread producer([&] {
    for (int b = 0; b < kBuffers; ++b) {
      const auto bytes = Bytes16(b % 1000, kValues);
      ring.Push(bytes.data(), bytes.size(), mono16);
    }
  });
  int received = 0;
  bool whole = true;
  auto take = [&](const PlayedBlock& block) {
    ++received;
    const SampleValue first = block.values[0];
    whole = whole && block.valueCount == kValues;
    for (int i = 1; i < block.valueCount; ++i) whole = whole && block.values[i] == first + i * 256;
  };
  while (received + static_cast<int>(ring.Dropped()) < kBuffers) ring.Drain(take);
  producer.join();
  ring.Drain(take);
  EXPECT_TRUE(whole);
  EXPECT_EQ(received + static_cast<int>(ring.Dropped()), kBuffers);
}

}  // namespace
}  // namespace ztlive
