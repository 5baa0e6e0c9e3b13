#include "filters/restoration/dynamic_noise_filter.h"

#include <algorithm>
#include <cmath>

#include "core/wave_stream.h"
#include "filters/framework/filter_design.h"

namespace ztlive {

namespace {

constexpr std::array<ParameterRecord, 6> kParameters{{
    {.index = 0, .label = "Noise Threshold", .unit = "x256", .minimum = 0, .maximum = 10000, .start = 1000},
    {.index = 1,
     .label = "Filter Freq (Hz)",
     .unit = "Hz",
     .minimum = 200,
     .maximum = 20000,
     .start = 1000,
     .kind = ControlKind::LogSlider},
    {.index = 2, .label = "Attack  time (ms)", .unit = "ms", .minimum = 1, .maximum = 300, .start = 50},
    {.index = 3, .label = "Release  time (ms)", .unit = "ms", .minimum = 1, .maximum = 500, .start = 100},
    {.index = 5, .label = "Gain", .unit = "dB", .minimum = -100, .maximum = 100, .start = 0, .scale = 10},
    {.index = 6, .label = "Enhancer Mode", .minimum = 0, .maximum = 1, .start = 0, .kind = ControlKind::Check},
}};

// The engine stores (attack, release, threshold, frequency, gain, p[4], enhancer) and loads
// them back the same way, p[4] as 0.
constexpr PresetRecordRule kEngineRecord{{2, 3, 0, 1, 5, 4, 6, -1, -1, -1, -1}, 7, 7, {4, -1}};
// The window stores (attack, release, threshold, frequency, gain, enhancer): a preset it
// saved comes back into the engine with the enhancer off, and one the engine saved comes back
// into the window the same way.
constexpr PresetRecordRule kWindowRecord{{2, 3, 0, 1, 5, 6, -1, -1, -1, -1, -1}, 6, 6, {4, -1}};

constexpr FilterDescriptor kDescriptor{
    .typeId = 18,
    .sectionBase = "AnalogNoiseFilter",
    .displayName = "Dynamic Noise",
    .commandName = "dynamic-noise",
    .windowTitle = "Dynamic Noise Filter",
    .menuCommand = "&Dynamic Noise...",
    .history = 0,
    .lookAhead = 0,
    .parameters = kParameters,
    .presetRecord = kEngineRecord,
    .create = &DynamicNoiseProcessor::Create,
};

constexpr FilterDescriptor kWindowDescriptor = [] {
  FilterDescriptor descriptor = kDescriptor;
  descriptor.presetRecord = kWindowRecord;
  return descriptor;
}();

}  // namespace

const FilterDescriptor& DynamicNoiseProcessor::Descriptor() { return kDescriptor; }
const FilterDescriptor& DynamicNoiseProcessor::WindowDescriptor() { return kWindowDescriptor; }

DynamicNoiseProcessor::DynamicNoiseProcessor() : FilterProcessor(Descriptor()) {}

double DynamicNoiseProcessor::CutoffHz(int step) const {
  const double lowest = values.p[1];
  return lowest + std::clamp(step, 0, kCutoffSteps - 1) * (m_fs / 2 - lowest) / kCutoffSteps;
}

void DynamicNoiseProcessor::Derive(double fs) {
  m_fs = fs;
  const double frequency = values.p[1];
  // The detector's high pass at the filter frequency.
  const double k = 1.0 / std::tan((1.0 - 2.0 * frequency / fs) * M_PI / 2.0);
  m_b0 = 1.0 / (k + 1.0);
  m_b1 = -1.0 / (k + 1.0);
  m_a1 = -(1.0 - k) / (k + 1.0);
  // The envelope smoother: a low pass whose time constant is the attack time.
  const double attackMs = std::max(values.p[2], 1);
  const double corner = 500.0 / (M_PI * attackMs);
  const double c = 1.0 / std::tan(M_PI * corner / fs);
  m_c0 = 1.0 / (c + 1.0);
  m_d1 = (1.0 - c) / (c + 1.0);
  const double releaseMs = std::max(values.p[3], 1);
  m_release = std::pow(0.38, 1.0 / (fs * releaseMs / 1000.0));
  m_gain = std::pow(10.0, values.p[5] * 0.1 * 0.05);
  // Cutoffs spread evenly from the filter frequency up to half the rate.
  for (int i = 0; i < kCutoffSteps; ++i) {
    const double angle = i * (fs / 2 - frequency) * M_PI / kCutoffSteps / fs + M_PI * frequency / fs;
    const double ci = 1.0 / std::tan(angle);
    m_g[static_cast<size_t>(i)] = 1.0 / (ci + 1.0);
    m_h[static_cast<size_t>(i)] = (1.0 - ci) * m_g[static_cast<size_t>(i)];
  }
  m_threshold = values.p[0] * 256.0;
}

int DynamicNoiseProcessor::Prepare(WaveStream& in, WaveStream&) {
  needsPrepare = 0;
  Derive(in.Format().sampleRate);
  m_vPrev = 0;
  m_s1 = 0;
  m_z = {};
  m_env = 1023;
  m_step = 0;
  return 1;
}

template <int Channels>
int DynamicNoiseProcessor::Run(WaveStream& in, WaveStream& out) {
  const SampleValue* value = in.Begin();
  const SampleValue* const end = in.End();
  const bool enhance = values.p[6] != 0;
  const bool residue = keepResidue != 0;
  const bool pass = bypass != 0;
  double vPrev = m_vPrev;
  double s1 = m_s1;
  double env = m_env;
  int step = m_step;
  for (; value + Channels <= end; value += Channels) {
    const double u = Channels == 2 ? (double(value[0]) + value[1] + 0.01) * 0.5 : value[0] + 0.01;
    const double v = u - m_a1 * vPrev;
    double e = std::fabs(m_b0 * v + m_b1 * vPrev);
    vPrev = v;
    if (e < m_threshold) e = 0.01;
    const double s = e - m_d1 * s1;
    const double y = (s1 + s) * m_c0;
    s1 = s;
    env = y >= env ? y : env * m_release;
    env = std::clamp(env, 0.0, 261888.0);
    step = static_cast<int>(env / 256);
    const double g = m_g[static_cast<size_t>(step)];
    const double h = m_h[static_cast<size_t>(step)];
    for (int c = 0; c < Channels; ++c) {
      const double x = value[c];
      double& z = m_z[static_cast<size_t>(c)];
      const double t = x + 0.01 - h * z;
      double filtered = (z + t) * g;
      z = t;
      if (enhance) filtered = x + m_gain * (x - filtered);
      // Keep residue: what the filter takes away from the input (in enhancer mode, less what
      // it adds).
      const double result = pass ? x : residue ? x - filtered : filtered;
      if (out.WriteSample(TruncateToSample(result)) == 0) {
        m_vPrev = vPrev;
        m_s1 = s1;
        m_env = env;
        m_step = step;
        return 0;
      }
    }
  }
  m_vPrev = vPrev;
  m_s1 = s1;
  m_env = env;
  m_step = step;
  return 1;
}

int DynamicNoiseProcessor::Process(WaveStream& in, WaveStream& out) {
  if (needsPrepare) {
    needsPrepare = 0;
    Derive(in.Format().sampleRate);
  }
  return in.Format().channels == 2 ? Run<2>(in, out) : Run<1>(in, out);
}

}  // namespace ztlive
