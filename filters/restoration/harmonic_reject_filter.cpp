#include "filters/restoration/harmonic_reject_filter.h"

#include <algorithm>
#include <cmath>

#include "core/wave_stream.h"
#include "filters/framework/analysis_windows.h"
#include "filters/framework/filter_design.h"

namespace ztlive {

namespace {

constexpr std::array<std::string_view, 3> kSeries{"Odd Only", "Even Only", "All"};
constexpr std::array<std::string_view, 2> kMethods{"Spectral", "Narrow Notches"};

constexpr std::array<ParameterRecord, 8> kParameters{{
    {.index = 0, .label = "Frequency", .unit = "Hz", .minimum = 200, .maximum = 50000, .start = 10000,
     .kind = ControlKind::LogSlider, .scale = 10},
    {.index = 1, .label = "Attenuation (dB)", .unit = "dB", .minimum = 1, .maximum = 100, .start = 50},
    {.index = 2, .label = "Maximum Harmonic", .minimum = 0, .maximum = 500, .start = 3, .kind = ControlKind::Spin},
    {.index = 3,
     .label = "Filter Harmonics",
     .minimum = 0,
     .maximum = 2,
     .start = 0,
     .kind = ControlKind::RadioChoice,
     .choices = kSeries,
     .group = "Filter Harmonics"},
    {.index = 4, .label = "&Keep Residue", .minimum = 0, .maximum = 1, .start = 0, .kind = ControlKind::Check},
    {.index = 5, .label = "Method", .minimum = 0, .maximum = 1, .start = 0, .kind = ControlKind::ListChoice,
     .choices = kMethods},
    {.index = 6, .label = "Notch Width", .unit = "Hz", .minimum = 0, .maximum = 200, .start = 20, .scale = 100},
    {.index = 7, .label = "Fine Tuning", .unit = "mHz", .minimum = -50, .maximum = 50, .start = 0, .kind = ControlKind::Spin},
}};

// Tuned on generated hum under music and speech (bench/hum_removal.py): 60 dB notches
// 0.05 Hz wide at the fundamental, 0.95 Hz at the 19th harmonic.
constexpr std::array<ReadyPreset, 2> kReadyPresets{{
    {"50 Hz Hum", PresetValues{{500, 60, 19, HarmonicRejectProcessor::kOdd, 0, HarmonicRejectProcessor::kNarrowNotches, 5}}},
    {"60 Hz Buzz", PresetValues{{600, 60, 16, HarmonicRejectProcessor::kAll, 0, HarmonicRejectProcessor::kNarrowNotches, 5}}},
}};

constexpr FilterDescriptor kDescriptor{
    .typeId = 22,
    .sectionBase = "HarmReject",
    .displayName = "Harmonic Reject",
    .commandName = "harmonic-noise",
    .windowTitle = "Harmonic Reject Filter",
    .menuCommand = "&Harmonic Reject...",
    .history = std::nullopt,  // two frames per channel
    .lookAhead = 0,
    .parameters = kParameters,
    .presetRecord = kWholeRecord,
    .create = &HarmonicRejectProcessor::Create,
    .readyPresets = kReadyPresets,
};

constexpr size_t kPieceFrames = 4096;
constexpr double kStartWidthHz = 3.0;
constexpr double kNarrowingSeconds = 0.7;

// True for a harmonic of the series (the fundamental, 1, belongs to none).
bool InSeries(int harmonic, int series) {
  if (series == HarmonicRejectProcessor::kAll) return harmonic >= 2;
  return harmonic >= 2 && harmonic % 2 == (series == HarmonicRejectProcessor::kEven ? 0 : 1);
}

}  // namespace

const FilterDescriptor& HarmonicRejectProcessor::Descriptor() { return kDescriptor; }

double HarmonicRejectProcessor::Fundamental(const PresetValues& values) {
  return values.p[0] * 0.1 + values.p[7] * 0.001;
}

void HarmonicRejectProcessor::SetFundamental(double hz, PresetValues& values) {
  const auto thousandths = static_cast<int64_t>(std::llround(hz * 1000));
  values.p[0] = static_cast<int32_t>((thousandths + 50) / 100);
  values.p[7] = static_cast<int32_t>(thousandths - int64_t{values.p[0]} * 100);
}

HarmonicRejectProcessor::HarmonicRejectProcessor() : FilterProcessor(Descriptor()) {
  constexpr size_t length = 2 * kPairs;
  m_fft.Init(static_cast<int>(length));
  m_window.resize(length);
  HammingWindow(static_cast<int>(length), m_window.data());
  m_norm.resize(kPairs);
  for (size_t k = 0; k < kPairs; ++k) {
    const double w1 = m_window[k];
    const double w2 = m_window[k + kPairs];
    m_norm[k] = (1.0 / double(length)) / (w1 * w1 + w2 * w2);
  }
  m_mask.assign(kPairs, 1.0);
  for (Channel& channel : m_state) {
    channel.raw.assign(length, 0.0);
    channel.frame.assign(length, 0.0);
    channel.overlap.assign(kPairs, 0.0);
  }
  m_work.resize(kPieceFrames);
}

int32_t HarmonicRejectProcessor::GetHistoryLength() { return (m_channels == 2 ? 8 : 4) * kPairs; }

void HarmonicRejectProcessor::Derive(double fs) {
  m_attenuation = std::pow(10.0, -values.p[1] * 0.05);
  const double f0 = Fundamental(values);
  // The fundamental's band: 0.1 octave around f0, kept between 0.01 Hz and half the rate.
  // Where the upper edge meets half the rate, the lower edge mirrors it about f0.
  const double d = std::pow(2.0, 0.05);
  double lower = std::max(f0 / d, 0.01);
  double upper = f0 * d;
  if (upper > fs / 2) {
    upper = fs / 2;
    lower = std::max(2 * f0 - upper, 0.01);
  }
  m_fundamentalActive = f0 < fs / 2 && upper > lower;
  if (m_fundamentalActive) m_fundamental = DesignResonator(f0, upper - lower, fs);
  for (Channel& channel : m_state) channel.fundamental = ResonatorState{};
  BuildMask(fs, m_attenuation, f0);
  BuildNotches(fs, f0);
}

void HarmonicRejectProcessor::BuildMask(double fs, double attenuation, double f0) {
  std::fill(m_mask.begin(), m_mask.end(), 1.0);
  const double binWidth = fs / (2.0 * kPairs);
  const int series = values.p[3];
  for (int i = 2; i <= values.p[2] && i * f0 < fs / 2; ++i) {
    if (!InSeries(i, series)) continue;
    // Later harmonics overwrite what earlier ones set where their notches touch.
    const auto k = static_cast<int64_t>(f0 * i / binWidth);
    const double edge = (attenuation + 1) / 2;
    if (k >= 1) m_mask[static_cast<size_t>(k - 1)] = edge;
    m_mask[static_cast<size_t>(k)] = attenuation;
    if (k + 1 < kPairs) m_mask[static_cast<size_t>(k + 1)] = edge;
  }
}

void HarmonicRejectProcessor::BuildNotches(double fs, double f0) {
  m_notchCount = 0;
  m_sampleRate = fs;
  m_notchWidth = std::min(std::max(values.p[6], 1) * 0.01, fs / 4);
  for (int i = 1; i <= std::max(values.p[2], 1) && i * f0 < fs / 2 && m_notchCount < m_notches.size(); ++i) {
    if (i != 1 && !InSeries(i, values.p[3])) continue;
    m_notchCentres[m_notchCount++] = i * f0;
  }
  for (Channel& channel : m_state) channel.notches.fill(ResonatorState{});
  m_notchFrames = 0;
  m_notchesNarrowed = false;
  NarrowNotches();
}

void HarmonicRejectProcessor::NarrowNotches() {
  if (m_notchesNarrowed) return;
  // From kStartWidthHz down to the set width, closing by e every kNarrowingSeconds: a wide
  // notch learns the hum's amplitude and phase in a fraction of a second, and keeps them as
  // it narrows, so that hum goes at once and the music beside it is spared afterwards.
  const double excess = std::max(0.0, kStartWidthHz - m_notchWidth) *
                        std::exp(-double(m_notchFrames) / (kNarrowingSeconds * m_sampleRate));
  m_notchesNarrowed = excess < 1e-3 * m_notchWidth;
  const double width = m_notchWidth + (m_notchesNarrowed ? 0.0 : excess);
  for (size_t n = 0; n < m_notchCount; ++n)
    m_notches[n] = NotchFrom(DesignResonator(m_notchCentres[n], width, m_sampleRate));
}

void HarmonicRejectProcessor::ClearFrames() {
  for (Channel& channel : m_state) {
    std::fill(channel.raw.begin(), channel.raw.end(), 0.0);
    std::fill(channel.overlap.begin(), channel.overlap.end(), 0.0);
  }
  // The first frame begins with N values of silence, so that its first half is what comes
  // before the input and the output stays aligned with it.
  m_filled = kPairs;
  m_firstFrame = true;
}

int HarmonicRejectProcessor::Prepare(WaveStream& in, WaveStream&) {
  m_channels = in.Format().channels == 2 ? 2 : 1;
  m_method = values.p[5] == kNarrowNotches ? kNarrowNotches : kSpectral;
  m_pendingDrain = false;
  Derive(in.Format().sampleRate);
  ClearFrames();
  m_prepared = true;
  needsPrepare = 1;
  return 1;
}

void HarmonicRejectProcessor::TransformFrame(Channel& channel) {
  constexpr size_t length = 2 * kPairs;
  for (size_t i = 0; i < length; ++i) channel.frame[i] = channel.raw[i] * m_window[i];
  double* x = channel.frame.data();
  m_fft.Forward(x);
  for (size_t j = 0; j < kPairs; ++j) {
    x[2 * j] *= m_mask[j];
    x[2 * j + 1] *= m_mask[j];
  }
  m_fft.Backward(x);
}

bool HarmonicRejectProcessor::CompleteFrame(WaveStream& out, size_t count) {
  const double removed = 1 - m_attenuation;
  if (m_firstFrame) {
    m_firstFrame = false;  // its first half is the silence before the input
  } else {
    for (size_t k = 0; k < count; ++k) {
      for (int c = 0; c < m_channels; ++c) {
        Channel& channel = m_state[static_cast<size_t>(c)];
        const double x0 = (m_window[k] * channel.frame[k] + channel.overlap[k]) * m_norm[k];
        const double y = m_fundamentalActive ? Resonate(m_fundamental, channel.fundamental, x0) : 0.0;
        const double value = Output(channel.raw[k], x0 - y * removed);
        if (out.WriteSample(TruncateToSample(value)) == 0) return false;
      }
    }
  }
  for (int c = 0; c < m_channels; ++c) {
    Channel& channel = m_state[static_cast<size_t>(c)];
    for (size_t k = 0; k < kPairs; ++k) channel.overlap[k] = m_window[kPairs + k] * channel.frame[kPairs + k];
  }
  return true;
}

void HarmonicRejectProcessor::ShiftFrames() {
  for (int c = 0; c < m_channels; ++c) {
    std::vector<double>& raw = m_state[static_cast<size_t>(c)].raw;
    std::copy(raw.begin() + kPairs, raw.end(), raw.begin());
    std::fill(raw.begin() + kPairs, raw.end(), 0.0);
  }
  m_filled = kPairs;
}

bool HarmonicRejectProcessor::ProcessSpectral(const SampleValue* value, const SampleValue* end, WaveStream& out) {
  constexpr size_t length = 2 * kPairs;
  for (; value + m_channels <= end; value += m_channels) {
    for (int c = 0; c < m_channels; ++c) m_state[static_cast<size_t>(c)].raw[m_filled] = value[c];
    if (++m_filled < length) continue;
    for (int c = 0; c < m_channels; ++c) TransformFrame(m_state[static_cast<size_t>(c)]);
    if (!CompleteFrame(out, kPairs)) return false;
    ShiftFrames();
  }
  return true;
}

void HarmonicRejectProcessor::RunNotches(double* frames, size_t count) {
  const std::span<const NotchCoefficients> notches{m_notches.data(), m_notchCount};
  if (m_channels == 2)
    RunNotchCascadeStereo(notches, 1 - m_attenuation, frames, count, m_state[0].notches.data(),
                          m_state[1].notches.data());
  else
    RunNotchCascade(notches, 1 - m_attenuation, frames, count, m_state[0].notches.data());
}

bool HarmonicRejectProcessor::ProcessNarrow(const SampleValue* begin, const SampleValue* end, WaveStream& out) {
  const auto channels = static_cast<size_t>(m_channels);
  const auto frames = static_cast<size_t>(end - begin) / channels;
  constexpr size_t piece = kPieceFrames / 2;
  double* const cleaned = m_work.data();
  for (size_t start = 0; start < frames; start += piece) {
    const size_t count = std::min(piece, frames - start);
    NarrowNotches();
    m_notchFrames += count;
    const SampleValue* input = begin + start * channels;
    const size_t length = count * channels;
    for (size_t k = 0; k < length; ++k) cleaned[k] = input[k];
    RunNotches(cleaned, count);
    for (size_t k = 0; k < length; ++k)
      if (out.WriteSample(TruncateToSample(Output(input[k], cleaned[k]))) == 0) return false;
  }
  return true;
}

bool HarmonicRejectProcessor::DrainFrames(WaveStream& out) {
  // Still owed: the frame's values from its first real one up to where filling stopped.
  const size_t first = m_firstFrame ? kPairs : 0;
  const auto channels = static_cast<size_t>(m_channels);
  double* const cleaned = m_work.data();
  for (size_t start = first; start < m_filled;) {
    const size_t count = std::min(kPieceFrames / 2, m_filled - start);
    NarrowNotches();
    m_notchFrames += count;
    for (size_t i = 0; i < count; ++i)
      for (size_t c = 0; c < channels; ++c) cleaned[i * channels + c] = m_state[c].raw[start + i];
    RunNotches(cleaned, count);
    for (size_t i = 0; i < count; ++i)
      for (size_t c = 0; c < channels; ++c)
        if (out.WriteSample(TruncateToSample(Output(m_state[c].raw[start + i], cleaned[i * channels + c]))) == 0)
          return false;
    start += count;
  }
  ClearFrames();
  return true;
}

int HarmonicRejectProcessor::Process(WaveStream& in, WaveStream& out) {
  if (needsPrepare) {
    needsPrepare = 0;
    Derive(in.Format().sampleRate);
    const int method = values.p[5] == kNarrowNotches ? kNarrowNotches : kSpectral;
    if (method != m_method) {
      if (method == kNarrowNotches && !DrainFrames(out)) return 0;
      if (method == kSpectral) ClearFrames();
      m_method = method;
    }
  }
  const bool written = m_method == kSpectral ? ProcessSpectral(in.Begin(), in.End(), out)
                                             : ProcessNarrow(in.Begin(), in.End(), out);
  return written ? 1 : 0;
}

int HarmonicRejectProcessor::Finish(WaveStream& in, WaveStream& out) {
  if (in.Run().stopRequested.load(std::memory_order_relaxed) || !m_prepared) return 1;
  if (m_method == kNarrowNotches) return 1;
  // Owed: the N values of the frame's first half, then the part of its second half that was
  // filled; each comes out of one more frame, completed with silence.
  const size_t tail = m_filled - kPairs;
  for (int c = 0; c < m_channels; ++c) TransformFrame(m_state[static_cast<size_t>(c)]);
  if (!CompleteFrame(out, kPairs)) return 0;
  ShiftFrames();
  if (tail == 0) return 1;
  for (int c = 0; c < m_channels; ++c) TransformFrame(m_state[static_cast<size_t>(c)]);
  return CompleteFrame(out, tail) ? 1 : 0;
}

}  // namespace ztlive
