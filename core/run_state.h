// The process-wide state of the stream core: one instance, shared by the input and output
// streams, the device engine and the filter runs. Everything runs on the main thread, except
// that a stop may be requested from anywhere (a signal handler, a device failure), so the
// flags are atomics read without ordering.
#pragma once

#include <atomic>
#include <cstdint>

namespace ztlive {

// Device engine states the stream looks at.
inline constexpr int kEnginePlaying = 101;
inline constexpr int kEnginePaused = 102;
inline constexpr int kEngineStopped = 103;

struct RunState {
  std::atomic<int> stopRequested{0};  // a cancel or a device failure: every write and read stops
  std::atomic<int> clipOccurred{0};   // a value was outside the clip limits; cleared by the caller
  uint32_t readPosition = 0;          // data byte offset of the next block to read
  uint32_t regionStart = 0;           // data byte offset of the first byte of the region
  uint32_t regionEnd = 0;             // data byte offset one past the region's last byte
  int loopPreview = 1;                // a previewing run goes back to regionStart at regionEnd
  int liveInput = 0;                  // the input device fills the input stream's blocks
  int logToFile = 0;                  // device-and-log streams also pack into their file
  int engineState = kEngineStopped;   // the device engine's state
  int suppressPeaks = 0;              // peak building is skipped and views read samples directly
  int64_t clickCount = 0;             // clicks a click filter has found in the current run
};

// The one instance.
RunState& TheRunState();

}  // namespace ztlive
