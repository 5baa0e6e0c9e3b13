// Conversions between file samples and sample values, whole buffers at a time.
//
//   bits  bytes  file sample -> value                    value -> file sample
//   8     1      (unsigned byte - 128) << 16             (value >> 16) + 128
//   16    2      signed little-endian word << 8          value >> 8
//   20    3      3 bytes little-endian, sign from bit 23 the low 3 bytes
//   24    3      as 20                                   as 20
//   32    4      the signed word unscaled                (not written)
//
// Right shifts are arithmetic (towards minus infinity). Packing stores what it is given:
// values are clipped before they reach it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/sample_value.h"

namespace ztlive {

// Bytes of one sample of a width: (bits + 7) / 8.
constexpr int BytesPerSample(int bitsPerSample) { return (bitsPerSample + 7) / 8; }

// True for the widths that have a conversion: 8, 16, 20, 24 and 32 bits.
constexpr bool IsSupportedWidth(int bitsPerSample) {
  return bitsPerSample == 8 || bitsPerSample == 16 || bitsPerSample == 20 ||
         bitsPerSample == 24 || bitsPerSample == 32;
}

// Unpacks count samples of bytesPerSample bytes (1 ... 4) from bytes into values.
void UnpackSamples(const uint8_t* bytes, size_t count, int bytesPerSample, SampleValue* values);
// Packs count values into samples of bytesPerSample bytes (1 ... 3) at bytes.
void PackSamples(const SampleValue* values, size_t count, int bytesPerSample, uint8_t* bytes);

// One value into one sample of bytesPerSample bytes (1 ... 3); the per-sample write path.
inline void StoreSample(uint8_t* bytes, SampleValue value, int bytesPerSample) {
  const auto bits = static_cast<uint32_t>(value);
  switch (bytesPerSample) {
    case 1:
      bytes[0] = static_cast<uint8_t>((value >> 16) + 128);
      break;
    case 2:
      bytes[0] = static_cast<uint8_t>(bits >> 8);
      bytes[1] = static_cast<uint8_t>(bits >> 16);
      break;
    default:
      bytes[0] = static_cast<uint8_t>(bits);
      bytes[1] = static_cast<uint8_t>(bits >> 8);
      bytes[2] = static_cast<uint8_t>(bits >> 16);
      break;
  }
}

}  // namespace ztlive
