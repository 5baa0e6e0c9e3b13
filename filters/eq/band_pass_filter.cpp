#include "filters/eq/band_pass_filter.h"

#include <array>

#include "core/wave_stream.h"
#include "filters/eq/block_loop.h"
#include "filters/eq/classic_parameters.h"

namespace ztlive {

namespace {

constexpr std::array<ParameterRecord, 3> kParameters{{
    classic::kSlope,
    classic::Frequency(1, "Low Freq", 20000),
    classic::Frequency(2, "High Freq", 20000),
}};

constexpr FilterDescriptor kDescriptor{
    .typeId = 11,
    .sectionBase = "BandPassSet",
    .displayName = "BandPass",
    .commandName = "band-pass",
    .windowTitle = "Bandpass Filter",
    .menuCommand = "&BandPass...",
    .history = 0,
    .lookAhead = 0,
    .parameters = kParameters,
    .presetRecord = FirstValuesRecord(3),
    .create = &BandPassProcessor::Create,
};

}  // namespace

const FilterDescriptor& BandPassProcessor::Descriptor() { return kDescriptor; }

BandPassProcessor::BandPassProcessor() : FilterProcessor(Descriptor()) {}

int BandPassProcessor::Prepare(WaveStream&, WaveStream&) {
  for (int channel = 0; channel < 2; ++channel) m_highState[channel] = m_lowState[channel] = SectionState();
  needsPrepare = 1;
  return 1;
}

void BandPassProcessor::Design(const WaveStream& in) {
  const double fs = in.Format().sampleRate;
  const auto nyquist = static_cast<int32_t>(in.Format().sampleRate / 2);
  // Each edge strictly above half the rate moves to 0.475 fs; crossed edges are used as given.
  const double lower = values.p[1] > nyquist ? 0.475 * fs : values.p[1];
  const double upper = values.p[2] > nyquist ? 0.475 * fs : values.p[2];
  // A slope outside 0..2 (never made by the dialog) designs as the steepest.
  m_highPass = DesignHighPass(values.p[0], lower, fs);
  m_lowPass = DesignLowPass(values.p[0], upper, fs);
  for (int channel = 0; channel < 2; ++channel) m_highState[channel] = m_lowState[channel] = SectionState();
}

template <int N>
int BandPassProcessor::Run(WaveStream& in, WaveStream& out) {
  const SectionCoefficients high = m_highPass;
  const SectionCoefficients low = m_lowPass;
  const bool pass = bypass != 0;
  SectionState highStates[2] = {m_highState[0], m_highState[1]};
  SectionState lowStates[2] = {m_lowState[0], m_lowState[1]};
  const int result = FilterBlock(in, out, [&](int channel, const SampleValue* value) {
    const double band = RunSection<N>(low, lowStates[channel], RunSection<N>(high, highStates[channel], *value + 0.01));
    return pass ? *value : TruncateToSample(band);
  });
  for (int channel = 0; channel < 2; ++channel) {
    m_highState[channel] = highStates[channel];
    m_lowState[channel] = lowStates[channel];
  }
  return result;
}

int BandPassProcessor::Process(WaveStream& in, WaveStream& out) {
  if (needsPrepare) {  // every redesign starts both sections afresh
    needsPrepare = 0;
    Design(in);
  }
  switch (m_lowPass.order) {
    case 1:
      return Run<1>(in, out);
    case 2:
      return Run<2>(in, out);
    default:
      return Run<3>(in, out);
  }
}

}  // namespace ztlive
