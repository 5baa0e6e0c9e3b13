#include "filters/restoration/adaptive_speech_filter.h"

#include <algorithm>
#include <array>

#include "core/wave_stream.h"
#include "filters/framework/filter_design.h"

namespace ztlive {

namespace {

constexpr double kFullScale = 8388607.0;
constexpr double kToUnit = 1.0 / kFullScale;

constexpr std::array<std::string_view, 3> kReferences{"Right Channel", "Left Channel", "Time Delay"};

constexpr std::array<ParameterRecord, 5> kParameters{{
    {.index = 0, .label = "Convergence", .minimum = 1, .maximum = 1000, .start = 100},
    {.index = 2,
     .label = "Reference Signal",
     .minimum = 0,
     .maximum = 2,
     .start = AdaptiveProcessor::kTimeDelay,
     .kind = ControlKind::RadioChoice,
     .choices = kReferences,
     .group = "Reference Signal"},
    {.index = 3, .label = "Filter Length", .unit = "taps", .minimum = 4, .maximum = 4095, .start = 32,
     .kind = ControlKind::Spin},
    {.index = 4, .label = "Delay", .unit = "samples", .minimum = 0, .maximum = 4095, .start = 1,
     .kind = ControlKind::Spin},
    {.index = 5, .label = "Freeze", .minimum = 0, .maximum = 1, .start = 0, .kind = ControlKind::Check},
}};

constexpr FilterDescriptor kDescriptor{
    .typeId = 30,
    .sectionBase = "AdaptiveFilter",
    .displayName = "Adaptive Speech",
    .commandName = "adaptive",
    .windowTitle = "Adaptive Filter",
    .menuCommand = "Ada&ptive Speech...",
    .history = 4095,
    .lookAhead = 0,
    .parameters = kParameters,
    .presetRecord = kWholeRecord,
    .create = &AdaptiveProcessor::Create,
};

// The values that shape the filter; the freeze flag alone leaves the weights as they are.
bool SameShape(const PresetValues& a, const PresetValues& b) {
  return std::equal(a.p.begin(), a.p.begin() + 5, b.p.begin());
}

}  // namespace

const FilterDescriptor& AdaptiveProcessor::Descriptor() { return kDescriptor; }

AdaptiveProcessor::AdaptiveProcessor() : FilterProcessor(Descriptor()), m_weights(kMaxTaps, 0.0) {}

void AdaptiveProcessor::Derive() {
  m_taps = std::clamp(values.p[3], 1, kMaxTaps - 1);
  m_mu = values.p[0] * 0.002 / (m_taps + 1);
  m_lambda = values.p[1] * 0.001;
  m_power = 2.0;
  m_delay = values.p[4] >= 0 && values.p[4] <= kMaxTaps - 1 ? values.p[4] : 0;
  m_reference = std::clamp(values.p[2], 0, 2);
  std::fill(m_weights.begin(), m_weights.end(), 0.0);
  m_frozen = false;
  m_derivedFrom = values;
  m_derived = true;
}

int AdaptiveProcessor::Prepare(WaveStream&, WaveStream&) {
  std::fill(m_weights.begin(), m_weights.end(), 0.0);
  m_signal.Clear();
  m_desired.Clear();
  m_derived = false;
  needsPrepare = 1;  // derived at the first block
  return 1;
}

int AdaptiveProcessor::RunMono(WaveStream& in, WaveStream& out) {
  double* const w = m_weights.data();
  const int32_t taps = m_taps;
  const int32_t delay = m_delay;
  const double twoMu = 2.0 * m_mu;
  const bool residue = keepResidue != 0;
  const bool pass = bypass != 0;
  for (const SampleValue* value = in.Begin(); value < in.End(); ++value) {
    const double x = *value * kToUnit;
    m_signal.Push(x);
    // back[-i] is x[n - delay - i].
    const double* const back = m_signal.Newest() - delay;
    double y = w[0] * x;
    for (int32_t i = 1; i < taps; ++i) y += w[i] * back[-i];
    const double e = x - y;
    if (!m_frozen) {
      m_power = (1.0 - m_lambda) * m_power + m_lambda * x * x;
      const double step = twoMu * e;
      for (int32_t i = 0; i < taps; ++i) w[i] += step * back[-i];
    }
    const SampleValue result = pass ? *value : TruncateToSample((residue ? e : y) * kFullScale);
    if (out.WriteSample(result) == 0) return 0;
  }
  return 1;
}

int AdaptiveProcessor::RunStereo(WaveStream& in, WaveStream& out) {
  double* const w = m_weights.data();
  const int32_t taps = m_taps;
  const bool residue = keepResidue != 0;
  const bool pass = bypass != 0;
  for (const SampleValue* value = in.Begin(); value + 1 < in.End(); value += 2) {
    const double left = value[0] * kToUnit;
    const double right = value[1] * kToUnit;
    // The regressor and the signal it predicts, delay frames back.
    double r = (left + right) / 2;
    double wanted = r;
    if (m_reference == kRightChannel) {
      r = left;
      wanted = right;
    } else if (m_reference == kLeftChannel) {
      r = right;
      wanted = left;
    }
    m_signal.Push(r);
    m_desired.Push(wanted);
    // regressor[-k] is the regressor k frames back.
    const double* const regressor = m_signal.Newest();
    const double d = m_desired.Newest()[-m_delay];
    // Every tap predicts with the same regressor value that trains it: pairing tap i with
    // the value one frame later than its update uses makes the filter diverge.
    double y = 0;
    for (int32_t i = 0; i < taps; ++i) y += w[i] * regressor[-i];
    const double e = d - y;
    m_power = m_lambda * r * r + (1.0 - m_lambda) * m_power;
    // Normalised by the running power; the stereo filter adapts also while frozen.
    if (m_power > 0) {
      const double k = m_mu * e / m_power;
      for (int32_t i = 0; i < taps; ++i) w[i] += k * regressor[-i];
    }
    const double shared = (residue ? e : y) * kFullScale;
    if (out.WriteSample(pass ? value[0] : TruncateToSample(shared)) == 0) return 0;
    if (out.WriteSample(pass ? value[1] : TruncateToSample(shared)) == 0) return 0;
  }
  return 1;
}

int AdaptiveProcessor::Process(WaveStream& in, WaveStream& out) {
  if (needsPrepare) {
    needsPrepare = 0;
    // The freeze flag alone stops or restarts the adaptation and keeps what was learnt; any
    // other change starts the filter afresh, unfrozen.
    if (m_derived && SameShape(values, m_derivedFrom))
      m_frozen = values.p[5] != 0;
    else
      Derive();
    m_derivedFrom = values;
  }
  return in.Format().channels == 2 ? RunStereo(in, out) : RunMono(in, out);
}

}  // namespace ztlive
