#include "filters/eq/averaging_filter.h"

#include <algorithm>
#include <array>

#include "core/wave_stream.h"
#include "filters/eq/block_loop.h"
#include "filters/eq/classic_parameters.h"

namespace ztlive {

namespace {

constexpr std::array<ParameterRecord, 1> kParameters{{
    classic::Samples(2, 100),
}};

constexpr FilterDescriptor kDescriptor{
    .typeId = 2,
    .sectionBase = "AveragingSet",
    .displayName = "Average",
    .commandName = "averaging",
    .windowTitle = "Averaging Filter",
    .menuCommand = "&Average...",
    .history = 256,
    .lookAhead = 0,
    .parameters = kParameters,
    .presetRecord = kWholeRecord,
    .create = &AveragingProcessor::Create,
};

}  // namespace

const FilterDescriptor& AveragingProcessor::Descriptor() { return kDescriptor; }

AveragingProcessor::AveragingProcessor() : FilterProcessor(Descriptor()) {}

template <int Channels>
int AveragingProcessor::Run(WaveStream& in, WaveStream& out, int window) {
  // Stereo averages the current frame and the N - 1 before it; mono the N values before the
  // current one. Each channel keeps a running sum over its window (exact in 64 bits, so the
  // result is that of summing the window afresh for every value).
  constexpr int kFirst = Channels == 2 ? 0 : 1;
  const bool pass = bypass != 0;
  // Before each value the sum holds its window without the newest term.
  const SampleValue* begin = in.Begin();
  int64_t sums[2] = {0, 0};
  for (int channel = 0; channel < Channels; ++channel)
    for (int k = kFirst + 1; k < kFirst + window; ++k) sums[channel] += begin[channel - k * Channels];
  return FilterBlock(in, out, [&](int channel, const SampleValue* value) {
    int64_t& sum = sums[channel];
    sum += value[-kFirst * Channels];
    const auto average = static_cast<SampleValue>(sum / window);
    sum -= value[-(window + kFirst - 1) * Channels];
    return pass ? *value : average;
  });
}

int AveragingProcessor::Process(WaveStream& in, WaveStream& out) {
  // A window below 1 (never made by the dialog) averages one value; above the history's
  // reach it is held at the largest window the dialog offers.
  const int window = std::clamp<int>(values.p[1], 1, kMaxWindow);
  return in.Format().channels == 2 ? Run<2>(in, out, window) : Run<1>(in, out, window);
}

}  // namespace ztlive
