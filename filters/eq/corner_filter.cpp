#include "filters/eq/corner_filter.h"

#include "core/wave_stream.h"
#include "filters/eq/block_loop.h"

namespace ztlive {

void CornerFilterProcessor::Design(const WaveStream& in) {
  const double fs = in.Format().sampleRate;
  const auto nyquist = static_cast<int32_t>(in.Format().sampleRate / 2);
  m_cutoffHz = values.p[1] >= nyquist ? 0.475 * fs : values.p[1];
  m_coefficients = m_lowPass ? DesignLowPass(values.p[0], m_cutoffHz, fs) : DesignHighPass(values.p[0], m_cutoffHz, fs);
}

void CornerFilterProcessor::ClearState() {
  m_state[0] = SectionState();
  m_state[1] = SectionState();
}

template <int N>
int CornerFilterProcessor::Run(WaveStream& in, WaveStream& out) {
  // Coefficients and states live in locals for the block, so they stay in registers.
  const SectionCoefficients c = m_coefficients;
  const bool pass = bypass != 0;
  SectionState left = m_state[0];
  SectionState right = m_state[1];
  const int result = FilterBlock(in, out, [&](int channel, const SampleValue* value) {
    const double y = RunSection<N>(c, channel == 0 ? left : right, *value + 0.01);
    return pass ? *value : TruncateToSample(y);
  });
  m_state[0] = left;
  m_state[1] = right;
  return result;
}

int CornerFilterProcessor::RunBlock(WaveStream& in, WaveStream& out) {
  switch (m_coefficients.order) {
    case 1:
      return Run<1>(in, out);
    case 2:
      return Run<2>(in, out);
    default:
      return Run<3>(in, out);
  }
}

}  // namespace ztlive
