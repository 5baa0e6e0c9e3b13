// Times shown to the user: a byte offset into the sample data formatted by the time display's
// modes, and the status bar's h:mm:ss.mmm. Parsing is the reverse, for typed times.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ztlive {

struct TimeBase {
  int sampleRate = 44100;
  int channels = 2;
  int bitsPerSample = 16;
  int64_t BytesPerFrame() const { return int64_t{(bitsPerSample + 7) / 8} * channels; }
};

enum class TimeMode { kFrames = 0, kClock = 1, kSeconds = 2 };

inline constexpr std::string_view kNoTime = "--:--:--:--";

// Mode 0: the frame count; 1: hh:mm:ss.ffff (fraction truncated to 1/10000 s); 2: "%8.4f"
// seconds. A negative offset (no position) is kNoTime.
std::string FormatOffset(int64_t offset, const TimeBase& base, TimeMode mode);
// h:mm:ss.mmm of a byte offset, milliseconds truncated.
std::string FormatClock(int64_t offset, const TimeBase& base);
// A typed time: "h:mm:ss.fff", "m:ss.fff", "ss.fff" (seconds), or a frame count with mode 0.
// The byte offset of the frame it falls in, or nothing when the text is not a time.
std::optional<int64_t> ParseTime(std::string_view text, const TimeBase& base, TimeMode mode);

}  // namespace ztlive
