// The samples that growing_wave_writer writes: a sequence in which every position has its own
// value, so that a byte in the wrong place shows.
#pragma once

#include <cstdint>

namespace ztlive {

inline int16_t GrowingSample(uint64_t n) { return static_cast<int16_t>(static_cast<uint32_t>(n * 2654435761u) >> 16); }

}  // namespace ztlive
