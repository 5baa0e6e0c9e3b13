#include "filters/eq/notch_filter.h"

#include <array>
#include <cmath>

#include "core/wave_stream.h"
#include "filters/eq/block_loop.h"
#include "filters/eq/classic_parameters.h"

namespace ztlive {

namespace {

constexpr std::array<ParameterRecord, 3> kParameters{{
    classic::Frequency(1, "Center Freq", 19000),
    {.index = 2,
     .label = "Bandwidth (Oct)",
     .unit = "oct/100",
     .minimum = 1,
     .maximum = 200,
     .start = 200,
     .kind = ControlKind::LogSlider,
     .scale = 100},
    {.index = 3, .label = "Slot Filter", .minimum = 0, .maximum = 1, .start = 0, .kind = ControlKind::Check},
}};

constexpr FilterDescriptor kDescriptor{
    .typeId = 13,
    .sectionBase = "NotchSet",
    .displayName = "Notch",
    .commandName = "notch",
    .windowTitle = "Notch Filter",
    .menuCommand = "&Notch...",
    .history = 32,
    .lookAhead = 0,
    .parameters = kParameters,
    .presetRecord = FirstValuesRecord(4),
    .create = &NotchProcessor::Create,
};

}  // namespace

const FilterDescriptor& NotchProcessor::Descriptor() { return kDescriptor; }

NotchProcessor::NotchProcessor() : FilterProcessor(Descriptor()) {}

int NotchProcessor::Prepare(WaveStream&, WaveStream&) {
  m_slot = values.p[3];
  needsPrepare = 1;
  return 1;
}

void NotchProcessor::Design(double fs) {
  m_slot = values.p[3];
  const double centre = values.p[1];
  const double e = std::exp(values.p[2] * 0.01 * 0.346575);
  double lower = centre / e;
  double upper = centre * e;
  if (lower < 0.01) {
    lower = 0.01;
  } else if (upper > fs * 0.5) {
    // The band keeps its width in octaves and moves down to end at half the rate, so the
    // lower edge stays below the upper one and Q stays positive.
    upper = fs * 0.5;
    lower = upper / (e * e);
  }
  m_lowerHz = lower;
  m_upperHz = upper;
  m_q = centre / (upper - lower);
  const double t = std::tan(3.1415926535898 * centre / (fs * m_q));
  m_beta = (1.0 - t) * 0.5 / (1.0 + t);
  m_gamma = std::cos(6.2831853071796 * centre / fs) * (m_beta + 0.5);
  m_alpha = (0.5 - m_beta) * 0.5;
  m_y1[0] = m_y1[1] = m_y2[0] = m_y2[1] = 0;
}

template <int Channels>
int NotchProcessor::Run(WaveStream& in, WaveStream& out) {
  const double alpha = m_alpha;
  const double beta = m_beta;
  const double gamma = m_gamma;
  const bool slot = m_slot != 0;
  const bool pass = bypass != 0;
  double y1[2] = {m_y1[0], m_y1[1]};
  double y2[2] = {m_y2[0], m_y2[1]};
  const int result = FilterBlock(in, out, [&](int channel, const SampleValue* value) {
    const double u = *value + 0.01;
    const double x2 = value[-2 * Channels];  // two frames earlier, from the history when needed
    const double r = 2.0 * (alpha * (u - x2) + gamma * y1[channel] - beta * y2[channel]);
    y2[channel] = y1[channel];
    y1[channel] = r;
    return pass ? *value : TruncateToSample(slot ? r : u - r);
  });
  for (int channel = 0; channel < 2; ++channel) {
    m_y1[channel] = y1[channel];
    m_y2[channel] = y2[channel];
  }
  return result;
}

int NotchProcessor::Process(WaveStream& in, WaveStream& out) {
  if (needsPrepare) {
    needsPrepare = 0;
    Design(in.Format().sampleRate);
  }
  return in.Format().channels == 2 ? Run<2>(in, out) : Run<1>(in, out);
}

}  // namespace ztlive
