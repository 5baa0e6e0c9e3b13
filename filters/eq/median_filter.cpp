#include "filters/eq/median_filter.h"

#include <algorithm>
#include <array>
#include <functional>

#include "core/wave_stream.h"
#include "filters/eq/block_loop.h"
#include "filters/eq/classic_parameters.h"

namespace ztlive {

namespace {

constexpr std::array<ParameterRecord, 1> kParameters{{
    classic::Samples(3, 20),
}};

constexpr FilterDescriptor kDescriptor{
    .typeId = 6,
    .sectionBase = "MedianSet",
    .displayName = "Median",
    .commandName = "median",
    .windowTitle = "Median Filter",
    .menuCommand = "&Median...",
    .history = 1000,
    .lookAhead = 0,
    .parameters = kParameters,
    .presetRecord = FirstValuesRecord(3),
    .create = &MedianProcessor::Create,
};

}  // namespace

const FilterDescriptor& MedianProcessor::Descriptor() { return kDescriptor; }

MedianProcessor::MedianProcessor() : FilterProcessor(Descriptor()) {
  for (auto& work : m_work) work = std::make_unique<SampleValue[]>(kMaxWindow);
}

int MedianProcessor::Prepare(WaveStream&, WaveStream&) {
  m_window = std::clamp<int>(values.p[1], 2, kMaxWindow);
  m_middle = m_window / 2;
  for (auto& work : m_work) std::fill_n(work.get(), kMaxWindow, 0);
  needsPrepare = 1;
  return 1;
}

template <int Channels>
int MedianProcessor::Run(WaveStream& in, WaveStream& out) {
  // Each channel's window is kept sorted (ascending) while it slides: the oldest value is
  // taken out and the newest put in by binary search, so a value costs two short moves
  // rather than a sort. The element at index `middle` of the descending order is the one at
  // window - 1 - middle here: the median for an odd window, the lower middle for an even one.
  const int window = m_window;
  const int pick = window - 1 - m_middle;
  const bool pass = bypass != 0;
  SampleValue* sorted[2] = {m_work[0].get(), m_work[1].get()};
  const SampleValue* begin = in.Begin();
  if (begin == in.End()) return 1;
  for (int channel = 0; channel < Channels; ++channel) {
    // The window of the channel's first value, without that value: it is inserted below.
    SampleValue* w = sorted[channel];
    for (int k = 1; k < window; ++k) w[k - 1] = begin[channel - k * Channels];
    std::sort(w, w + window - 1);
  }
  return FilterBlock(in, out, [&](int channel, const SampleValue* value) {
    SampleValue* w = sorted[channel];
    SampleValue* const end = w + window - 1;
    SampleValue* slot = std::upper_bound(w, end, *value);
    std::move_backward(slot, end, end + 1);
    *slot = *value;
    const SampleValue median = w[pick];
    // The oldest value leaves; the window is then ready for the channel's next value.
    SampleValue* oldest = std::lower_bound(w, end + 1, value[-(window - 1) * Channels]);
    std::move(oldest + 1, end + 1, oldest);
    return pass ? *value : median;
  });
}

int MedianProcessor::Process(WaveStream& in, WaveStream& out) {
  if (needsPrepare) {
    needsPrepare = 0;
    m_window = std::clamp<int>(values.p[1], 2, kMaxWindow);
    m_middle = m_window / 2;
  }
  return in.Format().channels == 2 ? Run<2>(in, out) : Run<1>(in, out);
}

}  // namespace ztlive
