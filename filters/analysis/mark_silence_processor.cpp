#include "filters/analysis/mark_silence_processor.h"

#include <cmath>

#include "core/full_scale.h"
#include "core/wave_stream.h"

namespace ztlive {

namespace {

// p[0]: the threshold in dB below full scale; p[1]: the shortest passage that gets a marker,
// in tenths of a second. The "Find and Mark silence" command makes the run.
constexpr std::array<ParameterRecord, 2> kParameters{{
    {.index = 0, .label = "Threshold", .unit = "dB", .minimum = -100, .maximum = 0, .start = -40},
    {.index = 1, .label = "Minimum Interval", .unit = "s", .minimum = 1, .maximum = 100, .start = 30, .scale = 10},
}};

constexpr FilterDescriptor kDescriptor{
    .typeId = 27,
    .sectionBase = "None",
    .displayName = "MarkSilence",
    .history = 0,
    .lookAhead = 0,
    .parameters = kParameters,
    .traits = {.analysisOnly = true},
    .create = &MarkSilenceProcessor::Create,
};

// The square root of two as the high-pass design takes it.
constexpr double kRootTwo = 1.414213;

}  // namespace

const FilterDescriptor& MarkSilenceProcessor::Descriptor() { return kDescriptor; }

MarkSilenceProcessor::MarkSilenceProcessor() : FilterProcessor(Descriptor()) {}

int MarkSilenceProcessor::Prepare(WaveStream& in, WaveStream&) {
  const WaveFormat& format = in.Format();
  const double rate = format.sampleRate > 0 ? format.sampleRate : 44100.0;
  m_channels = format.channels == 2 ? 2 : 1;
  m_bytesPerSample = in.BytesPerSample();

  // Second-order Butterworth high-pass at 30 Hz by the bilinear transform.
  const double k = std::tan(M_PI * 30.0 / rate);
  const double norm = 1.0 + kRootTwo * k + k * k;
  m_hpB0 = 1.0 / norm;
  m_hpB1 = -2.0 / norm;
  m_hpB2 = 1.0 / norm;
  m_hpA1 = 2.0 * (k * k - 1.0) / norm;
  m_hpA2 = (1.0 - kRootTwo * k + k * k) / norm;
  // One-pole low-pass that follows the high-passed signal's magnitude.
  const double e = std::tan(5.0 / rate);
  m_envB = 1.0 / (1.0 + 1.0 / e);
  m_envA1 = (1.0 - 1.0 / e) / (1.0 + 1.0 / e);

  m_hpX1 = m_hpX2 = m_hpY1 = m_hpY2 = 0;
  m_envX1 = m_envY1 = 0;
  m_open = false;
  m_passageStart = 0;
  m_kept = 0;
  m_found = 0;
  needsPrepare = 1;  // the threshold and length follow from the values at the first block
  return 1;
}

void MarkSilenceProcessor::Passage(uint64_t position, double envelope) {
  if (envelope < m_threshold) {
    if (!m_open) {
      m_open = true;
      m_passageStart = position;
    }
    return;
  }
  if (!m_open) return;
  m_open = false;
  if (static_cast<double>(position - m_passageStart) <= m_minimumBytes) return;
  ++m_found;
  if (m_kept == kMaxPositions) return;
  const uint64_t frame = static_cast<uint64_t>(m_channels) * static_cast<uint64_t>(m_bytesPerSample);
  uint64_t marker = position - (position - m_passageStart) / 4;
  marker -= marker % frame;
  m_positions[static_cast<size_t>(m_kept++)] = static_cast<uint32_t>(marker);
}

int MarkSilenceProcessor::Process(WaveStream& in, WaveStream&) {
  if (needsPrepare) {
    needsPrepare = 0;
    const WaveFormat& format = in.Format();
    m_threshold = std::pow(10.0, values.p[0] * 0.05) * FullScaleHigh();
    // Length in tenths of a second, counted in bytes of the data.
    m_minimumBytes = values.p[1] * 0.1 * format.sampleRate * m_channels * m_bytesPerSample;
  }
  const SampleValue* value = in.Begin();
  const SampleValue* const end = in.End();
  // The read position stands after the block: each frame's position counts back from it.
  const auto frameBytes = static_cast<uint64_t>(m_channels * m_bytesPerSample);
  uint64_t position = in.Run().readPosition - static_cast<uint64_t>(end - value) * static_cast<uint64_t>(m_bytesPerSample);
  for (; value + m_channels <= end; value += m_channels, position += frameBytes) {
    const double mono = m_channels == 2 ? (static_cast<double>(value[0]) + value[1]) * 0.5 : value[0];
    // The small offset keeps the filters out of denormal numbers in digital silence.
    const double x = mono + 0.01;
    const double high = m_hpB0 * x + m_hpB1 * m_hpX1 + m_hpB2 * m_hpX2 - m_hpA1 * m_hpY1 - m_hpA2 * m_hpY2;
    m_hpX2 = m_hpX1;
    m_hpX1 = x;
    m_hpY2 = m_hpY1;
    m_hpY1 = high;
    const double magnitude = std::fabs(high);
    const double envelope = m_envB * (magnitude + m_envX1) - m_envA1 * m_envY1;
    m_envX1 = magnitude;
    m_envY1 = envelope;
    Passage(position, envelope);
  }
  return 1;
}

// A passage still open at the end of the region gets no marker: nothing follows it.
int MarkSilenceProcessor::Finish(WaveStream&, WaveStream&) { return 1; }

}  // namespace ztlive
