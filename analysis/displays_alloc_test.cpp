// What runs per played buffer allocates nothing: the hand-over ring on the engine's side and,
// on the window side, the analyzer in every response mode, the meter and the XY trace.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/level_meter_state.h"
#include "analysis/played_buffer_ring.h"
#include "analysis/spectrum_analyzer.h"
#include "analysis/xy_trace.h"
#include "testing/counting_allocator.h"

namespace ztlive {
namespace {

TEST(DisplaysAllocation, PlayedBuffersAllocateNothing) {
  std::vector<uint8_t> bytes(4096 * 4);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(std::lround(127 * std::sin(i * 0.01)));
  const WaveDeviceFormat stereo16{2, 44100, 16, 4};
  PlayedBufferRing ring;
  std::vector<XyPoint> points(PlayedBufferRing::kSlotValues);
  for (const SpectrumResponse response : {SpectrumResponse::kFast, SpectrumResponse::kSlow, SpectrumResponse::kAveraging}) {
    SpectrumAnalyzer analyzer;
    analyzer.SetBand(6);
    analyzer.SetSource(44100, 2);
    analyzer.SetResponse(response);
    analyzer.SetShowPeak(true);
    analyzer.SetShowThd(true);
    LevelMeterState meter;
    size_t traced = 0;
    const long before = test::AllocationCount();
    for (int buffer = 0; buffer < 40; ++buffer) {
      ring.Push(bytes.data(), bytes.size(), stereo16);
      ring.Drain([&](const PlayedBlock& block) {
        analyzer.Analyze(block.values, block.valueCount);
        const auto peaks = LevelMeterState::PeaksOf(block.values, block.valueCount, block.channels);
        meter.Update(peaks[0], peaks[1], block.sampleRate);
        traced += TraceXy(block.values, block.valueCount, block.channels, 400, {}, points.data(), points.size());
      });
    }
    const long allocations = test::AllocationCount() - before;
    EXPECT_EQ(allocations, 0) << static_cast<int>(response);
    EXPECT_GT(analyzer.Transforms(), 10);
    EXPECT_GT(traced, 0u);
    EXPECT_GT(meter.HoldLeft(), 0);
  }
}

}  // namespace
}  // namespace ztlive
