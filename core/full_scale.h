// The process-wide full-scale limits that level edits clip to and measure against: at start
// the largest 16-bit sample in the 24-bit scale of the sample values (0x7FFF00) and one below
// its negative; the recording setup sets them for its resolution.
#pragma once

#include <atomic>
#include <cstdint>

namespace ztlive {

inline constexpr int32_t kInitialFullScaleHigh = 0x7FFF00;   // 8388352
inline constexpr int32_t kInitialFullScaleLow = -0x7FFF01;   // -8388353

namespace full_scale_detail {
inline std::atomic<int32_t> high{kInitialFullScaleHigh};
inline std::atomic<int32_t> low{kInitialFullScaleLow};
}  // namespace full_scale_detail

inline int32_t FullScaleHigh() { return full_scale_detail::high.load(std::memory_order_relaxed); }
inline int32_t FullScaleLow() { return full_scale_detail::low.load(std::memory_order_relaxed); }

// The limits for a largest magnitude x: x - 1 and -x.
inline void SetFullScale(int32_t x) {
  full_scale_detail::high.store(x - 1, std::memory_order_relaxed);
  full_scale_detail::low.store(-x, std::memory_order_relaxed);
}

// The largest magnitude of a file resolution in the sample-value scale, for SetFullScale: one
// above the largest sample, so 16 bits give the starting limits and 24 bits the whole scale.
inline int32_t LargestMagnitude(int bitsPerSample) {
  const int shift = 24 - bitsPerSample;
  return ((int32_t{1} << (bitsPerSample - 1)) - 1) * (int32_t{1} << shift) + 1;
}

// Back to the limits the program starts with.
inline void ResetFullScale() {
  full_scale_detail::high.store(kInitialFullScaleHigh, std::memory_order_relaxed);
  full_scale_detail::low.store(kInitialFullScaleLow, std::memory_order_relaxed);
}

}  // namespace ztlive
