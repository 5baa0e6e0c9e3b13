// The per-value loop that the classic filters share: every value of the input block, in
// order, through a filter function, each result written with the output stream's
// WriteSample. In stereo the values alternate between channel 0 and 1.
#pragma once

#include "core/sample_value.h"
#include "core/wave_stream.h"

namespace ztlive {

// filter(channel, value pointer) -> the output value; the pointer lets a filter read the
// channel's earlier values (value[-channels], ...) from the stream's history. 1 when the
// block is consumed, 0 as soon as a write fails.
template <typename Filter>
inline int FilterBlock(WaveStream& in, WaveStream& out, Filter&& filter) {
  const SampleValue* value = in.Begin();
  const SampleValue* const end = in.End();
  if (in.Format().channels == 2) {
    for (; value + 1 < end; value += 2) {
      if (!out.WriteSample(filter(0, value))) return 0;
      if (!out.WriteSample(filter(1, value + 1))) return 0;
    }
  }
  for (; value < end; ++value)
    if (!out.WriteSample(filter(0, value))) return 0;
  return 1;
}

}  // namespace ztlive
