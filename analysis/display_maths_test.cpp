// The displays' numbers against independent computations: FFTW for the transform, plain
// formulas for decay, averaging, hold and times.
#include <fftw3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "analysis/level_meter_state.h"
#include "analysis/spectrum_analyzer.h"
#include "analysis/time_format.h"
#include "analysis/xy_trace.h"

namespace ztlive {
namespace {

using std::numbers::pi;

// amplitudes[k] is the share of full scale of harmonic k + 1 of the fundamental.
std::vector<SampleValue> Tone(double hz, std::vector<double> amplitudes, int rate, int frames, int channels = 1) {
  std::vector<SampleValue> values(static_cast<size_t>(frames * channels));
  for (int f = 0; f < frames; ++f) {
    double v = 0;
    for (size_t k = 0; k < amplitudes.size(); ++k) v += amplitudes[k] * std::sin(2 * pi * hz * double(k + 1) * f / rate);
    for (int c = 0; c < channels; ++c) values[static_cast<size_t>(f * channels + c)] = SampleValue(std::lround(v * kSampleMax));
  }
  return values;
}

// The display magnitude of whole bin k of a Blackman-windowed block, by FFTW.
double ReferenceBinMagnitude(const SampleValue* values, int n, int bin) {
  std::vector<double> in(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const double w = 0.42 - 0.5 * std::cos(2 * pi * i / (n - 1)) + 0.08 * std::cos(4 * pi * i / (n - 1));
    in[static_cast<size_t>(i)] = values[i] * w;
  }
  std::vector<fftw_complex> out(static_cast<size_t>(n / 2 + 1));
  fftw_plan plan = fftw_plan_dft_r2c_1d(n, in.data(), out.data(), FFTW_ESTIMATE);
  fftw_execute(plan);
  fftw_destroy_plan(plan);
  const double re = out[static_cast<size_t>(bin)][0], im = out[static_cast<size_t>(bin)][1];
  return std::hypot(re, im) / (n * double(kSampleMax) * 0.25);
}

TEST(SpectrumAnalyzer, PeakSitsWithinOneBinOfTheToneAcrossBandsAndDecimation) {
  struct Case {
    int band, resolution, rate, channels;
    double hz;
  };
  for (const Case& c : {Case{4, 0, 44100, 1, 1000.0}, Case{6, 0, 48000, 2, 3217.0}, Case{2, 2, 44100, 1, 1500.0},
                        Case{5, 1, 44100, 2, 440.0}}) {
    SpectrumAnalyzer analyzer;
    analyzer.SetBand(c.band);
    analyzer.SetResolution(c.resolution);
    analyzer.SetSource(c.rate, c.channels);
    analyzer.SetShowPeak(true);
    const int n = analyzer.Length();
    const auto tone = Tone(c.hz, {0.9}, c.rate, 3 * n * analyzer.Decimation(), c.channels);
    int shown = 0;
    for (int at = 0; at < 3; ++at) {
      const int chunk = n * analyzer.Decimation() * c.channels;
      shown += analyzer.Analyze(tone.data() + at * chunk, chunk) ? 1 : 0;
    }
    EXPECT_EQ(shown, 1) << "Fast mode shows every second transform";
    const int peak = analyzer.PeakPoint();
    ASSERT_GE(peak, 0);
    const double binHz = c.rate / double(n * analyzer.Decimation());
    EXPECT_NEAR(analyzer.PointFrequency(peak), c.hz, binHz) << "band " << c.band << " rate " << c.rate;
  }
}

TEST(SpectrumAnalyzer, WholeBinPointsMatchAnIndependentTransform) {
  SpectrumAnalyzer analyzer;
  const int n = analyzer.Length();
  const auto tone = Tone(1000.0, {0.5, 0.01}, 44100, 2 * n);
  analyzer.Analyze(tone.data(), n);
  ASSERT_TRUE(analyzer.Analyze(tone.data() + n, n));
  for (const int bin : {3, 23, 46, 100, 300}) {
    const double expected = 20 * std::log10(ReferenceBinMagnitude(tone.data() + n, n, bin) + 1e-64);
    // Fast mode draws point i at (i + 1) x spacing; point 2k - 1 is bin k.
    EXPECT_NEAR(analyzer.LevelDb(2 * bin - 1), expected, 1e-6) << "bin " << bin;
    EXPECT_NEAR(analyzer.PointFrequency(2 * bin - 1), bin * 44100.0 / n, 1e-9);
  }
}

TEST(SpectrumAnalyzer, ThdOfAToneWithKnownHarmonics) {
  struct Case {
    std::vector<double> amplitudes;
    double thd;  // percent: root of the harmonics' power over the fundamental's
  };
  for (const Case& c : {Case{{0.5, 0.005}, 1.0}, Case{{0.8, 0.0, 0.024}, 3.0}, Case{{0.5, 0.003, 0.004}, 1.0}}) {
    SpectrumAnalyzer analyzer;
    analyzer.SetBand(6);
    analyzer.SetShowPeak(true);
    analyzer.SetShowThd(true);
    const int n = analyzer.Length();
    const auto tone = Tone(1000.0, c.amplitudes, 44100, 2 * n);
    analyzer.Analyze(tone.data(), n);
    ASSERT_TRUE(analyzer.Analyze(tone.data() + n, n));
    ASSERT_TRUE(analyzer.HasThd());
    EXPECT_NEAR(analyzer.ThdPercent(), c.thd, 0.05);
  }
}

TEST(SpectrumAnalyzer, SlowDecaysAndAveragingAveragesByTheirFormulas) {
  const int n = 1024;
  const auto loud = Tone(2000.0, {0.8}, 44100, n);
  const auto soft = Tone(2000.0, {0.1}, 44100, n);
  const int bin = static_cast<int>(std::lround(2000.0 * n / 44100));
  const int point = 2 * bin;  // point 2k - 1 is bin k
  const double mLoud = ReferenceBinMagnitude(loud.data(), n, bin) + 1e-6;
  const double mSoft = ReferenceBinMagnitude(soft.data(), n, bin) + 1e-6;

  SpectrumAnalyzer slow;
  slow.SetResponse(SpectrumResponse::kSlow);
  EXPECT_DOUBLE_EQ(slow.DecayFactor(), 0.9);
  ASSERT_TRUE(slow.Analyze(loud.data(), n));
  EXPECT_NEAR(slow.LevelDb(point - 1), 20 * std::log10(mLoud), 1e-6);
  slow.Analyze(soft.data(), n);
  EXPECT_NEAR(slow.LevelDb(point - 1), 20 * std::log10(mLoud * 0.9), 1e-6);
  slow.Analyze(soft.data(), n);
  EXPECT_NEAR(slow.LevelDb(point - 1), 20 * std::log10(mLoud * 0.81), 1e-6);
  slow.Analyze(loud.data(), n);  // a louder value replaces the decayed one at once
  EXPECT_NEAR(slow.LevelDb(point - 1), 20 * std::log10(mLoud), 1e-6);

  SpectrumAnalyzer average;
  average.SetResponse(SpectrumResponse::kAveraging);
  EXPECT_DOUBLE_EQ(average.DecayFactor(), 0.99);
  average.Analyze(loud.data(), n);
  average.Analyze(soft.data(), n);
  average.Analyze(soft.data(), n);
  EXPECT_NEAR(average.LevelDb(point - 1), 20 * std::log10((mLoud + 2 * mSoft) / 3), 1e-6);
  // Switching the response restarts the average.
  average.SetResponse(SpectrumResponse::kAveraging);
  average.Analyze(soft.data(), n);
  EXPECT_NEAR(average.LevelDb(point - 1), 20 * std::log10(mSoft), 1e-6);
}

TEST(SpectrumAnalyzer, HoldFreezesAndTransformsMaySpanBuffers) {
  SpectrumAnalyzer analyzer;
  analyzer.SetResponse(SpectrumResponse::kSlow);
  const auto tone = Tone(1000.0, {0.5}, 44100, 1024);
  EXPECT_FALSE(analyzer.Analyze(tone.data(), 600));
  EXPECT_TRUE(analyzer.Analyze(tone.data() + 600, 424));
  const double before = analyzer.LevelDb(46);
  analyzer.SetHold(true);
  const std::vector<SampleValue> silence(1024, 0);
  EXPECT_FALSE(analyzer.Analyze(silence.data(), 1024));
  EXPECT_EQ(analyzer.LevelDb(46), before);
  analyzer.SetHold(false);
  EXPECT_TRUE(analyzer.Analyze(silence.data(), 1024));
  EXPECT_LT(analyzer.LevelDb(46), -110.0) << "a fresh start after hold";
}

TEST(SpectrumAnalyzer, ResolutionLabelsAndAxis) {
  const char* expected[] = {" 21.53Hz", " 10.77Hz", "  5.38Hz", "  2.69Hz", "  1.35Hz", "  0.67Hz"};
  for (int b = 0; b < 6; ++b) EXPECT_EQ(SpectrumAnalyzer::ResolutionLabel(44100, 1024, b), expected[b]);
  SpectrumAnalyzer analyzer;
  analyzer.SetResolution(2);
  EXPECT_DOUBLE_EQ(analyzer.TopFrequency(), 5512.5);
}

TEST(LevelMeterState, HoldFallsPerUpdateByTheRateDecay) {
  for (const int rate : {44100, 48000}) {
    const double d = std::exp(std::log(0.38) * 4096.0 / (13.0 * rate));
    EXPECT_NEAR(LevelMeterState::DecayFactor(rate), d, 1e-15);
    LevelMeterState meter;
    meter.Update(kSampleMax, kSampleMax / 2, rate);
    EXPECT_EQ(meter.HoldLeft(), kSampleMax);
    int expected = kSampleMax;
    for (int update = 0; update < 50; ++update) {
      meter.Update(0, 0, rate);
      expected = static_cast<int>(d * expected);
      ASSERT_EQ(meter.HoldLeft(), expected) << rate << " update " << update;
    }
    EXPECT_EQ(meter.Left(), 0);
    // About 0.7 % (44.1 kHz) or 0.6 % (48 kHz) per update.
    const double fall = 1.0 - std::pow(double(meter.HoldLeft()) / kSampleMax, 1.0 / 50);
    EXPECT_NEAR(fall, 0.0069 * 44100.0 / rate, 0.0003) << rate;
    meter.Update(kSampleMax / 4, 0, rate);  // a level below the hold lets it fall on
    EXPECT_LT(meter.HoldLeft(), expected);
    meter.Update(kSampleMax, 0, rate);
    EXPECT_EQ(meter.HoldLeft(), kSampleMax);
  }
}

TEST(LevelMeterState, PeaksAndScale) {
  const std::vector<SampleValue> stereo{10, -20, -300, 40, kSampleMin, 5};
  EXPECT_EQ(LevelMeterState::PeaksOf(stereo.data(), 6, 2), (std::array<int, 2>{kSampleMax, 40}));
  EXPECT_EQ(LevelMeterState::PeaksOf(stereo.data(), 6, 1), (std::array<int, 2>{kSampleMax, 0}));
  const char* labels[] = {"-50", "-20", "-14", "-10", "-8", "-6", "-4", "-3", "-2", "-1"};
  const auto scale = LevelMeterState::Scale();
  for (int k = 0; k < LevelMeterState::kScaleMarks; ++k) EXPECT_EQ(scale[static_cast<size_t>(k)].text, labels[k]);
}

TEST(TimeFormat, ModesAtZeroOneFrameAndAnHour) {
  const TimeBase stereo16{44100, 2, 16};
  const TimeBase mono24{48000, 1, 24};
  struct Case {
    int64_t offset;
    TimeBase base;
    TimeMode mode;
    const char* text;
    const char* clock;
  };
  const Case cases[] = {
      {0, stereo16, TimeMode::kClock, "00:00:00.0000", "0:00:00.000"},
      {4, stereo16, TimeMode::kClock, "00:00:00.0000", "0:00:00.000"},
      {4, stereo16, TimeMode::kFrames, "1", "0:00:00.000"},
      {4, stereo16, TimeMode::kSeconds, "  0.0000", "0:00:00.000"},
      {3600LL * 44100 * 4, stereo16, TimeMode::kClock, "01:00:00.0000", "1:00:00.000"},
      {3600LL * 44100 * 4, stereo16, TimeMode::kFrames, "158760000", "1:00:00.000"},
      {3600LL * 48000 * 3 + 3 * 4799, mono24, TimeMode::kClock, "01:00:00.0999", "1:00:00.099"},
      {(3723LL * 48000 + 24000) * 3, mono24, TimeMode::kSeconds, "3723.5000", "1:02:03.500"},
      {-1, stereo16, TimeMode::kClock, "--:--:--:--", "-:--:--.---"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatOffset(c.offset, c.base, c.mode), c.text) << c.offset;
    EXPECT_EQ(FormatClock(c.offset, c.base), c.clock) << c.offset;
  }
}

TEST(TimeFormat, TypedTimesBecomeFrameOffsets) {
  const TimeBase base{44100, 2, 16};
  struct Case {
    const char* text;
    TimeMode mode;
    int64_t offset;  // -1: not a time
  };
  const Case cases[] = {
      {"0", TimeMode::kClock, 0},           {"1.5", TimeMode::kClock, 66150 * 4},
      {"1:00:00.000", TimeMode::kClock, 3600LL * 44100 * 4}, {" 2:03.25 ", TimeMode::kClock, (123LL * 44100 + 11025) * 4},
      {"0.001", TimeMode::kClock, 44 * 4}, {"441", TimeMode::kFrames, 441 * 4},
      {"1:2:3:4", TimeMode::kClock, -1},    {"1.2:03", TimeMode::kClock, -1},
      {"abc", TimeMode::kClock, -1},        {"", TimeMode::kSeconds, -1},
      {"-3", TimeMode::kFrames, -1},        {".", TimeMode::kClock, -1},
  };
  for (const Case& c : cases) {
    const auto parsed = ParseTime(c.text, base, c.mode);
    if (c.offset < 0) {
      EXPECT_FALSE(parsed.has_value()) << c.text;
    } else {
      ASSERT_TRUE(parsed.has_value()) << c.text;
      EXPECT_EQ(*parsed, c.offset) << c.text;
    }
  }
}

TEST(XyTrace, DiagonalsStrokesAndTheCircle) {
  XyPoint points[8];
  const SampleValue h = kSampleMax / 4;
  const std::vector<SampleValue> same{h, h, -h, -h, 0, 0};
  ASSERT_EQ(TraceXy(same.data(), 6, 2, 200, {}, points, 8), 3u);
  EXPECT_EQ(points[0].x, points[0].y);
  EXPECT_EQ(points[0].x, 49);
  EXPECT_EQ(points[1].x, -49);
  // Outside the circle (full scale maps to the diameter) is skipped.
  const std::vector<SampleValue> wide{kSampleMax, 0, h, -h};
  ASSERT_EQ(TraceXy(wide.data(), 4, 2, 200, {}, points, 8), 1u);
  EXPECT_EQ(points[0].y, -49);
  // Both gains at 0: everything at the centre.
  const XyGains zero = XyGains::FromSliders(0, 200);
  ASSERT_EQ(TraceXy(wide.data(), 4, 2, 200, zero, points, 8), 2u);
  EXPECT_EQ(points[0].x, 0);
  EXPECT_EQ(points[1].y, 0);
  // Mono: a vertical stroke.
  ASSERT_EQ(TraceXy(same.data(), 2, 1, 200, {}, points, 8), 2u);
  EXPECT_EQ(points[1].x, 0);
  EXPECT_EQ(points[1].y, 49);
}

}  // namespace
}  // namespace ztlive
