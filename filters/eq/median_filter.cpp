#include "filters/eq/median_filter.h"

#include <algorithm>
#include <functional>

#include "core/wave_stream.h"
#include "filters/eq/block_loop.h"

namespace ztlive {

MedianProcessor::MedianProcessor() {
  typeId = 6;
  sectionBase = "MedianSet";
  displayName = "Median";
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
  const int window = m_window;
  const int middle = m_middle;
  const bool pass = bypass != 0;
  SampleValue* work[2] = {m_work[0].get(), m_work[1].get()};
  return FilterBlock(in, out, [&](int channel, const SampleValue* value) {
    SampleValue* sorted = work[channel];
    for (int k = 0; k < window; ++k) sorted[k] = value[-k * Channels];
    // The element at index `middle` of the window sorted in descending order: the median
    // for an odd window, the lower middle value for an even one.
    std::nth_element(sorted, sorted + middle, sorted + window, std::greater<SampleValue>());
    return pass ? *value : sorted[middle];
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
