#include "filters/restoration/impulse_filter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <new>
#include <optional>

#include "core/wave_stream.h"
#include "filters/restoration/savitzky_golay.h"

namespace ztlive {

namespace {

// A threshold no detection value reaches.
constexpr int64_t kNeverLoud = std::numeric_limits<int64_t>::max();

int32_t ToInt(double value) { return static_cast<int32_t>(std::clamp(value, -2147483648.0, 2147483647.0)); }

// The fourth type, the model-based detector, is a value the stored presets never held.
constexpr std::array<std::string_view, 4> kRecordingTypes{"78's", "Vinyl LP", "HQ Mode", "Model-Based"};
constexpr std::array<std::string_view, 2> kQualities{"&Speed", "&Accuracy"};

constexpr std::array<ParameterRecord, 6> kParameters{{
    {.index = 0, .label = "Threshold", .unit = "x256", .minimum = 1, .maximum = 12000, .start = 8000},
    {.index = 1, .label = "Size", .unit = "samples", .minimum = 2, .maximum = 30, .start = 7},
    {.index = 2,
     .label = "Recording Type",
     .minimum = 0,
     .maximum = 3,
     .start = 0,
     .kind = ControlKind::RadioChoice,
     .choices = kRecordingTypes,
     .group = "Recording Type"},
    {.index = 3, .label = "&Keep Residue", .minimum = 0, .maximum = 1, .start = 0, .kind = ControlKind::Check},
    {.index = 4, .label = "Tracking", .minimum = 0, .maximum = 100, .start = 1},
    {.index = 5,
     .label = "Optimization",
     .minimum = 0,
     .maximum = 1,
     .start = 0,
     .kind = ControlKind::RadioChoice,
     .choices = kQualities,
     .group = "Optimization"},
}};

// Presets store threshold, size, tracking, recording type and quality; keep residue is never
// stored and is off after a load.
constexpr PresetRecordRule kStoredOrder{{0, 1, 4, 2, 5, -1, -1, -1, -1, -1, -1}, 5, 5, {3, -1}};

// Ready presets for the model-based detector, in the stored order (threshold, size, tracking,
// recording type, quality), tuned on generated music and speech (bench/restoration_quality_clicks.py).
constexpr std::array<ReadyPreset, 2> kReadyPresets{{
    {"78 rpm clicks", PresetValues{{2000, 4, 1, ImpulseProcessor::kModelBased, 1}}},
    {"Vinyl crackle", PresetValues{{4000, 2, 1, ImpulseProcessor::kModelBased, 1}}},
}};

constexpr FilterDescriptor kDescriptor{
    .typeId = 15,
    .sectionBase = "Impulse",
    .displayName = "Impulse",
    .commandName = "impulse",
    .windowTitle = "Impulse Filter Parameters",
    .menuCommand = "&Impulse...",
    .history = 1024,
    .lookAhead = 1024,
    .parameters = kParameters,
    .presetRecord = kStoredOrder,
    .traits = {.countsClicks = true},
    .create = &ImpulseProcessor::Create,
    .readyPresets = kReadyPresets,
};

}  // namespace

const FilterDescriptor& ImpulseProcessor::Descriptor() { return kDescriptor; }

// Mono output goes straight to the stream; each stereo channel into its lane of the ring.
struct ImpulseProcessor::Sink {
  ImpulseProcessor& self;
  WaveStream& out;
  bool stereo;
  int channel;

  bool Put(SampleValue value) {
    if (!stereo) return out.WriteSample(value) != 0;
    size_t& written = self.m_ringWrite[static_cast<size_t>(channel)];
    self.m_ring[(written % (kRingValues / 2)) * 2 + static_cast<size_t>(channel)] = value;
    ++written;
    return true;
  }
};

ImpulseProcessor::ImpulseProcessor() : FilterProcessor(Descriptor()) {}

int ImpulseProcessor::Prepare(WaveStream&, WaveStream&) {
  m_channels = {};
  for (Channel& channel : m_channels) channel.settling = kSettling;
  m_clicks = 0;
  try {
    m_smoothing = SavitzkyGolayWeights(kSmoothingHalf, kSmoothingHalf, 4);
    m_medianWindow.assign(32, 0);
    m_rebuilt.assign(kMaxClick + 64, 0);
    m_smoothClick.Allocate(kMaxClick + 64);
    ReserveGapPrediction(m_prediction, kMaxClick + 64);
    m_ring.assign(kRingValues, 0);
    for (ArClickDetector& model : m_models) model.Allocate();
  } catch (const std::bad_alloc&) {
    return 0;
  }
  m_ringWrite = {};
  m_ringRead = 0;
  needsPrepare = 1;
  return 1;
}

void ImpulseProcessor::Derive(double fs) {
  double f1 = fs * 0.15873015873015872;  // 7000 Hz at 44100 Hz
  if (f1 > 0.45 * fs) f1 = 0.45 * fs;
  m_detector1 = DesignHighPass3(f1, fs);
  m_window = std::clamp<int32_t>(values.p[1], 2, 32);
  m_quietTarget = values.p[1];
  m_medianMode = values.p[2] == 0;
  m_modelMode = values.p[2] == kModelBased;
  // A prediction left to run on its own for long strays; the model-based detector ends its
  // clicks sooner, since the clicks it is meant for are at most some 60 samples wide.
  m_maxClick = m_modelMode ? kModelMaxClick : kMaxClick;
  // A click must surprise from both sides, and errors that repeat at equal spacing are the
  // signal's own (square-wave edges, voice pulses); but crackle, set with the smallest sizes,
  // is dense and repeats by chance, so there only many repeats count.
  m_crackle = values.p[1] < kLeastClickSize;
  // How far from a click's start its end is looked for: as wide as a click may be, and for
  // crackle twice its size: the next crackle is often within a few dozen samples and must not
  // be joined on, and a short reach keeps the backward view clear of it.
  m_extentWindow = m_crackle ? 2 * values.p[1] : kModelMaxClick;
  // The model-based detector reads the threshold in 0.003 of the error's robust level: the
  // starting 8000 is 24 levels, the clicks preset's 2000 is 6.
  for (ArClickDetector& model : m_models) model.SetSigmas(values.p[0] * 0.003);
  // A run starts quiet, so its first samples pass unchanged. (With the quiet count at zero,
  // its very first sample would start a click, rebuilt from the silence before the run.)
  for (Channel& channel : m_channels)
    if (channel.offset == 0) channel.quiet = std::max(channel.quiet, m_quietTarget);
  m_hqGain = 1.0;
  double f2 = f1;
  if (values.p[2] == 2) {
    const double v = 0.45 * fs;
    f2 = v - (v - f1) * (m_window + 5) * 0.03125;
    m_hqGain = (f2 - f1) * 3.0 / (v - f1) + 1.0;
  }
  m_detector2 = DesignHighPass3(f2, fs);
  m_half = m_window / 2;
  m_minimumThreshold = ToInt(double(values.p[0]) * 256.0);
  m_quality = values.p[5];
  m_thresholdScale = values.p[4] * 0.005;
  m_channels[0].envelope = 0;  // a second channel keeps its envelope
  const double n = m_medianMode ? fs * 0.0005 : (values.p[1] + 23) * fs * 0.000015;
  m_decay = n > 0 ? std::pow(0.38, 1.0 / n) : 0.0;
}

int ImpulseProcessor::DetectionValue(Channel& state, const SampleValue* value, int stride, bool mono, double y1) {
  if (m_medianMode) {
    // The median of the t most recent samples minus the sample at the window's centre.
    SampleValue* window = m_medianWindow.data();
    for (int k = 0; k < m_window; ++k) window[k] = value[-k * stride];
    std::nth_element(window, window + m_half, window + m_window, std::greater<SampleValue>());
    return ToInt(double(window[m_half]) - double(value[-m_half * stride]));
  }
  if (values.p[2] != 2) return ToInt(y1);
  const double input = mono ? double(*value) : *value + 0.01;
  const double y2 = RunSection<3>(m_detector2, state.detector2, input);
  return ToInt(double(ToInt(y2)) * m_hqGain);
}

int64_t ImpulseProcessor::ModelThreshold(Channel& s, const ArClickDetector& model, int64_t c, double threshold,
                                         const WaveStream& in, const SampleValue* value, int stride) {
  if (s.offset < 0 && s.extent > 0) {
    // Inside a click whose end was found at its start: held whatever the forward error says.
    --s.extent;
    return -1;
  }
  const auto held = static_cast<int64_t>(std::min(threshold, 2147483647.0));
  if (s.offset < 0 || (c < 0 ? -c : c) <= held) return held;
  // A click would start here.
  const auto repeats = m_crackle ? ArClickDetector::kCrackleRepeats : ArClickDetector::kClickRepeats;
  if (model.RecursPeriodically(repeats)) return kNeverLoud;  // the signal's own repeating edge
  const auto readable = static_cast<size_t>((in.End() + in.LookAhead() - value) / stride);
  const std::optional<size_t> end = model.ClickEnd(static_cast<size_t>(m_extentWindow), readable);
  if (!end) return kNeverLoud;  // predictable from what follows
  s.extent = static_cast<int32_t>(end.value_or(0));
  return held;
}

bool ImpulseProcessor::Step(int channel, const SampleValue* value, int stride, const WaveStream& in, Sink& sink) {
  Channel& s = m_channels[static_cast<size_t>(channel)];
  if (m_modelMode) {
    ArClickDetector& model = m_models[static_cast<size_t>(channel)];
    constexpr auto kAhead = static_cast<int>(ArClickDetector::kAhead);
    const double ahead = in.LookAhead() >= kAhead * stride ? double(value[kAhead * stride]) : 0.0;
    const ArClickDetector::Verdict verdict = model.Examine(double(*value), ahead);
    const int64_t c = ToInt(verdict.error);
    const int64_t threshold = ModelThreshold(s, model, c, verdict.threshold, in, value, stride);
    const bool ok = Advance(channel, value, stride, in, sink, c, threshold);
    model.Commit(double(*value), s.offset < 0);
    return ok;
  }
  const bool mono = stride == 1;
  const double y1 = RunSection<3>(m_detector1, s.detector1, *value + 0.01);
  s.envelope = std::abs(y1) + m_decay * s.envelope;
  const int64_t c = DetectionValue(s, value, stride, mono, y1);
  const double scaled = s.envelope * m_thresholdScale;
  int64_t threshold = scaled > m_minimumThreshold ? static_cast<int64_t>(std::min(scaled, 8388607.0))
                                                   : int64_t{m_minimumThreshold};
  if (s.settling > 0) {
    --s.settling;
    if (s.offset >= 0) threshold = kNeverLoud;
  }
  return Advance(channel, value, stride, in, sink, c, threshold);
}

bool ImpulseProcessor::Advance(int channel, const SampleValue* value, int stride, const WaveStream& in, Sink& sink,
                               int64_t c, int64_t threshold) {
  Channel& s = m_channels[static_cast<size_t>(channel)];
  const bool mono = stride == 1;
  if (s.delay >= s.guard)
    s.guard = m_medianMode ? m_half + 1 : m_half;
  else
    s.guard = s.delay;
  const int64_t magnitude = c < 0 ? -c : c;

  if (m_keepResidue && mono) return sink.Put(magnitude > threshold ? static_cast<SampleValue>(c) : 0);
  if (bypass) {
    if (s.offset < 0) {
      // A click held when the bypass began is given up: the output goes on, unrepaired, from
      // the first sample not yet written, so no sample is lost or doubled.
      s.delay = -s.offset;
      s.offset = 0;
      s.positive = s.negative = s.extent = 0;
      s.quiet = m_quietTarget;
    }
    return sink.Put(value[-s.delay * stride]);
  }

  const bool quiet = magnitude <= threshold;
  if ((quiet && s.quiet >= m_quietTarget) || -s.offset >= m_maxClick) {
    if (s.offset < 0) return EndClick(channel, value, stride, in, sink);
    if (s.delay < s.guard + 3) {
      ++s.delay;
      return true;
    }
    return sink.Put(value[-s.delay * stride]);
  }
  if (s.offset >= 0) {  // a click starts: the output is held from now on
    s.offset = s.offset - s.delay - 1;
    s.quiet = s.positive = s.negative = 0;
    (c >= 0 ? s.positive : s.negative) = 1;
    return true;
  }
  s.offset -= 1;
  s.quiet = quiet ? s.quiet + 1 : 0;
  ++(c >= 0 ? s.positive : s.negative);
  return true;
}

bool ImpulseProcessor::EndClick(int channel, const SampleValue* value, int stride, const WaveStream& in, Sink& sink) {
  Channel& s = m_channels[static_cast<size_t>(channel)];
  ++m_clicks;
  // The stretch runs from a (the last sample written before the click) to -G - 1.
  const int32_t a = s.offset - 1;
  const int32_t n = -s.guard - a;
  Rebuild(channel, value, stride, in, a, n, m_rebuilt.data());
  if (m_modelMode) {
    // The samples the detector held (the newest `held` before this one) become the repair.
    ArClickDetector& model = m_models[static_cast<size_t>(channel)];
    const auto held = static_cast<int32_t>(std::min<size_t>(model.Held(), ArClickDetector::kContext));
    for (int32_t p = -held; p <= -1; ++p)
      model.Replace(static_cast<size_t>(-p - 1), p < -s.guard && p > a ? double(m_rebuilt[static_cast<size_t>(p - a)])
                                                                        : double(value[p * stride]));
  }
  // Sample a has been written already and -G is good: every position is written once.
  for (int32_t i = 1; i < n; ++i)
    if (!sink.Put(m_rebuilt[static_cast<size_t>(i)])) return false;
  if (!sink.Put(value[-s.guard * stride])) return false;
  s.delay = s.guard;
  s.offset = 0;
  s.positive = s.negative = s.extent = 0;
  s.quiet = m_quietTarget;
  return true;
}

void ImpulseProcessor::Rebuild(int channel, const SampleValue* value, int stride, const WaveStream& in, int32_t a,
                               int32_t n, SampleValue* rebuilt) {
  const Channel& s = m_channels[static_cast<size_t>(channel)];
  const bool accuracy = m_quality != 0;
  bool predict = false;
  bool smooth = false;
  if (m_modelMode) {
    predict = true;
  } else if (stride == 1) {
    smooth = n <= 16;
    predict = !smooth && accuracy;
  } else if (channel == 0) {
    predict = accuracy;
  } else {
    predict = accuracy && n > values.p[1];
  }
  if (smooth) {
    for (int32_t i = 0; i < n; ++i) {
      double sum = 0;
      for (int k = -kSmoothingHalf; k <= kSmoothingHalf; ++k)
        sum += m_smoothing[static_cast<size_t>(k + kSmoothingHalf)] * value[(a + i + k) * stride];
      rebuilt[i] = LimitToSampleRange(sum);
    }
    return;
  }
  if (predict) {
    const SampleValue* lastBefore = value + a * stride;
    const SampleValue* oldest = in.Begin() - in.History();
    const SampleValue* firstAfter = value - s.guard * stride;
    const SampleValue* newest = in.End() + in.LookAhead() - 1;
    const auto before = static_cast<size_t>((lastBefore - oldest) / stride + 1);
    const auto after = static_cast<size_t>((newest - firstAfter) / stride + 1);
    // The stretch written is a + 1 ... -G - 1, between the good samples a and -G, and each
    // position gets the prediction for itself. (Predicting n values after a and writing the
    // k-th at a + k - 1 put every value one sample early.) The model-based detector's repairs
    // have no outputs kept from before, so their fits take the faster interleaved sums.
    rebuilt[0] = *lastBefore;
    if (n > 1)
      GapPrediction(lastBefore, before, firstAfter, after, static_cast<size_t>(n - 1), stride, rebuilt + 1, 1,
                    m_prediction, m_modelMode ? BurgSums::Interleaved : BurgSums::InOrder);
    if (m_modelMode && n > 1)
      m_smoothClick.Apply(value + (a + 1) * stride, stride, rebuilt + 1, static_cast<size_t>(n - 1),
                          m_models[static_cast<size_t>(channel)].Level());
    return;
  }
  CubicCurve(value, stride, a, s.guard, n, rebuilt);
}

void ImpulseProcessor::CubicCurve(const SampleValue* value, int stride, int32_t a, int32_t guard, int32_t n,
                                  SampleValue* rebuilt) const {
  for (int32_t i = 0; i < n; ++i) rebuilt[i] = value[(a + i) * stride];
  const double x0 = a - 2;
  const double y0 = value[(a - 2) * stride];
  const double x1 = a;
  const double y1 = value[a * stride];
  const double x2 = -guard;
  const double y2 = value[-guard * stride];
  const double x3 = 0;
  const double y3 = value[0];
  const double span = double(-guard - a);
  if (span <= 0.5) {
    rebuilt[0] = LimitToSampleRange(y2);
    return;
  }
  for (int32_t k = 2 * (-guard - a) - 1; k >= 0; --k) {
    const double t = k * 0.5 / span;
    const double x = x2 * (1 - t) + x1 * t + 1.5 * (1 - t) * t * t * (x1 - x0) + 1.5 * (1 - t) * (1 - t) * t * (x2 - x3);
    const double y = y2 * (1 - t) + y1 * t + 1.5 * (1 - t) * t * t * (y1 - y0) + 1.5 * (1 - t) * (1 - t) * t * (y2 - y3);
    const auto at = static_cast<int32_t>(x);
    if (at >= a && at < -guard) rebuilt[at - a] = LimitToSampleRange(y);
  }
}

bool ImpulseProcessor::FlushRing(WaveStream& out) {
  while (m_ringWrite[0] > m_ringRead && m_ringWrite[1] > m_ringRead) {
    const size_t frame = (m_ringRead % (kRingValues / 2)) * 2;
    if (out.WriteSample(m_ring[frame]) == 0 || out.WriteSample(m_ring[frame + 1]) == 0) return false;
    ++m_ringRead;
  }
  return true;
}

int ImpulseProcessor::Process(WaveStream& in, WaveStream& out) {
  // Keep residue arrives as p[3] (a preset or the command line) or as the owner's flag.
  m_keepResidue = keepResidue != 0 || values.p[3] != 0;
  if (needsPrepare) {
    needsPrepare = 0;
    Derive(in.Format().sampleRate);
  }
  const SampleValue* value = in.Begin();
  const SampleValue* const end = in.End();
  if (in.Format().channels == 2) {
    Sink left{*this, out, true, 0};
    Sink right{*this, out, true, 1};
    for (; value + 1 < end; value += 2) {
      if (!Step(0, value, 2, in, left) || !Step(1, value + 1, 2, in, right) || !FlushRing(out)) return 0;
    }
    return 1;
  }
  Sink mono{*this, out, false, 0};
  for (; value < end; ++value)
    if (!Step(0, value, 1, in, mono)) return 0;
  return 1;
}

int ImpulseProcessor::Finish(WaveStream& in, WaveStream& out) {
  // The samples still held back, oldest first: the last D of each channel (-E in a click).
  const bool stereo = in.Format().channels == 2;
  const int stride = stereo ? 2 : 1;
  const SampleValue* end = in.End();
  for (int channel = 0; channel < stride; ++channel) {
    Channel& s = m_channels[static_cast<size_t>(channel)];
    const int32_t held = s.offset < 0 ? -s.offset : s.delay;
    Sink sink{*this, out, stereo, channel};
    for (int32_t k = held; k >= 1; --k)
      if (!sink.Put(end[-k * stride + channel])) return 0;
    s.delay = 0;
    s.offset = 0;
  }
  return stereo ? (FlushRing(out) ? 1 : 0) : 1;
}

}  // namespace ztlive
