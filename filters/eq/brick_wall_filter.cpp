#include "filters/eq/brick_wall_filter.h"

#include <algorithm>
#include <array>
#include <new>
#include <string>
#include <string_view>

#include "core/wave_stream.h"
#include "platform/prompts.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

using brick_wall::kMaxTaps;

// Inputs kept before the next output's current input: the N - 1 the filter reads back,
// and room for a shorter filter later in the run, whose smaller delay moves that input
// back by up to half the longest filter.
constexpr int64_t kKeptFrames = (kMaxTaps - 1) + kMaxTaps / 2;
constexpr int64_t kLargestSegment = FirConvolver::kLargestSegment;
// The segment outside runs into a file: 1024 frames, 23 ms at 44.1 kHz.
constexpr int kEvenSegment = 1024;
// Kept inputs, the inputs waiting for a segment, and one segment more.
constexpr size_t kInputRoom = static_cast<size_t>(kKeptFrames + 2 * kLargestSegment + kMaxTaps);

// All eleven values are stored and all eleven come back on a load.
constexpr PresetRecordRule kElevenValues{{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 11, 11, {-1, -1}};

constexpr std::array<std::string_view, 4> kModes{"Lowpass", "Highpass", "Bandpass", "Bandstop"};

constexpr std::array<ParameterRecord, 5> kParameters{{
    {.index = 0, .label = "Frequency", .unit = "Hz", .minimum = 3, .maximum = 20000, .start = 1000,
     .kind = ControlKind::LogSlider},
    {.index = 1, .label = "Upper Freq", .unit = "Hz", .minimum = 3, .maximum = 20000, .start = 200,
     .kind = ControlKind::LogSlider},
    {.index = 2, .label = "Length", .minimum = 32, .maximum = 4095, .start = 64, .kind = ControlKind::LogSlider},
    {.index = 3, .label = "Filter Type", .minimum = 0, .maximum = 3, .start = 0, .kind = ControlKind::RadioChoice,
     .choices = kModes, .group = "Filter Type"},
    // Not in the stored layout of old presets, where it is 0: the unwindowed design.
    {.index = 4, .label = "Kaiser (dB)", .unit = "dB", .minimum = 0, .maximum = 120, .start = 0},
}};

constexpr FilterDescriptor kDescriptor{
    .typeId = 31,
    .sectionBase = "Forensic",
    .displayName = "Brick Wall",
    .commandName = "brick-wall",
    .windowTitle = "Brick Wall Filter",
    .menuCommand = "Brick &Wall...",
    .history = 4095,
    .lookAhead = 0,
    .parameters = kParameters,
    .presetRecord = kElevenValues,
    // A new engine holds the window's starting values: all zero would be a filter of no
    // taps, silence, for a chain member or a command line run without a stored "Default".
    .create = &BrickWallProcessor::Create,
};

}  // namespace

const FilterDescriptor& BrickWallProcessor::Descriptor() { return kDescriptor; }

BrickWallProcessor::BrickWallProcessor() : FilterProcessor(Descriptor()) {
  for (auto& input : m_input) input.assign(kInputRoom, 0.0);
  for (auto& output : m_output) output.assign(kLargestSegment, 0);
}

int BrickWallProcessor::Prepare(WaveStream& in, WaveStream& out) {
  m_channels = in.Format().channels == 2 ? 2 : 1;
  // Into a file the longest segments are the fastest. A device (preview, live) or the next
  // member of a chain gets short ones: results then come every few blocks, not in bursts of
  // a quarter of a second after as long a wait.
  m_maxSegment = out.Mode() == kModeFile ? FirConvolver::kLargestSegment : kEvenSegment;
  // The coefficient buffer, with room for the longest filter; without it the run cannot go.
  try {
    m_h.assign(kMaxTaps, 0.0);
  } catch (const std::bad_alloc&) {
    if (prompts != nullptr)
      prompts->Show(std::string(StringText(StringId::kBrickWallNoCoefficients)), "", PromptIcon::Error);
    return 0;
  }
  for (auto& input : m_input) std::fill(input.begin(), input.end(), 0.0);
  // The buffers begin with the silence before the run's first frame.
  m_bufferStart = -kKeptFrames;
  m_inFrames = m_outFrames = 0;
  m_outLimit = INT64_MAX;
  needsPrepare = 1;
  return 1;
}

void BrickWallProcessor::Redesign(double fs) {
  m_design = brick_wall::DesignOf(values);
  const std::span<double> h(m_h.data(), static_cast<size_t>(m_design.taps));
  brick_wall::DesignResponse(m_design, values.p[0], fs, h);
  m_convolver.SetTaps(h, m_maxSegment);
}

bool BrickWallProcessor::WriteSegment(WaveStream& out, int64_t count) {
  const int64_t current = m_outFrames + Delay();  // the current input of the first output
  const auto offset = static_cast<size_t>(current - m_bufferStart);
  const auto n = static_cast<int>(count);
  if (bypass) {
    const auto at = static_cast<size_t>(m_outFrames - m_bufferStart);
    for (int i = 0; i < n; ++i)
      for (int c = 0; c < m_channels; ++c)
        if (!out.WriteSample(static_cast<SampleValue>(m_input[static_cast<size_t>(c)][at + static_cast<size_t>(i)])))
          return false;
  } else {
    if (m_channels == 2)
      m_convolver.ConvolvePair(m_input[0].data() + offset, m_input[1].data() + offset, n, m_output[0].data(),
                               m_output[1].data());
    else
      m_convolver.Convolve(m_input[0].data() + offset, n, m_output[0].data());
    for (int i = 0; i < n; ++i)
      for (int c = 0; c < m_channels; ++c)
        if (!out.WriteSample(m_output[static_cast<size_t>(c)][static_cast<size_t>(i)])) return false;
  }
  m_outFrames += count;
  return true;
}

void BrickWallProcessor::Compact() {
  const int64_t keepFrom = std::min(m_outFrames + Delay(), m_inFrames) - kKeptFrames;
  const auto drop = static_cast<size_t>(keepFrom - m_bufferStart);
  if (drop == 0) return;
  const auto kept = static_cast<size_t>(m_inFrames - keepFrom);
  for (int c = 0; c < m_channels; ++c) {
    std::vector<double>& input = m_input[static_cast<size_t>(c)];
    std::copy(input.begin() + static_cast<ptrdiff_t>(drop), input.begin() + static_cast<ptrdiff_t>(drop + kept),
              input.begin());
  }
  m_bufferStart = keepFrom;
}

bool BrickWallProcessor::Take(WaveStream& out, const SampleValue* samples, int64_t frames) {
  const int64_t segment = m_convolver.SegmentLength();
  while (frames > 0) {
    if (static_cast<size_t>(m_inFrames - m_bufferStart) == kInputRoom) Compact();
    // Up to the frame that completes the next segment, and no further than the room.
    const int64_t missing = m_outFrames + Delay() + segment - m_inFrames;
    const int64_t room = static_cast<int64_t>(kInputRoom) - (m_inFrames - m_bufferStart);
    const int64_t count = std::min({frames, room, std::max<int64_t>(missing, 1)});
    const auto at = static_cast<size_t>(m_inFrames - m_bufferStart);
    for (int c = 0; c < m_channels; ++c) {
      double* input = m_input[static_cast<size_t>(c)].data() + at;
      if (samples == nullptr)
        std::fill(input, input + count, 0.0);
      else
        for (int64_t i = 0; i < count; ++i) input[i] = samples[i * m_channels + c];
    }
    if (samples != nullptr) samples += count * m_channels;
    frames -= count;
    m_inFrames += count;
    // Whole segments only: one transform pair per segment, however short the blocks are.
    while (m_inFrames - (m_outFrames + Delay()) >= segment && m_outFrames < m_outLimit)
      if (!WriteSegment(out, std::min(segment, m_outLimit - m_outFrames))) return false;
  }
  return true;
}

int BrickWallProcessor::Process(WaveStream& in, WaveStream& out) {
  if (needsPrepare) {
    needsPrepare = 0;
    Redesign(in.Format().sampleRate);
  }
  return Take(out, in.Begin(), (in.End() - in.Begin()) / m_channels) ? 1 : 0;
}

int BrickWallProcessor::Finish(WaveStream& in, WaveStream& out) {
  if (in.Run().stopRequested.load(std::memory_order_relaxed)) return 1;
  if (needsPrepare) {  // no block came: the design is still owed
    needsPrepare = 0;
    Redesign(in.Format().sampleRate);
  }
  // Silence after the end completes the last outputs; none past the input's length.
  m_outLimit = m_inFrames;
  if (!Take(out, nullptr, m_outLimit + Delay() - m_inFrames)) return 0;
  while (m_outFrames < m_outLimit) {
    const int64_t count = std::min<int64_t>(m_convolver.SegmentLength(), m_outLimit - m_outFrames);
    if (!WriteSegment(out, count)) return 0;
  }
  return 1;
}

}  // namespace ztlive
