// The file report against sums computed here from the very samples written to a wave file.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "analysis/signal_report.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

TEST(SignalReport, LevelsOffsetClippingPeaksAndDistortionOfAStereoFile) {
  test::TestFolder folder;
  const int rate = 44100, frames = rate;  // one second
  std::vector<int16_t> samples;
  double squares[2] = {0, 0}, sums[2] = {0, 0};
  int peaks[2] = {0, 0};
  int clipped = 0;
  for (int f = 0; f < frames; ++f) {
    const double t = double(f) / rate;
    // Left: a 1 kHz tone with 2 % second harmonic on a DC offset; right: 3 kHz, clipped hard.
    const double left = 0.02 + 0.5 * std::sin(2 * std::numbers::pi * 1000 * t) + 0.01 * std::sin(2 * std::numbers::pi * 2000 * t);
    const double right = std::clamp(1.3 * std::sin(2 * std::numbers::pi * 3000 * t), -1.0, 1.0);
    const auto l = static_cast<int16_t>(std::lround(left * 32767));
    const auto r = static_cast<int16_t>(std::max(-32768L, std::min(32767L, std::lround(right * 32767.5))));
    samples.push_back(l);
    samples.push_back(r);
    const int v[2] = {l, r};
    for (int c = 0; c < 2; ++c) {
      squares[c] += double(v[c]) * v[c];
      sums[c] += v[c];
      peaks[c] = std::max(peaks[c], std::abs(v[c]));
    }
    clipped += (r == 32767 || r == -32768) ? 1 : 0;
  }
  const std::string path = folder.File("tone.wav");
  test::WriteBytes(path, test::WaveBytes().Format(1, 2, rate, 16).Data(test::Samples16(samples)).Build());

  SignalReport report;
  ASSERT_EQ(BuildSignalReport(path, 0, 0, report), ReportReadResult::kRead);
  ASSERT_EQ(report.channels.size(), 2u);
  EXPECT_EQ(report.frames, frames);
  // The 16-bit full scale is 32767 shifted into the 24-bit scale.
  const double full = 8388607.0 / 256.0;
  for (int c = 0; c < 2; ++c) {
    EXPECT_NEAR(report.channels[c].peakDbfs, 20 * std::log10(peaks[c] / full), 0.01) << c;
    EXPECT_NEAR(report.channels[c].rmsDbfs, 20 * std::log10(std::sqrt(squares[c] / frames) / full), 0.01) << c;
    EXPECT_NEAR(report.channels[c].dc, sums[c] / frames / full, 1e-4) << c;
  }
  EXPECT_EQ(report.channels[0].clipped, 0);
  EXPECT_EQ(report.channels[1].clipped, clipped);
  ASSERT_GE(report.peaks.size(), 2u);
  const double binHz = rate / 4096.0;
  // The mono sum: the clipped 3 kHz square-ish tone is strongest, then 1 kHz.
  EXPECT_NEAR(report.peaks[0].hz, 3000, binHz);
  EXPECT_NEAR(report.peaks[1].hz, 1000, binHz / 4);
  EXPECT_NEAR(report.peaks[1].dbfs, 20 * std::log10(0.25), 0.5) << "half of a 0.5 tone in the mono sum";
  EXPECT_TRUE(report.hasThd);
  EXPECT_GT(report.thdPercent, 5.0) << "hard clipping adds odd harmonics";

  // A stretch: only the first tenth of a second, and a stretch past the end is empty.
  SignalReport part;
  ASSERT_EQ(BuildSignalReport(path, 0, rate / 10, part), ReportReadResult::kRead);
  EXPECT_EQ(part.frames, rate / 10);
  SignalReport none;
  ASSERT_EQ(BuildSignalReport(path, 2 * frames, 0, none), ReportReadResult::kRead);
  EXPECT_EQ(none.frames, 0);
  EXPECT_TRUE(none.peaks.empty());
  EXPECT_EQ(BuildSignalReport(folder.File("missing.wav"), 0, 0, none), ReportReadResult::kCannotOpen);
}

TEST(SignalReport, DistortionOfAPureMonoToneWithOnePercentSecondHarmonic) {
  const int rate = 48000;
  SignalReportBuilder builder(1, rate, 24);
  std::vector<SampleValue> block(4800);
  for (int piece = 0; piece < 20; ++piece) {
    for (int i = 0; i < 4800; ++i) {
      const double t = double(piece * 4800 + i) / rate;
      block[static_cast<size_t>(i)] = SampleValue(std::lround(kSampleMax * (0.6 * std::sin(2 * std::numbers::pi * 1000 * t) +
                                                                            0.006 * std::sin(2 * std::numbers::pi * 2000 * t))));
    }
    builder.Add(block.data(), 4800);
  }
  const SignalReport report = builder.Finish();
  ASSERT_TRUE(report.hasThd);
  EXPECT_NEAR(report.thdPercent, 1.0, 0.05);
  ASSERT_FALSE(report.peaks.empty());
  EXPECT_NEAR(report.peaks[0].hz, 1000, rate / 4096.0 / 4);
  EXPECT_NEAR(report.peaks[0].dbfs, 20 * std::log10(0.6), 0.1);
}

}  // namespace
}  // namespace ztlive
