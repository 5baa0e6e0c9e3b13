#include "core/sample_codec.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace ztlive {
namespace {

std::vector<SampleValue> Unpack(std::vector<uint8_t> bytes, int width) {
  std::vector<SampleValue> values(bytes.size() / static_cast<size_t>(width));
  UnpackSamples(bytes.data(), values.size(), width, values.data());
  return values;
}

std::vector<uint8_t> Pack(std::vector<SampleValue> values, int width) {
  std::vector<uint8_t> bytes(values.size() * static_cast<size_t>(width));
  PackSamples(values.data(), values.size(), width, bytes.data());
  return bytes;
}

TEST(SampleCodec, EightBitSamplesAreUnsignedAroundMidScale) {
  EXPECT_EQ(Unpack({0x80, 0xFF, 0x00, 0x7F}, 1), (std::vector<SampleValue>{0, 127 << 16, -0x800000, -(1 << 16)}));
  EXPECT_EQ(Pack({kSampleMax, kSampleMin, 0, -1}, 1), (std::vector<uint8_t>{0xFF, 0x00, 0x80, 0x7F}));
}

TEST(SampleCodec, SixteenBitShiftsAreArithmetic) {
  EXPECT_EQ(Unpack({0xFF, 0xFF, 0x00, 0x80, 0xFF, 0x7F}, 2), (std::vector<SampleValue>{-256, -0x800000, 0x7FFF00}));
  // -1 >> 8 is -1, so the value -1 writes back as 0xFFFF.
  EXPECT_EQ(Pack({-1, kSampleMax, kSampleMin, 255}, 2),
            (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x80, 0x00, 0x00}));
}

TEST(SampleCodec, ThreeByteSamplesSignExtendFromBit23) {
  EXPECT_EQ(Unpack({0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F}, 3),
            (std::vector<SampleValue>{-1, kSampleMin, kSampleMax}));
  EXPECT_EQ(Unpack({0x01, 0x02, 0x03}, 3), (std::vector<SampleValue>{0x030201})) << "odd count, one left over";
  EXPECT_EQ(Pack({-1, 0x123456}, 3), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x56, 0x34, 0x12}));
  EXPECT_EQ(Unpack({0x78, 0x56, 0x34, 0x82}, 4), (std::vector<SampleValue>{static_cast<int32_t>(0x82345678)}));
}

TEST(SampleCodec, EveryWidthRoundTripsEveryFileSample) {
  std::mt19937 random(7);
  for (int width = 1; width <= 3; ++width) {
    std::vector<uint8_t> bytes(3000 * static_cast<size_t>(width));
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    EXPECT_EQ(Pack(Unpack(bytes, width), width), bytes) << "width " << width;
  }
}

}  // namespace
}  // namespace ztlive
