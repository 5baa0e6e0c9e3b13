#include "filters/eq/graphic_equalizer.h"

#include <cmath>

#include "core/wave_stream.h"
#include "filters/eq/truncate_with_guard.h"
#include "filters/framework/filter_design.h"

namespace ztlive {

namespace {

constexpr ParameterRecord Band(int index, std::string_view label) {
  return {.index = index, .label = label, .unit = "Hz", .minimum = 0, .maximum = 100, .start = 50};
}

constexpr std::array<ParameterRecord, 11> kParameters{{
    Band(0, "31"), Band(1, "62"), Band(2, "125"), Band(3, "250"), Band(4, "500"), Band(5, "1000"),
    Band(6, "2000"), Band(7, "4000"), Band(8, "8000"), Band(9, "16000"),
    {.index = 10, .label = "Gain", .minimum = 0, .maximum = 100, .start = 50},
}};

constexpr FilterDescriptor kDescriptor{
    .typeId = 20,
    .sectionBase = "Eq",
    .displayName = "Graphic Equalizer",
    .commandName = "graphic-eq",
    .windowTitle = "Graphic Equalizer",
    .menuCommand = "&Graphic Equalizer...",
    .history = 32,
    .lookAhead = 0,
    .parameters = kParameters,
    .presetRecord = FirstValuesRecord(11),
    .create = &GraphicEqProcessor::Create,
};

}  // namespace

double BandWeightOfSlider(int32_t slider) {
  const double r = (50 - slider) * 0.02;
  return r > 0 ? 2.0 * r : 0.8 * r;
}

double MasterGainOfSlider(int32_t slider) { return std::pow(10.0, (50 - slider) * 0.02 * 0.5); }

int32_t SliderOfBandWeight(double weight) {
  return TruncateWithGuard(50.0 - 50.0 * (weight > 0 ? weight * 0.5 : weight * 1.25));
}

int32_t SliderOfMasterGain(double gain) { return TruncateWithGuard(50.0 - 100.0 * std::log10(gain)); }

const FilterDescriptor& GraphicEqProcessor::Descriptor() { return kDescriptor; }

GraphicEqProcessor::GraphicEqProcessor() : FilterProcessor(Descriptor()) { m_weight.fill(1.0); }

void GraphicEqProcessor::SetExtraParams(double* a, double*, double*, double*) {
  if (a == nullptr) return;
  for (int k = 0; k < kGraphicBands; ++k) m_weight[k] = a[k];
  m_master = a[kGraphicBands];
}

void GraphicEqProcessor::GetExtraParams(double* a, double*, double*, double*) {
  if (a == nullptr) return;
  for (int k = 0; k < kGraphicBands; ++k) a[k] = m_weight[k];
  a[kGraphicBands] = m_master;
}

PresetValues GraphicEqProcessor::SliderValues() const {
  PresetValues sliders;
  for (int k = 0; k < kGraphicBands; ++k) sliders.p[k] = SliderOfBandWeight(m_weight[k]);
  sliders.p[kGraphicBands] = SliderOfMasterGain(m_master);
  return sliders;
}

void GraphicEqProcessor::TakeSliders(const PresetValues& sliders) {
  for (int k = 0; k < kGraphicBands; ++k) m_weight[k] = BandWeightOfSlider(sliders.p[k]);
  m_master = MasterGainOfSlider(sliders.p[kGraphicBands]);
}

int GraphicEqProcessor::WritePreset(std::string_view name) { return WritePresetValues(name, SliderValues()); }

int GraphicEqProcessor::LoadPreset(std::string_view name) {
  if (FilterProcessor::LoadPreset(name) != 0) return 1;  // not read: the weights stay
  TakeSliders(values);
  return 0;
}

int GraphicEqProcessor::SetValues(const PresetValues& newValues) {
  // The weights change from the next sample; the bands are not designed again.
  values = newValues;
  TakeSliders(newValues);
  return 0;
}

int GraphicEqProcessor::Prepare(WaveStream& in, WaveStream&) {
  Design(in.Format().sampleRate);
  needsPrepare = 1;  // Process does not consult it: the design is done here
  return 1;
}

void GraphicEqProcessor::Design(double fs) {
  m_bands = fs < 20000 ? 8 : fs < 35000 ? 9 : kGraphicBands;
  m_alpha.fill(0);
  m_beta.fill(0);
  m_gamma.fill(0);
  double centre = 31.25;
  const double width = 1.0;
  for (int k = 0; k < m_bands; ++k) {
    const double e = std::exp(width * 0.346575);
    const double lower = centre / e;
    const double upper = centre * e;
    const double q = centre / (upper - lower);
    const double t = std::tan(3.1415926535898 * centre / (q * fs));
    m_beta[k] = (1.0 - t) * 0.5 / (t + 1.0);
    m_gamma[k] = std::cos(6.2831853071796 * centre / fs) * (m_beta[k] + 0.5);
    m_alpha[k] = (0.5 - m_beta[k]) * 0.5;
    centre *= 2.0;
  }
  for (auto& channel : m_y1) channel.fill(0);
  for (auto& channel : m_y2) channel.fill(0);
}

namespace {

// Two doubles, one per channel: both channels of a frame go through the bands together, each
// lane doing exactly the arithmetic of its own channel.
typedef double Pair __attribute__((vector_size(16)));

}  // namespace

int GraphicEqProcessor::RunMono(WaveStream& in, WaveStream& out) {
  alignas(16) double alpha[kGraphicBands], beta[kGraphicBands], gamma[kGraphicBands], weight[kGraphicBands];
  alignas(16) double y1[kGraphicBands], y2[kGraphicBands];
  for (int k = 0; k < kGraphicBands; ++k) {
    alpha[k] = m_alpha[k];
    beta[k] = m_beta[k];
    gamma[k] = m_gamma[k];
    weight[k] = k < m_bands ? m_weight[k] : 0.0;  // a dropped band's resonator stays at 0
    y1[k] = m_y1[0][k];
    y2[k] = m_y2[0][k];
  }
  const double master = m_master;
  const bool pass = bypass != 0;
  int result = 1;
  for (const SampleValue* value = in.Begin(); value < in.End(); ++value) {
    const double u = *value + 0.01;
    const double d = u - value[-2];  // the input two values earlier, from the history when needed
    double r[kGraphicBands];
    for (int k = 0; k < kGraphicBands; ++k) {
      r[k] = 2.0 * (gamma[k] * y1[k] + alpha[k] * d - beta[k] * y2[k]);
      y2[k] = y1[k];
      y1[k] = r[k];
    }
    double s = u;
    for (int k = 0; k < kGraphicBands; ++k) s += weight[k] * r[k];  // in band order
    if (!out.WriteSample(pass ? *value : TruncateToSample(s * master))) {
      result = 0;
      break;
    }
  }
  for (int k = 0; k < kGraphicBands; ++k) {
    m_y1[0][k] = y1[k];
    m_y2[0][k] = y2[k];
  }
  return result;
}

int GraphicEqProcessor::RunStereo(WaveStream& in, WaveStream& out) {
  Pair alpha[kGraphicBands], beta[kGraphicBands], gamma[kGraphicBands], weight[kGraphicBands];
  Pair y1[kGraphicBands], y2[kGraphicBands];
  for (int k = 0; k < kGraphicBands; ++k) {
    alpha[k] = Pair{m_alpha[k], m_alpha[k]};
    beta[k] = Pair{m_beta[k], m_beta[k]};
    gamma[k] = Pair{m_gamma[k], m_gamma[k]};
    const double w = k < m_bands ? m_weight[k] : 0.0;  // a dropped band's resonator stays at 0
    weight[k] = Pair{w, w};
    y1[k] = Pair{m_y1[0][k], m_y1[1][k]};
    y2[k] = Pair{m_y2[0][k], m_y2[1][k]};
  }
  const Pair two = {2.0, 2.0};
  const Pair offset = {0.01, 0.01};
  const Pair master = {m_master, m_master};
  const bool pass = bypass != 0;
  int result = 1;
  const SampleValue* value = in.Begin();
  const SampleValue* const end = in.End();
  for (; value + 1 < end; value += 2) {
    const Pair u = Pair{double(value[0]), double(value[1])} + offset;
    const Pair d = u - Pair{double(value[-4]), double(value[-3])};  // each channel two frames back
    Pair s = u;
    for (int k = 0; k < kGraphicBands; ++k) {
      const Pair r = two * (gamma[k] * y1[k] + alpha[k] * d - beta[k] * y2[k]);
      y2[k] = y1[k];
      y1[k] = r;
      s += weight[k] * r;  // in band order, as the design adds them
    }
    const Pair scaled = s * master;
    if (!out.WriteSample(pass ? value[0] : TruncateToSample(scaled[0])) ||
        !out.WriteSample(pass ? value[1] : TruncateToSample(scaled[1]))) {
      result = 0;
      break;
    }
  }
  for (int k = 0; k < kGraphicBands; ++k) {
    m_y1[0][k] = y1[k][0];
    m_y1[1][k] = y1[k][1];
    m_y2[0][k] = y2[k][0];
    m_y2[1][k] = y2[k][1];
  }
  // A block never ends inside a frame; should one do so, its last value goes through the
  // first channel, as the mono path would take it.
  if (result == 1 && value < end) result = RunTail(value, out);
  return result;
}

int GraphicEqProcessor::RunTail(const SampleValue* value, WaveStream& out) {
  const double u = *value + 0.01;
  const double d = u - value[-4];
  double s = u;
  for (int k = 0; k < kGraphicBands; ++k) {
    const double r = 2.0 * (m_gamma[k] * m_y1[0][k] + m_alpha[k] * d - m_beta[k] * m_y2[0][k]);
    m_y2[0][k] = m_y1[0][k];
    m_y1[0][k] = r;
    s += (k < m_bands ? m_weight[k] : 0.0) * r;
  }
  return out.WriteSample(bypass != 0 ? *value : TruncateToSample(s * m_master));
}

int GraphicEqProcessor::Process(WaveStream& in, WaveStream& out) {
  return in.Format().channels == 2 ? RunStereo(in, out) : RunMono(in, out);
}

}  // namespace ztlive
