// A live pass through the device engine on the JACK loopback, for the tests and benchmarks of
// live runs. Something plays a signal into the loopback's left channel; the pass reads the
// engine's live input blocks (the loopback's capture) and writes each frame's left value into
// the right channel of its output (the loopback's playback), the left one silent. So the
// capture holds side by side what went in (left) and what the live run played (right), and
// the right channel's delay behind the left is the live run's round trip.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "core/device_engine.h"
#include "core/sample_value.h"
#include "platform/message_queue.h"

namespace ztlive::test {

struct LiveCapture {
  bool opened = false;        // the engine opened live input and output
  std::vector<SampleValue> left;   // captured frames, in sample-value scale
  std::vector<SampleValue> right;
  std::vector<int> blockLengths;   // values of every block ReadBlock handed over
};

// Opens live input and lets it feed the meters for idleMs (dispatching the engine's queue),
// then runs the pass until `frames` frames have been captured (or a stop), in 16-bit stereo
// at `rate`, and closes the engine's output and input.
// beforeClose, when given, runs after the last block, before the devices close.
LiveCapture RunLivePass(DeviceEngine& engine, MessageQueue& queue, WaveStream& input, WaveStream& output,
                        RunState& run, uint32_t rate, size_t frames, int idleMs,
                        const std::function<void()>& beforeClose = {});

struct LagSurvey {
  size_t heard = 0;           // chunks whose right channel carries sound
  std::vector<long> lags;     // frames the right channel lags the left, per chunk matched
  size_t Missed() const { return heard - lags.size(); }
};

// Cuts the right channel into chunks of chunkFrames; for every chunk that carries sound,
// finds the smallest lag up to maxLag at which it equals the left channel value for value
// (within `tolerance`).
LagSurvey SurveyLags(const LiveCapture& capture, size_t chunkFrames, long maxLag, SampleValue tolerance);

// The design's round trip of a live run in frames: one input buffer, preRoll - 1 play
// buffers (both of blockValues values) and one server period.
double DesignLagFrames(int blockValues, int preRoll, int channels, int periodFrames);

}  // namespace ztlive::test
