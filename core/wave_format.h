// The format record of a wave stream, as the 16 bytes of a "fmt " chunk hold it.
#pragma once

#include <cstdint>

namespace ztlive {

inline constexpr uint16_t kFormatPcm = 1;
inline constexpr uint16_t kFormatExtensible = 0xFFFE;

struct WaveFormat {
  uint16_t formatTag = kFormatPcm;
  uint16_t channels = 2;
  uint32_t sampleRate = 44100;          // frames per second
  uint32_t avgBytesPerSecond = 176400;
  uint16_t blockAlign = 4;              // bytes per frame
  uint16_t bitsPerSample = 16;
  uint16_t extraSize = 18;              // always 18 in memory, never written to a file

  friend bool operator==(const WaveFormat&, const WaveFormat&) = default;
};

// A PCM format with consistent block align and byte rate.
WaveFormat MakePcmFormat(uint16_t channels, uint32_t sampleRate, uint16_t bitsPerSample);

}  // namespace ztlive
