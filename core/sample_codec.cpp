#include "core/sample_codec.h"

#include <bit>
#include <cstring>

namespace ztlive {

namespace {

static_assert(std::endian::native == std::endian::little, "the word loads below assume little-endian");

// The loops below are single passes the compiler can vectorise: no calls, no branches on
// the data, fixed strides.

void Unpack8(const uint8_t* bytes, size_t count, SampleValue* values) {
  for (size_t i = 0; i < count; ++i) values[i] = (static_cast<int32_t>(bytes[i]) - 128) * 65536;
}

void Unpack16(const uint8_t* bytes, size_t count, SampleValue* values) {
  for (size_t i = 0; i < count; ++i) {
    const auto word = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    values[i] = static_cast<int32_t>(word) * 256;
  }
}

SampleValue Unpack24One(const uint8_t* b) {
  // Place the 3 bytes in the top of a word, then shift back: sign extension from bit 23.
  const uint32_t word = (static_cast<uint32_t>(b[0]) << 8) | (static_cast<uint32_t>(b[1]) << 16) |
                        (static_cast<uint32_t>(b[2]) << 24);
  return static_cast<int32_t>(word) >> 8;
}

void Unpack24(const uint8_t* bytes, size_t count, SampleValue* values) {
  if (count == 0) return;
  // Pairs of samples from 4-byte loads (6 bytes into 2 values): the load for a sample takes
  // one byte of the next, which the shift drops. The last sample is read on its own so that
  // no load passes the end of the buffer.
  size_t i = 0;
  for (; i + 2 < count; i += 2) {
    uint32_t a = 0;
    uint32_t b = 0;
    std::memcpy(&a, bytes + 3 * i, 4);
    std::memcpy(&b, bytes + 3 * i + 3, 4);
    values[i] = static_cast<int32_t>(a << 8) >> 8;
    values[i + 1] = static_cast<int32_t>(b << 8) >> 8;
  }
  for (; i < count; ++i) values[i] = Unpack24One(bytes + 3 * i);
}

void Unpack32(const uint8_t* bytes, size_t count, SampleValue* values) {
  for (size_t i = 0; i < count; ++i) {
    const uint32_t word = static_cast<uint32_t>(bytes[4 * i]) | (static_cast<uint32_t>(bytes[4 * i + 1]) << 8) |
                          (static_cast<uint32_t>(bytes[4 * i + 2]) << 16) |
                          (static_cast<uint32_t>(bytes[4 * i + 3]) << 24);
    values[i] = static_cast<int32_t>(word);
  }
}

void Pack8(const SampleValue* values, size_t count, uint8_t* bytes) {
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>((values[i] >> 16) + 128);
}

void Pack16(const SampleValue* values, size_t count, uint8_t* bytes) {
  for (size_t i = 0; i < count; ++i) {
    const auto bits = static_cast<uint32_t>(values[i]);
    bytes[2 * i] = static_cast<uint8_t>(bits >> 8);
    bytes[2 * i + 1] = static_cast<uint8_t>(bits >> 16);
  }
}

void Pack24(const SampleValue* values, size_t count, uint8_t* bytes) {
  if (count == 0) return;
  // 4-byte stores 3 bytes apart: each store's fourth byte is overwritten by the next one.
  for (size_t i = 0; i + 1 < count; ++i) {
    const auto bits = static_cast<uint32_t>(values[i]);
    std::memcpy(bytes + 3 * i, &bits, 4);
  }
  const auto bits = static_cast<uint32_t>(values[count - 1]);
  uint8_t* last = bytes + 3 * (count - 1);
  last[0] = static_cast<uint8_t>(bits);
  last[1] = static_cast<uint8_t>(bits >> 8);
  last[2] = static_cast<uint8_t>(bits >> 16);
}

}  // namespace

void UnpackSamples(const uint8_t* bytes, size_t count, int bytesPerSample, SampleValue* values) {
  switch (bytesPerSample) {
    case 1:
      Unpack8(bytes, count, values);
      break;
    case 2:
      Unpack16(bytes, count, values);
      break;
    case 3:
      Unpack24(bytes, count, values);
      break;
    case 4:
      Unpack32(bytes, count, values);
      break;
    default:
      std::memset(values, 0, count * sizeof(SampleValue));
      break;
  }
}

void PackSamples(const SampleValue* values, size_t count, int bytesPerSample, uint8_t* bytes) {
  switch (bytesPerSample) {
    case 1:
      Pack8(values, count, bytes);
      break;
    case 2:
      Pack16(values, count, bytes);
      break;
    default:
      Pack24(values, count, bytes);
      break;
  }
}

}  // namespace ztlive
