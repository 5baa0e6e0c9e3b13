#include "filters/restoration/continuous_noise_filter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

#include "core/wave_stream.h"
#include "filters/framework/analysis_windows.h"
#include "filters/framework/filter_design.h"
#include "platform/prompts.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

int32_t BinsOfIndex(int32_t index) { return int32_t{1} << (std::clamp(index, 0, 5) + 8); }

constexpr std::array<std::string_view, 6> kFrameSizes{"256", "512", "1024", "2048", "4096", "8192"};

constexpr std::array<std::string_view, 3> kEstimators{"Element pairs", "Per bin, log amplitude", "Per bin, Wiener"};

// The per-bin estimator: the print is 6 dB above the average magnitude, so the noise's mean
// power is about (4 / pi) / 10^0.6 of its curve (Rayleigh magnitudes). Taking 1.5 times that
// quiets hiss alone by 3 dB more but costs 0.2 dB of SNR on music and speech.
constexpr double kPerBinNoiseScale = 0.32;

// PackedFft::Forward leaves its bins in digit-reversed order: each stage sends a frequency
// to the block of its remainder by the stage's radix (2 first for an odd power of two, then
// 4) and the rest of it on to the next.
int32_t RadixOfSpan(int32_t span) { return std::countr_zero(static_cast<uint32_t>(span)) % 2 != 0 ? 2 : 4; }

// Where an n-point transform leaves frequency k.
int32_t PositionOfFrequency(int32_t k, int32_t n) {
  int32_t position = 0;
  for (int32_t span = n; span > 1;) {
    const int32_t radix = RadixOfSpan(span);
    span /= radix;
    position += (k % radix) * span;
    k /= radix;
  }
  return position;
}

// The frequency an n-point transform leaves at a position.
int32_t FrequencyAtPosition(int32_t position, int32_t n) {
  int32_t k = 0;
  int32_t weight = 1;
  for (int32_t span = n; span > 1;) {
    const int32_t radix = RadixOfSpan(span);
    span /= radix;
    k += position / span * weight;
    position %= span;
    weight *= radix;
  }
  return k;
}

constexpr std::array<ParameterRecord, 5> kParameters{{
    {.index = 0, .label = "Attack (ms)", .unit = "ms", .minimum = 10, .maximum = 200, .start = 20},
    {.index = 1, .label = "Release (ms)", .unit = "ms", .minimum = 10, .maximum = 500, .start = 200},
    {.index = 2, .label = "Attenuation", .unit = "dB", .minimum = 0, .maximum = 100, .start = 50},
    {.index = 3,
     .label = "FFT Size",
     .minimum = 0,
     .maximum = 5,
     .start = 3,
     .kind = ControlKind::ListChoice,
     .choices = kFrameSizes},
    {.index = 4,
     .label = "Estimator",
     .minimum = 0,
     .maximum = 2,
     .start = 0,
     .kind = ControlKind::ListChoice,
     .choices = kEstimators},
}};

// Tuned on generated music and speech under white and pink hiss at -50 ... -30 dBFS
// (bench/restoration_quality_hiss.py): the per-bin estimator's best values; picking that
// estimator in the window starts from them.
constexpr std::array<ReadyPreset, 1> kReadyPresets{{
    {"Tape hiss", PresetValues{{20, 300, 30, 3, NoiseReductionProcessor::kPerBinWiener}}},
}};

constexpr FilterDescriptor kDescriptor{
    .typeId = 8,
    .sectionBase = "Hissfilter",
    .displayName = "Continuous Noise",
    .commandName = "continuous-noise",
    .windowTitle = "Continuous Noise Filter",
    .menuCommand = "&Continuous Noise...",
    .history = std::nullopt,  // two frames of the current size
    .lookAhead = 0,
    .parameters = kParameters,
    .presetRecord = FirstValuesRecord(5),  // p[4] was stored as 0 before it had a use
    .traits = {.takesExtraParams = true},
    .constructorValues = PresetValues{{20, 100, 100}},
    .create = &NoiseReductionProcessor::Create,
    .readyPresets = kReadyPresets,
};

}  // namespace

const FilterDescriptor& NoiseReductionProcessor::Descriptor() { return kDescriptor; }

PresetValues NoiseReductionProcessor::PerBinStartingValues() { return kReadyPresets[0].values; }

NoiseReductionProcessor::NoiseReductionProcessor() : FilterProcessor(Descriptor()) {
  // Every buffer for the largest frame now, so that runs with any frame size allocate nothing
  // (the transforms' tables when the first run is prepared).
  for (auto* table : {&m_pairBins, &m_lowPositions, &m_highPositions}) table->reserve(kMaxBins + 1);
  m_window.reserve(2 * kMaxBins);
  m_norm.reserve(kMaxBins);
  for (Channel& channel : m_state) {
    channel.raw.reserve(2 * kMaxBins);
    channel.frame.reserve(2 * kMaxBins);
    channel.output.reserve(kMaxBins);
    for (auto* buffer : {&channel.overlap, &channel.smoother, &channel.hold, &channel.noise}) buffer->reserve(kMaxBins);
  }
}

void NoiseReductionProcessor::BuildTransforms() {
  // Every frame size, since the values may change it while a run goes on. The channel pairs'
  // transforms only for stereo.
  for (size_t k = 0; k < m_ffts.size(); ++k) {
    const int points = 2 * BinsOfIndex(static_cast<int32_t>(k));
    if (m_ffts[k].Length() != points) m_ffts[k].Init(points);
    if (m_channels == 2 && m_pairFfts[k].Length() != points) m_pairFfts[k].Init(points);
  }
}

int32_t NoiseReductionProcessor::GetHistoryLength() {
  if (!m_prepared) return 16384;
  return (m_channels == 2 ? 4 : 2) * m_bins;
}

void NoiseReductionProcessor::SetNoisePrint(const NoisePrint& print) {
  m_print = print;
  if (!print.Empty()) values.p[3] = static_cast<int32_t>(std::log2(print.bins + 1.0) - 8);
}

int NoiseReductionProcessor::WritePreset(std::string_view name) {
  if (FilterProcessor::WritePreset(name) != 1) return 0;
  return WriteNoisePrintRecords(PresetSectionName(), name, m_print);
}

int NoiseReductionProcessor::LoadPreset(std::string_view name) {
  PresetValues stored;
  if (ReadPreset(name, stored) != 0) return 1;
  Descriptor().presetRecord.Load(stored, values);
  NoisePrint print = m_print;
  const bool found = ReadNoisePrintRecords(PresetSectionName(), name, print);
  // A shipped preset brings no print: it works with the one sampled from the recording.
  if (!found && Descriptor().FindReadyPreset(name) != nullptr) return 0;
  if (!found) {
    // The values are read; the print stays as it was, so the preset is not loaded whole.
    if (prompts != nullptr)
      prompts->Show(std::string(StringText(StringId::kPresetLoadFailed)), "", PromptIcon::Error);
    return 1;
  }
  print.bins = BinsOfIndex(values.p[3]);
  m_print = print;
  return 0;
}

void NoiseReductionProcessor::Derive(double fs) {
  m_bins = BinsOfIndex(values.p[3]);
  const double frameRate = fs / m_bins;
  const double attack = std::max(values.p[0] * 0.001, m_bins / (M_PI * fs));
  const double release = values.p[1] * 0.001;
  const double c = 1.0 / std::tan(M_PI * (1.0 / (2 * M_PI * attack)) / frameRate);
  m_b0 = m_b1 = 1.0 / (1.0 + c);
  m_a1 = (1.0 - c) / (1.0 + c);
  m_release = release > 0 ? std::pow(0.38, 1.0 / (frameRate * release)) : 0.0;
  m_floor = std::pow(10.0, -values.p[2] * 0.05);
  m_strength = values.p[2] * 0.006 + 0.8;
  const size_t length = 2 * static_cast<size_t>(m_bins);
  m_window.resize(length);
  HammingWindow(static_cast<int>(length), m_window.data());
  m_norm.resize(static_cast<size_t>(m_bins));
  for (size_t k = 0; k < m_norm.size(); ++k) {
    const double w1 = m_window[k];
    const double w2 = m_window[k + static_cast<size_t>(m_bins)];
    m_norm[k] = (1.0 / double(length)) / (w1 * w1 + w2 * w2);
  }
  m_estimator = std::clamp<int32_t>(values.p[4], kElementPairs, kPerBinWiener);
  // The per-bin estimate forgets over the release time.
  const double memory = std::exp(-1.0 / (frameRate * std::max(release, 0.001)));
  const auto rule = m_estimator == kPerBinWiener ? SpectralGainEstimator::Rule::Wiener
                                                 : SpectralGainEstimator::Rule::LogSpectralAmplitude;
  for (int c2 = 0; c2 < 2; ++c2) {
    Channel& channel = m_state[static_cast<size_t>(c2)];
    // Without a right channel of its own a mono print serves both.
    BuildNoiseCurve(m_print, c2 == 1, m_bins, channel.noise);
    channel.perBin.Configure(m_bins, memory, m_floor, rule, kPerBinNoiseScale);
    channel.perBin.SetNoise(channel.noise.data(), 1.0 / (4.0 * double(m_bins) * double(m_bins)));
  }
  // The pairs of the channel-pair transform in the order of their lower position: the other
  // position of a pair then runs through the same block backwards, so both stay near.
  const auto points = static_cast<int32_t>(length);
  for (auto* table : {&m_pairBins, &m_lowPositions, &m_highPositions}) table->clear();
  for (int32_t position = 0; position < points; ++position) {
    const int32_t k = FrequencyAtPosition(position, points);
    if (k > m_bins) continue;
    m_pairBins.push_back(k);
    m_lowPositions.push_back(position);
    m_highPositions.push_back(PositionOfFrequency((points - k) % points, points));
  }
}

void NoiseReductionProcessor::ClearState() {
  const size_t length = 2 * static_cast<size_t>(m_bins);
  for (Channel& channel : m_state) {
    channel.raw.assign(length, 0.0);
    channel.frame.assign(length, 0.0);
    channel.overlap.assign(static_cast<size_t>(m_bins), 0.0);
    channel.output.assign(static_cast<size_t>(m_bins), 0.0);
    channel.smoother.assign(static_cast<size_t>(m_bins), 0.0);
    channel.hold.assign(static_cast<size_t>(m_bins), 0.0);
    channel.perBin.Reset();
  }
  // The first frame begins with N values of silence, so that its first half is what comes
  // before the file and the output stays aligned with the input.
  m_filled = static_cast<size_t>(m_bins);
  m_firstFrame = true;
}

int NoiseReductionProcessor::Prepare(WaveStream& in, WaveStream&) {
  m_channels = in.Format().channels == 2 ? 2 : 1;
  if (m_print.Empty()) {
    if (prompts != nullptr) prompts->Show(std::string(StringText(StringId::kNoNoiseStored)), "", PromptIcon::Error);
    return 0;
  }
  BuildTransforms();
  Derive(in.Format().sampleRate);
  ClearState();
  m_prepared = true;
  needsPrepare = 1;
  return 1;
}

void NoiseReductionProcessor::TransformFrames() {
  if (m_channels == 2 && m_estimator != kElementPairs) {
    TransformChannelPair();
    return;
  }
  for (int c = 0; c < m_channels; ++c) TransformFrame(m_state[static_cast<size_t>(c)]);
}

void NoiseReductionProcessor::TransformChannelPair() {
  const size_t length = 2 * static_cast<size_t>(m_bins);
  const PackedFft& fft = m_pairFfts[static_cast<size_t>(std::log2(m_bins)) - 8];
  Channel& left = m_state[0];
  Channel& right = m_state[1];
  double* re = left.frame.data();
  double* im = right.frame.data();
  {
    const double* __restrict window = m_window.data();
    const double* __restrict leftRaw = left.raw.data();
    const double* __restrict rightRaw = right.raw.data();
    double* __restrict leftFrame = re;
    double* __restrict rightFrame = im;
    for (size_t i = 0; i < length; ++i) {
      leftFrame[i] = (leftRaw[i] + 0.001) * window[i];
      rightFrame[i] = (rightRaw[i] + 0.001) * window[i];
    }
  }
  fft.Forward(re, im);
  // Z = L + iR at frequencies k and 2N - k: L[k] = (Z[k] + conj Z[2N - k]) / 2 and
  // R[k] = (Z[k] - conj Z[2N - k]) / 2i.
  double* leftPower = left.perBin.Powers();
  double* rightPower = right.perBin.Powers();
  const auto bins = static_cast<size_t>(m_bins);
  for (size_t pair = 0; pair <= bins; ++pair) {
    const auto k = static_cast<size_t>(m_pairBins[pair]);
    const auto p = static_cast<size_t>(m_lowPositions[pair]);
    const auto q = static_cast<size_t>(m_highPositions[pair]);
    const double lr = re[p] + re[q];
    const double li = im[p] - im[q];
    const double rr = im[p] + im[q];
    const double ri = re[p] - re[q];
    leftPower[k] = 0.25 * (lr * lr + li * li);
    rightPower[k] = 0.25 * (rr * rr + ri * ri);
  }
  left.perBin.Estimate();
  right.perBin.Estimate();
  // gL L + i gR R, back at k and 2N - k: a Z[k] + b conj Z[2N - k] and the mirror, with
  // a = (gL + gR) / 2 and b = (gL - gR) / 2. The gains are real, so both channels stay real.
  const double* leftGain = left.perBin.Gains();
  const double* rightGain = right.perBin.Gains();
  for (size_t pair = 0; pair <= bins; ++pair) {
    const auto k = static_cast<size_t>(m_pairBins[pair]);
    const auto p = static_cast<size_t>(m_lowPositions[pair]);
    const auto q = static_cast<size_t>(m_highPositions[pair]);
    const double a = 0.5 * (leftGain[k] + rightGain[k]);
    const double b = 0.5 * (leftGain[k] - rightGain[k]);
    const double zr = re[p], zi = im[p], mr = re[q], mi = im[q];
    re[p] = a * zr + b * mr;
    im[p] = a * zi - b * mi;
    re[q] = a * mr + b * zr;
    im[q] = a * mi - b * zi;
  }
  fft.Inverse(re, im);
}

void NoiseReductionProcessor::TransformFrame(Channel& channel) {
  const size_t length = 2 * static_cast<size_t>(m_bins);
  RealFft& fft = m_ffts[static_cast<size_t>(std::log2(m_bins)) - 8];
  const double input = m_channels == 2 ? 0.001 : 0.0;
  for (size_t i = 0; i < length; ++i) channel.frame[i] = (channel.raw[i] + input) * m_window[i];
  fft.Forward(channel.frame.data());
  if (m_estimator == kElementPairs)
    GainByPairs(channel);
  else
    channel.perBin.Apply(channel.frame.data());
  fft.Backward(channel.frame.data());
}

void NoiseReductionProcessor::GainByPairs(Channel& channel) {
  const size_t length = 2 * static_cast<size_t>(m_bins);
  const double scale = 1.0 / (double(length) * double(length));
  double* x = channel.frame.data();
  for (size_t j = 0; j < static_cast<size_t>(m_bins); ++j) {
    const double noise = channel.noise[j];
    const double power = (x[2 * j] * x[2 * j] + x[2 * j + 1] * x[2 * j + 1]) * scale;
    const double below = power < noise ? noise - power : 0.0;
    const double gain = 1.0 - m_strength * below / noise;
    const double v = gain - m_a1 * channel.smoother[j];
    const double smoothed = m_b0 * v + m_b1 * channel.smoother[j];
    channel.smoother[j] = v;
    const double held = channel.hold[j] * m_release;
    channel.hold[j] = held >= smoothed ? held : smoothed;
    const double g = std::max(channel.hold[j], m_floor);
    x[2 * j] *= g;
    x[2 * j + 1] *= g;
  }
}

bool NoiseReductionProcessor::CompleteFrame(WaveStream& out, size_t count) {
  const auto n = static_cast<size_t>(m_bins);
  if (m_firstFrame) {
    m_firstFrame = false;  // its first half is the silence before the file
  } else {
    // Each channel's values first, in loops without branches, then written interleaved.
    for (int c = 0; c < m_channels; ++c) {
      Channel& channel = m_state[static_cast<size_t>(c)];
      const double* __restrict frame = channel.frame.data();
      const double* __restrict overlap = channel.overlap.data();
      const double* __restrict raw = channel.raw.data();
      double* __restrict completed = channel.output.data();
      // Bypass wins over keep residue; both use the input value the output stands for.
      if (bypass)
        std::copy(raw, raw + count, completed);
      else if (keepResidue)
        for (size_t k = 0; k < count; ++k) completed[k] = raw[k] - (m_window[k] * frame[k] + overlap[k]) * m_norm[k];
      else
        for (size_t k = 0; k < count; ++k) completed[k] = (m_window[k] * frame[k] + overlap[k]) * m_norm[k];
    }
    const double* left = m_state[0].output.data();
    const double* right = m_state[1].output.data();
    if (m_channels == 2) {
      for (size_t k = 0; k < count; ++k)
        if (out.WriteSample(TruncateToSample(left[k])) == 0 || out.WriteSample(TruncateToSample(right[k])) == 0)
          return false;
    } else {
      for (size_t k = 0; k < count; ++k)
        if (out.WriteSample(TruncateToSample(left[k])) == 0) return false;
    }
  }
  for (int c = 0; c < m_channels; ++c) {
    Channel& channel = m_state[static_cast<size_t>(c)];
    for (size_t k = 0; k < n; ++k) channel.overlap[k] = m_window[n + k] * channel.frame[n + k];
  }
  return true;
}

void NoiseReductionProcessor::ShiftFrames() {
  const auto n = static_cast<ptrdiff_t>(m_bins);
  for (int c = 0; c < m_channels; ++c) {
    std::vector<double>& raw = m_state[static_cast<size_t>(c)].raw;
    std::copy(raw.begin() + n, raw.end(), raw.begin());
  }
  m_filled = static_cast<size_t>(m_bins);
}

void NoiseReductionProcessor::SilenceUnfilled() {
  for (int c = 0; c < m_channels; ++c) {
    std::vector<double>& raw = m_state[static_cast<size_t>(c)].raw;
    std::fill(raw.begin() + static_cast<ptrdiff_t>(m_filled), raw.end(), 0.0);
  }
}

int NoiseReductionProcessor::Process(WaveStream& in, WaveStream& out) {
  if (needsPrepare) {
    needsPrepare = 0;
    const int32_t before = m_bins;
    Derive(in.Format().sampleRate);
    if (m_bins != before) ClearState();  // another frame size starts the frames afresh
  }
  const size_t length = 2 * static_cast<size_t>(m_bins);
  const SampleValue* value = in.Begin();
  const auto channels = static_cast<size_t>(m_channels);
  size_t frames = static_cast<size_t>(in.End() - value) / channels;
  while (frames > 0) {
    // As much of the block as the frame still takes, each channel into its own frame.
    const size_t take = std::min(frames, length - m_filled);
    double* __restrict left = m_state[0].raw.data() + m_filled;
    if (channels == 2) {
      double* __restrict right = m_state[1].raw.data() + m_filled;
      for (size_t i = 0; i < take; ++i) {
        left[i] = value[2 * i];
        right[i] = value[2 * i + 1];
      }
    } else {
      for (size_t i = 0; i < take; ++i) left[i] = value[i];
    }
    value += take * channels;
    frames -= take;
    m_filled += take;
    if (m_filled < length) break;
    TransformFrames();
    if (!CompleteFrame(out, static_cast<size_t>(m_bins))) return 0;
    ShiftFrames();
  }
  return 1;
}

int NoiseReductionProcessor::Finish(WaveStream& in, WaveStream& out) {
  if (in.Run().stopRequested.load(std::memory_order_relaxed) || !m_prepared) return 1;
  // Owed: the N values of the frame's first half, then the part of its second half that was
  // filled; each comes out of one more frame, completed with silence.
  const size_t tail = m_filled - static_cast<size_t>(m_bins);
  SilenceUnfilled();
  TransformFrames();
  if (!CompleteFrame(out, static_cast<size_t>(m_bins))) return 0;
  ShiftFrames();
  if (tail == 0) return 1;
  SilenceUnfilled();
  TransformFrames();
  return CompleteFrame(out, tail) ? 1 : 0;
}

}  // namespace ztlive
