#include "filters/eq/paragraphic_equalizer.h"

#include <algorithm>
#include <cmath>

#include "core/wave_stream.h"
#include "filters/eq/truncate_with_guard.h"
#include "filters/framework/filter_design.h"
#include "platform/prompts.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

constexpr std::array<ParameterRecord, 2> kParameters{{
    {.index = 0, .label = "Gain", .unit = "dB", .minimum = -200, .maximum = 200, .start = 0, .scale = 10},
    {.index = 3, .label = "Number of Filters", .minimum = 1, .maximum = 10, .start = 10, .kind = ControlKind::Spin},
}};

constexpr FilterDescriptor kDescriptor{
    .typeId = 26,
    .sectionBase = "Parametric",
    .displayName = "Paragraphic",
    .commandName = "paragraphic-eq",
    .windowTitle = "Paragraphic Equalizer",
    .menuCommand = "&Paragraphic Equalizer...",
    .history = 64,
    .lookAhead = 0,
    .parameters = kParameters,
    .presetRecord = FirstValuesRecord(11),
    .traits = {.takesExtraParams = true},
    .create = &ParagraphicEqProcessor::Create,
};

int32_t MasterTenthsDb(double master) { return TruncateWithGuard(200.0 * std::log10(master)); }

}  // namespace

PeakingCoefficients DesignPeakingBand(double f, double gain, double octaves, double fs) {
  const double upper = f * std::exp(octaves * 0.346575);
  // The band cannot be designed without a positive frequency, gain and width: it is neutral
  // then, like a band above the limit.
  if (!(upper <= 0.55 * fs) || !(f > 0) || !(gain > 0) || !(octaves > 0)) {
    f = 1.0;
    gain = 1.0;
  }
  const double w = 6.2831853071796 * f / fs;
  const double s = std::sin(w);
  const double h = std::sinh(w / s * std::log(2.0) * octaves * 0.5);
  const double a = std::sqrt(gain);
  const double alpha = s * h;
  const double k = 1.0 + alpha / a;
  PeakingCoefficients c;
  c.b0 = (1.0 + alpha * a) / k;
  c.b1 = -2.0 * std::cos(w) / k;
  c.b2 = (1.0 - alpha * a) / k;
  c.a2 = (1.0 - alpha / a) / k;
  return c;
}

const FilterDescriptor& ParagraphicEqProcessor::Descriptor() { return kDescriptor; }

ParagraphicEqProcessor::ParagraphicEqProcessor() : FilterProcessor(Descriptor()) {
  SetBands(ParagraphicBands::Initial());
  m_bw[kParagraphicBands] = 1.0;
  needsPrepare = 1;
}

ParagraphicBands ParagraphicEqProcessor::Bands() const {
  ParagraphicBands bands;
  std::copy_n(m_amp.begin(), kParagraphicBands, bands.amp.begin());
  std::copy_n(m_freq.begin(), kParagraphicBands, bands.freq.begin());
  std::copy_n(m_bw.begin(), kParagraphicBands, bands.bw.begin());
  bands.master = m_amp[kParagraphicBands];
  bands.count = m_count;
  return bands;
}

void ParagraphicEqProcessor::SetBands(const ParagraphicBands& bands) {
  double amp[kParagraphicBands + 1];
  double freq[kParagraphicBands + 1];
  double bw[kParagraphicBands + 1];
  std::copy(bands.amp.begin(), bands.amp.end(), amp);
  std::copy(bands.freq.begin(), bands.freq.end(), freq);
  std::copy(bands.bw.begin(), bands.bw.end(), bw);
  amp[kParagraphicBands] = bands.master;
  freq[kParagraphicBands] = m_freq[kParagraphicBands];
  bw[kParagraphicBands] = m_bw[kParagraphicBands];
  double count = bands.count;
  SetExtraParams(bw, amp, freq, &count);
}

void ParagraphicEqProcessor::SetExtraParams(double* a, double* b, double* c, double* d) {
  if (a == nullptr || b == nullptr || c == nullptr || d == nullptr) return;
  std::copy_n(a, kParagraphicBands + 1, m_bw.begin());
  std::copy_n(b, kParagraphicBands + 1, m_amp.begin());
  std::copy_n(c, kParagraphicBands + 1, m_freq.begin());
  // Held to 1..10: the count indexes the band arrays.
  const double count = std::isfinite(*d) ? std::trunc(*d) : kParagraphicBands;
  m_count = static_cast<int32_t>(std::clamp(count, 1.0, double(kParagraphicBands)));
  values.p[3] = m_count;
  values.p[0] = MasterTenthsDb(m_amp[kParagraphicBands]);
  needsPrepare = 1;
}

void ParagraphicEqProcessor::GetExtraParams(double* a, double* b, double* c, double* d) {
  if (a == nullptr || b == nullptr || c == nullptr || d == nullptr) return;
  std::copy_n(m_bw.begin(), kParagraphicBands, a);
  std::copy_n(m_amp.begin(), kParagraphicBands, b);
  std::copy_n(m_freq.begin(), kParagraphicBands, c);
  b[kParagraphicBands] = m_amp[kParagraphicBands];
  *d = m_count;
}

int ParagraphicEqProcessor::WritePreset(std::string_view name) {
  values.p[0] = MasterTenthsDb(m_amp[kParagraphicBands]);
  values.p[3] = m_count;
  if (FilterProcessor::WritePreset(name) != 1) return 0;
  return WriteBandTables(PresetSectionName(), name, Bands()) ? 1 : 0;
}

int ParagraphicEqProcessor::LoadPreset(std::string_view name) {
  if (FilterProcessor::LoadPreset(name) != 0) {
    m_count = kParagraphicBands;
    return 1;
  }
  m_count = std::clamp(values.p[3], 1, kParagraphicBands);
  ParagraphicBands bands = Bands();
  if (!ReadBandTables(PresetSectionName(), name, bands) && prompts != nullptr)
    prompts->Show(std::string(StringText(StringId::kPresetLoadFailed)), "", PromptIcon::Error);
  // What could be read is taken, the rest keeps what it held.
  std::copy(bands.amp.begin(), bands.amp.end(), m_amp.begin());
  std::copy(bands.bw.begin(), bands.bw.end(), m_bw.begin());
  std::copy(bands.freq.begin(), bands.freq.end(), m_freq.begin());
  m_amp[kParagraphicBands] = std::pow(10.0, values.p[0] * 0.1 * 0.05);
  values.p[1] = values.p[2] = 0;
  needsPrepare = 1;
  return 0;
}

int ParagraphicEqProcessor::SetValues(const PresetValues& newValues) {
  values = newValues;
  m_amp[kParagraphicBands] = std::pow(10.0, newValues.p[0] * 0.1 * 0.05);
  if (newValues.p[3] >= 1 && newValues.p[3] <= kParagraphicBands) m_count = newValues.p[3];
  needsPrepare = 1;
  return 0;
}

int ParagraphicEqProcessor::Prepare(WaveStream&, WaveStream&) {
  for (auto& channel : m_state) channel.fill(BandState{});
  m_shelfW1.fill(0);
  needsPrepare = 1;
  return 1;
}

void ParagraphicEqProcessor::Design(double fs) {
  m_designedCount = m_count;
  for (int k = 0; k + 1 < m_count; ++k) m_peaking[k] = DesignPeakingBand(m_freq[k], m_amp[k], m_bw[k], fs);
  const SectionCoefficients shelf = DesignHighPass1(m_freq[m_count - 1], fs);
  m_shelfB0 = shelf.b[0];
  m_shelfB1 = shelf.b[1];
  m_shelfA1 = shelf.a[1];
}

template <int Channels>
int ParagraphicEqProcessor::RunValue(const SampleValue* value, WaveStream& out) {
  const int peaking = m_designedCount - 1;
  const double x = *value;
  BandState* state = m_state[0].data();
  double v = x + 0.01;
  if (peaking > 0) {
    // Band 0 reads its two previous inputs from the stream, raw; its current input is raw
    // too, so that input and history agree (an offset on the current input alone would come
    // out as a steady offset, thousands of units behind a narrow low band).
    const PeakingCoefficients& c = m_peaking[0];
    const double y = c.b0 * x + c.b1 * value[-Channels] + c.b2 * value[-2 * Channels] - c.b1 * state[0].y1 -
                     c.a2 * state[0].y2;
    state[0].y2 = state[0].y1;
    state[0].y1 = y;
    v = y;
    for (int k = 1; k < peaking; ++k) {
      const PeakingCoefficients& ck = m_peaking[k];
      BandState& s = state[k];
      const double yk = ck.b0 * v + ck.b1 * s.x1 + ck.b2 * s.x2 - ck.b1 * s.y1 - ck.a2 * s.y2;
      s.x2 = s.x1;
      s.x1 = v;
      s.y2 = s.y1;
      s.y1 = yk;
      v = yk;
    }
  }
  const double w0 = v - m_shelfA1 * m_shelfW1[0];
  const double hp = m_shelfB0 * w0 + m_shelfB1 * m_shelfW1[0];
  m_shelfW1[0] = w0;
  const double z = v + hp * (m_amp[m_designedCount - 1] - 1.0);
  return out.WriteSample(bypass != 0 ? *value : TruncateToSample(z * m_amp[kParagraphicBands]));
}

int ParagraphicEqProcessor::RunMono(WaveStream& in, WaveStream& out) {
  for (const SampleValue* value = in.Begin(); value < in.End(); ++value)
    if (!RunValue<1>(value, out)) return 0;
  return 1;
}

namespace {

// Two doubles, one per channel: a stereo frame goes through the bands as a pair, each lane
// doing exactly its own channel's arithmetic in the same order.
typedef double Pair __attribute__((vector_size(16)));

Pair Both(double value) { return Pair{value, value}; }

}  // namespace

int ParagraphicEqProcessor::RunStereo(WaveStream& in, WaveStream& out) {
  const int peaking = m_designedCount - 1;
  Pair b0[kParagraphicBands], b1[kParagraphicBands], b2[kParagraphicBands], a2[kParagraphicBands];
  Pair x1[kParagraphicBands], x2[kParagraphicBands], y1[kParagraphicBands], y2[kParagraphicBands];
  for (int k = 0; k < kParagraphicBands; ++k) {
    b0[k] = Both(m_peaking[k].b0);
    b1[k] = Both(m_peaking[k].b1);
    b2[k] = Both(m_peaking[k].b2);
    a2[k] = Both(m_peaking[k].a2);
    x1[k] = Pair{m_state[0][k].x1, m_state[1][k].x1};
    x2[k] = Pair{m_state[0][k].x2, m_state[1][k].x2};
    y1[k] = Pair{m_state[0][k].y1, m_state[1][k].y1};
    y2[k] = Pair{m_state[0][k].y2, m_state[1][k].y2};
  }
  Pair w1 = Pair{m_shelfW1[0], m_shelfW1[1]};
  const Pair b0s = Both(m_shelfB0), b1s = Both(m_shelfB1), a1s = Both(m_shelfA1);
  const Pair shelfGain = Both(m_amp[m_designedCount - 1] - 1.0);
  const Pair master = Both(m_amp[kParagraphicBands]);
  const Pair offset = Both(0.01);
  const bool pass = bypass != 0;
  int result = 1;
  const SampleValue* value = in.Begin();
  const SampleValue* const end = in.End();
  for (; value + 1 < end; value += 2) {
    const Pair x = Pair{double(value[0]), double(value[1])};
    Pair v = x + offset;
    if (peaking > 0) {
      // Band 0 reads its two previous inputs from the stream, raw like its current input.
      const Pair y = b0[0] * x + b1[0] * Pair{double(value[-2]), double(value[-1])} +
                     b2[0] * Pair{double(value[-4]), double(value[-3])} - b1[0] * y1[0] - a2[0] * y2[0];
      y2[0] = y1[0];
      y1[0] = y;
      v = y;
      for (int k = 1; k < peaking; ++k) {
        const Pair yk = b0[k] * v + b1[k] * x1[k] + b2[k] * x2[k] - b1[k] * y1[k] - a2[k] * y2[k];
        x2[k] = x1[k];
        x1[k] = v;
        y2[k] = y1[k];
        y1[k] = yk;
        v = yk;
      }
    }
    const Pair w0 = v - a1s * w1;
    const Pair hp = b0s * w0 + b1s * w1;
    w1 = w0;
    const Pair z = (v + hp * shelfGain) * master;
    if (!out.WriteSample(pass ? value[0] : TruncateToSample(z[0])) ||
        !out.WriteSample(pass ? value[1] : TruncateToSample(z[1]))) {
      result = 0;
      break;
    }
  }
  for (int k = 0; k < kParagraphicBands; ++k)
    for (int c = 0; c < 2; ++c) m_state[c][k] = {x1[k][c], x2[k][c], y1[k][c], y2[k][c]};
  m_shelfW1 = {w1[0], w1[1]};
  // A block never ends inside a frame; should one do so, its last value goes through the
  // first channel.
  if (result == 1 && value < end) result = RunValue<2>(value, out);
  return result;
}

int ParagraphicEqProcessor::Process(WaveStream& in, WaveStream& out) {
  if (needsPrepare) {
    needsPrepare = 0;
    Design(in.Format().sampleRate);
  }
  return in.Format().channels == 2 ? RunStereo(in, out) : RunMono(in, out);
}

}  // namespace ztlive
