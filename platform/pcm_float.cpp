#include "platform/pcm_float.h"

#include <cmath>

namespace ztlive {

namespace {

int32_t LoadSample(const uint8_t* p, int sampleBytes) {
  switch (sampleBytes) {
    case 1:
      return (static_cast<int32_t>(p[0]) - 128) << 24;
    case 2:
      return static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 24);
    case 3:
      return static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
                                  static_cast<uint32_t>(p[2]) << 24);
    default:
      return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                  static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
  }
}

}  // namespace

void PcmToFloat(const uint8_t* bytes, size_t samples, int sampleBytes, float* out) {
  // Every width is first placed in the top bits of a 32-bit word, so one scale serves all.
  constexpr float kScale = 1.0f / 2147483648.0f;
  for (size_t i = 0; i < samples; ++i, bytes += sampleBytes)
    out[i] = static_cast<float>(LoadSample(bytes, sampleBytes)) * kScale;
}

void FloatToPcm(const float* values, size_t samples, int sampleBytes, uint8_t* out) {
  const int bits = sampleBytes * 8;
  const double full = std::ldexp(1.0, bits - 1);
  const double top = full - 1.0;
  for (size_t i = 0; i < samples; ++i, out += sampleBytes) {
    double v = std::nearbyint(static_cast<double>(values[i]) * full);
    v = v > top ? top : (v < -full ? -full : v);
    const auto word = static_cast<uint32_t>(static_cast<int32_t>(v));
    switch (sampleBytes) {
      case 1:
        out[0] = static_cast<uint8_t>(word + 128u);
        break;
      case 2:
        out[0] = static_cast<uint8_t>(word);
        out[1] = static_cast<uint8_t>(word >> 8);
        break;
      case 3:
        out[0] = static_cast<uint8_t>(word);
        out[1] = static_cast<uint8_t>(word >> 8);
        out[2] = static_cast<uint8_t>(word >> 16);
        break;
      default:
        out[0] = static_cast<uint8_t>(word);
        out[1] = static_cast<uint8_t>(word >> 8);
        out[2] = static_cast<uint8_t>(word >> 16);
        out[3] = static_cast<uint8_t>(word >> 24);
        break;
    }
  }
}

}  // namespace ztlive
