#include "filters/restoration/noise_sampler.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/wave_stream.h"
#include "filters/framework/analysis_windows.h"

namespace ztlive {

namespace {

// p[0]: N, the pairs per frame. The continuous noise filter's window and the command line
// make sampling runs; no one picks this filter from a list.
constexpr std::array<ParameterRecord, 1> kParameters{{
    {.index = 0, .label = "Pairs", .minimum = 1, .maximum = 8192, .start = 1024, .kind = ControlKind::Spin},
}};

constexpr FilterDescriptor kDescriptor{
    .typeId = 9,
    .sectionBase = "None",
    .displayName = "None",
    .history = 0,
    .lookAhead = 0,
    .parameters = kParameters,
    .traits = {.analysisOnly = true},
    .create = &NoiseSampler::Create,
};

}  // namespace

const FilterDescriptor& NoiseSampler::Descriptor() { return kDescriptor; }

NoiseSampler::NoiseSampler() : FilterProcessor(Descriptor()) {}

int NoiseSampler::Prepare(WaveStream& in, WaveStream&) {
  m_bins = std::clamp<int32_t>(values.p[0], 1, 8192);
  m_channels = in.Format().channels == 2 ? 2 : 1;
  const size_t length = 2 * static_cast<size_t>(m_bins);
  m_fft.Init(static_cast<int>(length));
  m_window.resize(length);
  HammingWindow(static_cast<int>(length), m_window.data());
  for (int c = 0; c < 2; ++c) {
    m_frames[c].assign(length, 0.0);
    m_sums[c].assign(static_cast<size_t>(m_bins), 0.0);
  }
  m_filled = 0;
  m_frameCount = 0;
  return 1;
}

void NoiseSampler::TakeFrame() {
  const double length = 2.0 * m_bins;
  for (int c = 0; c < m_channels; ++c) {
    std::vector<double>& frame = m_frames[c];
    m_fft.Forward(frame.data());
    std::vector<double>& sums = m_sums[c];
    // Pairs of neighbouring elements of the transform, as the filter addresses them.
    for (size_t j = 0; j < sums.size(); ++j) sums[j] += std::hypot(frame[2 * j], frame[2 * j + 1]) / length;
  }
  ++m_frameCount;
  m_filled = 0;
}

int NoiseSampler::Process(WaveStream& in, WaveStream&) {
  const size_t length = 2 * static_cast<size_t>(m_bins);
  const SampleValue* value = in.Begin();
  const SampleValue* const end = in.End();
  for (; value + m_channels <= end; value += m_channels) {
    for (int c = 0; c < m_channels; ++c) m_frames[c][m_filled] = value[c] * m_window[m_filled];
    if (++m_filled == length) TakeFrame();
  }
  return 1;
}

int NoiseSampler::Finish(WaveStream&, WaveStream&) {
  if (m_frameCount == 0) {
    // A stretch shorter than one frame: complete it with 0.01 and take it once.
    for (int c = 0; c < m_channels; ++c)
      std::fill(m_frames[c].begin() + static_cast<ptrdiff_t>(m_filled), m_frames[c].end(), 0.01);
    TakeFrame();
  }
  for (int c = 0; c < m_channels; ++c)
    for (double& sum : m_sums[c]) sum /= double(m_frameCount);
  return 1;
}

}  // namespace ztlive
