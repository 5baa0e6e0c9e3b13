// The classic filters on real files: the designs against scipy's lfilter, the measured
// responses (corners and slopes), and the rules of each engine (limits, bypass, stereo
// independence, the notch's band, the median and the average).
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/wave_stream.h"
#include "filters/eq/averaging_filter.h"
#include "filters/eq/band_pass_filter.h"
#include "filters/eq/high_pass_filter.h"
#include "filters/eq/low_pass_filter.h"
#include "filters/eq/median_filter.h"
#include "filters/eq/notch_filter.h"
#include "testing/engine_run.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using test::TestFolder;

using test::RunEngine;

PresetValues Values(int32_t p0, int32_t p1, int32_t p2 = 0, int32_t p3 = 0) {
  PresetValues values;
  values.p[0] = p0;
  values.p[1] = p1;
  values.p[2] = p2;
  values.p[3] = p3;
  return values;
}

std::vector<SampleValue> Sine(double hz, uint32_t rate, size_t frames, double amplitude = 4e6) {
  std::vector<SampleValue> values(frames);
  for (size_t i = 0; i < frames; ++i) values[i] = static_cast<SampleValue>(std::lround(amplitude * std::sin(2 * M_PI * hz * i / rate)));
  return values;
}

// Gain in dB of a mono engine for a sine, measured over the second half (after settling).
double GainDb(FilterProcessor& engine, double hz, uint32_t rate = 44100) {
  const size_t frames = 44100;
  const std::vector<SampleValue> in = Sine(hz, rate, frames);
  const std::vector<SampleValue> out = RunEngine(engine, 1, rate, in);
  double inEnergy = 0;
  double outEnergy = 0;
  for (size_t i = frames / 2; i < frames; ++i) {
    inEnergy += double(in[i]) * in[i];
    outEnergy += double(out[i]) * out[i];
  }
  return 10 * std::log10(outEnergy / inEnergy);
}

TEST(FilterDesigns, EverySectionMatchesScipysLfilter) {
  TestFolder folder;
  std::vector<double> signal(3000);
  for (size_t i = 0; i < signal.size(); ++i)
    signal[i] = std::sin(0.013 * i) + 0.5 * std::sin(0.71 * i + 1) + (i == 1000 ? 3.0 : 0.0);
  std::vector<SectionCoefficients> designs;
  for (const double fc : {100.0, 1000.0, 15000.0}) {
    for (auto design : {DesignLowPass1, DesignLowPass2, DesignLowPass3, DesignHighPass1, DesignHighPass2, DesignHighPass3})
      designs.push_back(design(fc, 44100));
  }
  {
    std::ofstream coefficients(folder.File("designs.txt"));
    coefficients.precision(17);
    for (const SectionCoefficients& c : designs)
      coefficients << c.b[0] << ' ' << c.b[1] << ' ' << c.b[2] << ' ' << c.b[3] << ' ' << c.a[1] << ' ' << c.a[2] << ' '
                   << c.a[3] << '\n';
    std::ofstream values(folder.File("signal.txt"));
    values.precision(17);
    for (double v : signal) values << v << '\n';
  }
  const std::string command = std::string("/usr/bin/python3 ") + ZTLIVE_LFILTER_REFERENCE + " " + folder.File("designs.txt") + " " +
                              folder.File("signal.txt") + " " + folder.File("reference.txt");
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream reference(folder.File("reference.txt"));
  for (const SectionCoefficients& c : designs) {
    std::string line;
    ASSERT_TRUE(std::getline(reference, line));
    std::istringstream expected(line);
    SectionState state;
    double worst = 0;
    for (double x : signal) {
      double y = 0;
      expected >> y;
      const double ours = c.order == 1 ? RunSection<1>(c, state, x) : c.order == 2 ? RunSection<2>(c, state, x) : RunSection<3>(c, state, x);
      worst = std::max(worst, std::abs(ours - y));
    }
    EXPECT_LT(worst, 1e-9) << "order " << c.order << ", b0 " << c.b[0];
  }
}

// The design's own response at a frequency, in dB.
double ResponseDb(const SectionCoefficients& c, double hz, double rate) {
  const std::complex<double> z = std::polar(1.0, -2 * M_PI * hz / rate);
  std::complex<double> numerator = 0;
  std::complex<double> denominator = 1;
  for (int k = 0; k <= c.order; ++k) numerator += c.b[k] * std::pow(z, k);
  for (int k = 1; k <= c.order; ++k) denominator += c.a[k] * std::pow(z, k);
  return 20 * std::log10(std::abs(numerator / denominator));
}

TEST(LowAndHighPass, CornersAndSlopesAreSixTwelveAndEighteenDbPerOctave) {
  for (int slope = 0; slope < 3; ++slope) {
    SCOPED_TRACE(slope);
    LowPassProcessor low;
    low.SetValues(Values(slope, 200));
    EXPECT_NEAR(GainDb(low, 200), -3.01, 0.1) << "the corner";
    EXPECT_NEAR(GainDb(low, 12.5), 0, 0.05);
    EXPECT_NEAR(GainDb(low, 1600) - GainDb(low, 3200), 6.0 * (slope + 1), 0.5);
    for (const double hz : {100.0, 700.0, 5000.0})
      EXPECT_NEAR(GainDb(low, hz), ResponseDb(low.Coefficients(), hz, 44100), 0.05) << hz;

    HighPassProcessor high;
    high.SetValues(Values(slope, 2000));
    EXPECT_NEAR(GainDb(high, 2000), -3.01, 0.1);
    EXPECT_NEAR(GainDb(high, 250) - GainDb(high, 125), 6.0 * (slope + 1), 0.5);
    for (const double hz : {300.0, 3000.0, 15000.0})
      EXPECT_NEAR(GainDb(high, hz), ResponseDb(high.Coefficients(), hz, 44100), 0.05) << hz;
  }
}

TEST(LowAndHighPass, TheCutoffIsLimitedBelowHalfTheRateAndSilenceStaysSilent) {
  LowPassProcessor low;
  low.SetValues(Values(2, 22050));
  const std::vector<SampleValue> silence(20000, 0);
  EXPECT_EQ(RunEngine(low, 1, 44100, silence), silence) << "0.01 settles below one step";
  EXPECT_DOUBLE_EQ(low.CutoffHz(), 20947.5);
  HighPassProcessor high;
  high.SetValues(Values(1, 30000));
  EXPECT_EQ(RunEngine(high, 1, 44100, silence), silence);
  EXPECT_DOUBLE_EQ(high.CutoffHz(), 0.475 * 44100);
}

TEST(LowAndHighPass, BypassPassesTheInputAndTheFilterGoesOnFromItsState) {
  const std::vector<SampleValue> in = Sine(3000, 44100, 4 * 4096);
  LowPassProcessor reference;
  reference.SetValues(Values(1, 500));
  const std::vector<SampleValue> filtered = RunEngine(reference, 1, 44100, in);
  LowPassProcessor low;
  low.SetValues(Values(1, 500));
  const std::vector<SampleValue> out = RunEngine(low, 1, 44100, in, [&](int block) { low.SetBypass(block == 1); });
  for (size_t i = 4096; i < 2 * 4096; ++i) ASSERT_EQ(out[i], in[i]) << i;
  for (size_t i = 2 * 4096; i < in.size(); ++i) ASSERT_EQ(out[i], filtered[i]) << "no restart after bypass, " << i;
}

TEST(LowAndHighPass, StereoChannelsHaveTheirOwnStates) {
  const std::vector<SampleValue> tone = Sine(100, 44100, 8000);
  std::vector<SampleValue> stereo;
  for (SampleValue v : tone) stereo.insert(stereo.end(), {v, 0});
  for (int type = 0; type < 2; ++type) {
    std::unique_ptr<CornerFilterProcessor> engine;
    if (type == 0) engine = std::make_unique<LowPassProcessor>(); else engine = std::make_unique<HighPassProcessor>();
    engine->SetValues(Values(2, 1000));
    const std::vector<SampleValue> out = RunEngine(*engine, 2, 44100, stereo);
    for (size_t i = 1; i < out.size(); i += 2) ASSERT_EQ(out[i], 0) << "the silent channel stays silent";
  }
}

TEST(BandPass, PassesTheBandAndKeepsAnUpperEdgeAtHalfTheRate) {
  BandPassProcessor band;
  band.SetValues(Values(1, 500, 4000));
  EXPECT_GT(GainDb(band, 1400), -0.5);
  EXPECT_LT(GainDb(band, 60), -30);
  EXPECT_LT(GainDb(band, 18000), -20);
  // An upper edge of exactly half the rate is used as given (only above it is limited).
  BandPassProcessor wide;
  wide.SetValues(Values(0, 100, 22050));
  EXPECT_GT(GainDb(wide, 10000), -0.5);
}

TEST(Notch, RemovesOrKeepsTheBandAndHoldsItsEdges) {
  NotchProcessor notch;
  notch.SetValues(Values(0, 1000, 200, 0));
  EXPECT_LT(GainDb(notch, 1000), -40);
  EXPECT_NEAR(GainDb(notch, 20), 0, 0.5);
  EXPECT_NEAR(notch.LowerEdgeHz(), 500, 0.1);
  EXPECT_NEAR(notch.UpperEdgeHz(), 2000, 0.2);
  EXPECT_NEAR(GainDb(notch, 500), -3, 1.0) << "the edges are the -3 dB points";
  NotchProcessor slot;
  slot.SetValues(Values(0, 1000, 200, 1));
  EXPECT_NEAR(GainDb(slot, 1000), 0, 0.2);
  EXPECT_LT(GainDb(slot, 40), -20);

  NotchProcessor low;
  low.SetValues(Values(0, 1, 200, 0));
  GainDb(low, 100);
  EXPECT_NEAR(low.LowerEdgeHz(), 0.5, 1e-5) << "1 Hz over one octave: 0.5 Hz";
  NotchProcessor high;
  high.SetValues(Values(0, 18000, 100, 0));
  GainDb(high, 1000);
  EXPECT_DOUBLE_EQ(high.UpperEdgeHz(), 22050);
  EXPECT_NEAR(high.LowerEdgeHz(), 22050 / 2.0, 1) << "the band keeps its width of one octave";
}

TEST(MedianAndAverage, TheWindowRulesOfEachFilter) {
  MedianProcessor median;
  median.SetValues(Values(0, 3));
  std::vector<SampleValue> spike(100, 1000);
  spike[50] = 8000000;
  std::vector<SampleValue> expected(100, 1000);
  expected[0] = 0;  // the window still holds the silent history before the first value
  EXPECT_EQ(RunEngine(median, 1, 44100, spike), expected) << "a one-sample spike is gone";
  MedianProcessor even;
  even.SetValues(Values(0, 4));
  const std::vector<SampleValue> out = RunEngine(even, 1, 44100, {1, 2, 3, 4});
  EXPECT_EQ(out[3], 2) << "the lower of the two middle values";
  for (const auto& [asked, used] : {std::pair{1, 2}, {500, 100}}) {
    MedianProcessor limited;
    limited.SetValues(Values(0, asked));
    RunEngine(limited, 1, 44100, {1});
    EXPECT_EQ(limited.Window(), used);
  }

  AveragingProcessor average;
  average.SetValues(Values(0, 2));
  EXPECT_EQ(RunEngine(average, 2, 44100, {10, -3, 20, -4, 31, 100}), (std::vector<SampleValue>{5, -1, 15, -3, 25, 48}))
      << "stereo: this frame and the one before, truncated toward zero";
  EXPECT_EQ(RunEngine(average, 1, 44100, {10, 20, 31, 41}), (std::vector<SampleValue>{0, 5, 15, 25}))
      << "mono: the two values before this one";
}

// The definitions as written: the window summed afresh, and sorted by adjacent swaps.
SampleValue ReferenceAverage(const std::vector<SampleValue>& x, size_t n, int channels, int window) {
  const int first = channels == 2 ? 0 : 1;
  int64_t sum = 0;
  for (int k = first; k < window + first; ++k) {
    const long at = static_cast<long>(n) - k * channels;
    sum += at >= 0 ? x[static_cast<size_t>(at)] : 0;
  }
  return static_cast<SampleValue>(sum / window);
}

SampleValue ReferenceMedian(const std::vector<SampleValue>& x, size_t n, int channels, int window) {
  std::vector<SampleValue> w;
  for (int k = 0; k < window; ++k) {
    const long at = static_cast<long>(n) - k * channels;
    w.push_back(at >= 0 ? x[static_cast<size_t>(at)] : 0);
  }
  for (bool swapped = true; swapped;) {
    swapped = false;
    for (size_t i = 0; i + 1 < w.size(); ++i)
      if (w[i] < w[i + 1]) {
        std::swap(w[i], w[i + 1]);
        swapped = true;
      }
  }
  return w[static_cast<size_t>(window / 2)];
}

TEST(MedianAndAverage, LongRunsAcrossBlocksMatchTheDefinitions) {
  std::vector<SampleValue> noise(3 * 4096 + 1000);
  uint32_t state = 12345;
  for (SampleValue& v : noise) {
    state = state * 1664525u + 1013904223u;
    v = static_cast<SampleValue>(state >> 8) - (1 << 23);
  }
  for (const int channels : {1, 2}) {
    for (const int window : {1, 2, 37, 100}) {
      SCOPED_TRACE(testing::Message() << channels << " channels, window " << window);
      AveragingProcessor average;
      average.SetValues(Values(0, window));
      const std::vector<SampleValue> out = RunEngine(average, channels, 44100, noise);
      ASSERT_EQ(out.size(), noise.size());
      for (size_t n = 0; n < noise.size(); ++n) ASSERT_EQ(out[n], ReferenceAverage(noise, n, channels, window)) << n;
    }
    for (const int window : {2, 5, 20, 100}) {
      SCOPED_TRACE(testing::Message() << channels << " channels, median " << window);
      MedianProcessor median;
      median.SetValues(Values(0, window));
      const std::vector<SampleValue> out = RunEngine(median, channels, 44100, noise);
      for (size_t n = 0; n < noise.size(); ++n) ASSERT_EQ(out[n], ReferenceMedian(noise, n, channels, window)) << n;
    }
  }
}

}  // namespace
}  // namespace ztlive
