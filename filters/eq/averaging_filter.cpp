#include "filters/eq/averaging_filter.h"

#include <algorithm>

#include "core/wave_stream.h"
#include "filters/eq/block_loop.h"

namespace ztlive {

AveragingProcessor::AveragingProcessor() {
  typeId = 2;
  sectionBase = "AveragingSet";
  displayName = "Average";
}

template <int Channels>
int AveragingProcessor::Run(WaveStream& in, WaveStream& out, int window) {
  // Stereo averages the current frame and the N - 1 before it; mono the N values before the
  // current one.
  constexpr int kFirst = Channels == 2 ? 0 : 1;
  const bool pass = bypass != 0;
  return FilterBlock(in, out, [&](int, const SampleValue* value) {
    int64_t sum = 0;
    for (int k = kFirst; k < window + kFirst; ++k) sum += value[-k * Channels];
    return pass ? *value : static_cast<SampleValue>(sum / window);
  });
}

int AveragingProcessor::Process(WaveStream& in, WaveStream& out) {
  // A window below 1 (never made by the dialog) averages one value; above the history's
  // reach it is held at the largest window the dialog offers.
  const int window = std::clamp<int>(values.p[1], 1, kMaxWindow);
  return in.Format().channels == 2 ? Run<2>(in, out, window) : Run<1>(in, out, window);
}

}  // namespace ztlive
