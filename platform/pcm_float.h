// Conversion between a device format's interleaved PCM bytes and floats in [-1, 1), for the
// sound card paths that run through a rate converter. Widths: 8 (unsigned), 16, 20 and 24
// (three bytes, 20-bit data is stored as 24), 32 bits, little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ztlive {

// Bytes one sample occupies for a bits-per-sample value (20 bits take 3 bytes).
inline int PcmSampleBytes(int bitsPerSample) { return (bitsPerSample + 7) / 8; }

// The byte value that fills silence: 0x80 for unsigned 8-bit samples, else 0.
inline uint8_t PcmSilenceByte(int bitsPerSample) { return bitsPerSample == 8 ? 0x80 : 0; }

void PcmToFloat(const uint8_t* bytes, size_t samples, int sampleBytes, float* out);
// Rounds to the nearest step and clips to the width's range.
void FloatToPcm(const float* values, size_t samples, int sampleBytes, uint8_t* out);

}  // namespace ztlive
