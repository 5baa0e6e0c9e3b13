// The brick wall: its taps against the sinc formulas worked out here, the engine's output
// (transforms or direct sum) against an extended-precision direct sum, the output lined up
// with the input also when the length changes during a run, and the measured pass and stop
// bands of every mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "filters/eq/brick_wall_filter.h"
#include "testing/engine_run.h"

namespace ztlive {
namespace {

using test::RunEngine;

PresetValues Values(int32_t frequency, int32_t upper, int32_t taps, int32_t mode, int32_t kaiserDb = 0) {
  PresetValues values;
  values.p[0] = frequency;
  values.p[1] = upper;
  values.p[2] = taps;
  values.p[3] = mode;
  values.p[4] = kaiserDb;
  return values;
}

// The Kaiser window at tap i of n, centred on the centre tap n / 2 (the usual beta formula).
double ExpectedWindow(double attenuationDb, int taps, int i) {
  double beta = 0;
  if (attenuationDb > 50)
    beta = 0.1102 * (attenuationDb - 8.7);
  else if (attenuationDb > 21)
    beta = 0.5842 * std::pow(attenuationDb - 21, 0.4) + 0.07886 * (attenuationDb - 21);
  const double r = double(i - taps / 2) / (taps / 2);
  return std::cyl_bessel_i(0.0, beta * std::sqrt(std::max(0.0, 1 - r * r))) / std::cyl_bessel_i(0.0, beta);
}

// The ideal responses, written from the formulas with their own constants.
double ExpectedTap(int mode, double f0, double f1, int taps, double fs, int i) {
  const double pi = 3.1415926535898;
  const double twoPi = 6.2831853071796;
  double bw = f1 - f0;
  if (bw < 0) bw = 0.01;
  const double centre = f0 + bw * 0.5;
  const int c = taps / 2;
  const double d = i - c;
  const auto bandPass = [&] {
    return d == 0 ? 2 * bw / fs : 2 * std::sin(twoPi * (bw / 2) * d / fs) / (pi * d) * std::cos(twoPi * centre * d / fs);
  };
  switch (mode) {
    case 1: {
      const double e = (fs / 2 - f0) / 2;
      return d == 0 ? 4 * e / fs : 2 * std::sin(twoPi * e * d / fs) / (pi * d) * std::cos(twoPi * (f0 / 2 + fs / 4) * d / fs);
    }
    case 2: return bandPass();
    case 3: return d == 0 ? 1 - bandPass() : -bandPass();
    default: return d == 0 ? 2 * f0 / fs : std::sin(twoPi * f0 * d / fs) / (pi * d);
  }
}

// Runs one block so that the engine designs its taps.
std::vector<double> DesignedTaps(const PresetValues& values, uint32_t rate) {
  BrickWallProcessor engine;
  engine.SetValues(values);
  RunEngine(engine, 1, rate, std::vector<SampleValue>(100, 0));
  const std::span<const double> taps = engine.Taps();
  return {taps.begin(), taps.end()};
}

TEST(BrickWallDesign, TapsFollowTheSincFormulasOfEveryMode) {
  struct Case {
    int mode;
    int32_t f0, f1, taps;
    uint32_t rate;
    int32_t kaiserDb = 0;
  };
  const Case cases[] = {
      {0, 1000, 200, 64, 44100},     {0, 19000, 0, 4095, 48000},   {1, 3000, 0, 101, 44100},
      {1, 150, 0, 4094, 22050},      {2, 500, 1500, 64, 44100},    {2, 2000, 1000, 333, 44100},
      {3, 800, 1200, 1000, 44100},   {3, 800, 1200, 999, 96000},   {7, 1000, 0, 32, 44100},
      {0, 1000, 0, 64, 44100, 21},   {0, 1000, 0, 4095, 44100, 40}, {1, 3000, 0, 100, 44100, 80},
      {3, 800, 1200, 1001, 44100, 120},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " taps " << c.taps << " Kaiser " << c.kaiserDb);
    const std::vector<double> taps = DesignedTaps(Values(c.f0, c.f1, c.taps, c.mode, c.kaiserDb), c.rate);
    ASSERT_EQ(taps.size(), static_cast<size_t>(c.taps));
    for (int i = 0; i < c.taps; ++i) {
      const double window = c.kaiserDb > 0 ? ExpectedWindow(c.kaiserDb, c.taps, i) : 1.0;
      ASSERT_NEAR(taps[static_cast<size_t>(i)], ExpectedTap(c.mode, c.f0, c.f1, c.taps, c.rate, i) * window, 1e-14) << i;
    }
  }
}

TEST(BrickWallDesign, EdgeCasesOfTheBandAndTheCentreTap) {
  EXPECT_DOUBLE_EQ(DesignedTaps(Values(1000, 200, 64, 0), 44100)[32], 2000.0 / 44100);
  // Edges the wrong way round: a band 0.01 Hz wide at 2000.005 Hz.
  const brick_wall::Design narrow = brick_wall::DesignOf(Values(2000, 1000, 64, 2));
  EXPECT_DOUBLE_EQ(narrow.width, 0.01);
  EXPECT_DOUBLE_EQ(narrow.centre, 2000.005);
  // A band stop of even length has its unit impulse at the band pass's centre tap.
  const std::vector<double> stop = DesignedTaps(Values(800, 1200, 64, 3), 44100);
  const std::vector<double> pass = DesignedTaps(Values(800, 1200, 64, 2), 44100);
  for (size_t i = 0; i < 64; ++i) EXPECT_DOUBLE_EQ(stop[i] + pass[i], i == 32 ? 1.0 : 0.0) << i;
}

std::vector<SampleValue> RandomValues(size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<SampleValue> full(-8388608, 8388607);
  std::vector<SampleValue> values(count);
  for (SampleValue& value : values) value = full(random);
  return values;
}

// Output frame j of one channel: sum h[k] x[j + c - k] in extended precision, silence
// outside the input, truncated toward zero and clipped as a write clips.
std::vector<SampleValue> AlignedDirectSum(const std::vector<double>& h, const std::vector<SampleValue>& values,
                                          int channels, int channel) {
  const auto frames = static_cast<int64_t>(values.size()) / channels;
  const auto taps = static_cast<int64_t>(h.size());
  const int64_t c = taps / 2;
  std::vector<SampleValue> out(static_cast<size_t>(frames));
  for (int64_t j = 0; j < frames; ++j) {
    long double sum = 0;
    for (int64_t k = 0; k < taps; ++k) {
      const int64_t n = j + c - k;
      if (n >= 0 && n < frames)
        sum += static_cast<long double>(h[static_cast<size_t>(k)]) * values[static_cast<size_t>(n * channels + channel)];
    }
    sum = std::trunc(sum);
    out[static_cast<size_t>(j)] = static_cast<SampleValue>(std::clamp(sum, -8388608.0L, 8388607.0L));
  }
  return out;
}

TEST(BrickWallEngine, OutputEqualsTheDirectSumLinedUpWithTheInput) {
  struct Case {
    int mode;
    int32_t f0, f1, taps;
    int channels;
  };
  const Case cases[] = {
      {0, 1000, 200, 4095, 2}, {1, 5000, 0, 4094, 1}, {2, 300, 3000, 1500, 2},
      {3, 1000, 1100, 64, 2},  {0, 12000, 0, 33, 1},  {1, 3000, 0, 17, 2},
      {0, 3000, 0, 16, 2},     {0, 3000, 0, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " taps " << c.taps << " channels " << c.channels);
    const std::vector<SampleValue> input = RandomValues(static_cast<size_t>(30011 * c.channels), 5);
    BrickWallProcessor engine;
    engine.SetValues(Values(c.f0, c.f1, c.taps, c.mode));
    const std::vector<SampleValue> output = RunEngine(engine, c.channels, 44100, input);
    ASSERT_EQ(output.size(), input.size());
    // Every transform length the filter lengths here pick, and the direct sum (16 taps).
    EXPECT_EQ(engine.Convolver().UsesFft(), c.taps > FirConvolver::kDirectTapLimit);
    const std::vector<double> h(engine.Taps().begin(), engine.Taps().end());
    size_t differing = 0;
    for (int channel = 0; channel < c.channels; ++channel) {
      const std::vector<SampleValue> expected = AlignedDirectSum(h, input, c.channels, channel);
      for (size_t j = 0; j < expected.size(); ++j) {
        const SampleValue got = output[j * static_cast<size_t>(c.channels) + static_cast<size_t>(channel)];
        ASSERT_LE(std::abs(got - expected[j]), 1) << "frame " << j;
        differing += got != expected[j];
      }
    }
    EXPECT_LT(static_cast<double>(differing), 0.001 * static_cast<double>(input.size()));
  }
}

TEST(BrickWallEngine, ALengthChangeDuringTheRunKeepsTheOutputLinedUpAndWhole) {
  // A long filter first, then a short one (smaller delay), then a long one again.
  const std::vector<SampleValue> input = RandomValues(2 * 60000, 9);
  BrickWallProcessor engine;
  engine.SetValues(Values(4000, 0, 4095, 0));
  const std::vector<SampleValue> output = RunEngine(engine, 2, 44100, input, [&](int block) {
    if (block == 4) engine.SetValues(Values(4000, 0, 64, 0));
    if (block == 20) engine.SetValues(Values(4000, 0, 2001, 0));
  });
  ASSERT_EQ(output.size(), input.size());
  // The tail comes from the last design and lines up with the input.
  const std::vector<double> h(engine.Taps().begin(), engine.Taps().end());
  ASSERT_EQ(h.size(), 2001u);
  for (int channel = 0; channel < 2; ++channel) {
    const std::vector<SampleValue> expected = AlignedDirectSum(h, input, 2, channel);
    for (size_t j = 50000; j < expected.size(); ++j)
      ASSERT_LE(std::abs(output[2 * j + static_cast<size_t>(channel)] - expected[j]), 1) << j;
  }
}

TEST(BrickWallConvolver, ShortSegmentsForDevicesAndChainsGiveTheSameSums) {
  // Runs into a device or a chain take segments of at most 1024 frames; any cap must leave
  // the sums as they are, for one channel and for a pair.
  struct Case {
    int taps;
    int maxSegment;
  };
  const Case cases[] = {{4095, 1024}, {4095, 100}, {64, 1024}, {16, 1024}, {300, 1}};
  std::mt19937 random(11);
  std::uniform_real_distribution<double> tap(-0.05, 0.05);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.taps << " taps, segments up to " << c.maxSegment);
    std::vector<double> h(static_cast<size_t>(c.taps));
    for (double& value : h) value = tap(random);
    FirConvolver convolver;
    convolver.SetTaps(h, c.maxSegment);
    ASSERT_LE(convolver.SegmentLength(), c.maxSegment);
    ASSERT_GE(convolver.SegmentLength(), 1);
    const int frames = 3000;
    const std::vector<SampleValue> left = RandomValues(static_cast<size_t>(c.taps + frames), 1);
    const std::vector<SampleValue> right = RandomValues(static_cast<size_t>(c.taps + frames), 2);
    const std::vector<double> x(left.begin(), left.end());
    const std::vector<double> y(right.begin(), right.end());
    std::vector<SampleValue> single(static_cast<size_t>(frames));
    std::vector<SampleValue> pairLeft(static_cast<size_t>(frames));
    std::vector<SampleValue> pairRight(static_cast<size_t>(frames));
    const size_t first = static_cast<size_t>(c.taps - 1);  // the first output with all its inputs
    for (int done = 0; done < frames;) {
      const int count = std::min(convolver.SegmentLength(), frames - done);
      const size_t at = first + static_cast<size_t>(done);
      convolver.Convolve(x.data() + at, count, single.data() + done);
      convolver.ConvolvePair(x.data() + at, y.data() + at, count, pairLeft.data() + done, pairRight.data() + done);
      done += count;
    }
    for (int i = 0; i < frames; ++i) {
      long double sumLeft = 0;
      long double sumRight = 0;
      for (int k = 0; k < c.taps; ++k) {
        sumLeft += static_cast<long double>(h[static_cast<size_t>(k)]) * x[first + static_cast<size_t>(i - k)];
        sumRight += static_cast<long double>(h[static_cast<size_t>(k)]) * y[first + static_cast<size_t>(i - k)];
      }
      const auto expectedLeft = static_cast<SampleValue>(sumLeft);
      const auto expectedRight = static_cast<SampleValue>(sumRight);
      ASSERT_LE(std::abs(single[static_cast<size_t>(i)] - expectedLeft), 1) << i;
      ASSERT_LE(std::abs(pairLeft[static_cast<size_t>(i)] - expectedLeft), 1) << i;
      ASSERT_LE(std::abs(pairRight[static_cast<size_t>(i)] - expectedRight), 1) << i;
    }
  }
}

// Gain in dB for a sine, measured in the middle of the run.
double GainDb(const PresetValues& values, double hz) {
  const size_t frames = 44100;
  std::vector<SampleValue> input(frames);
  for (size_t i = 0; i < frames; ++i) input[i] = static_cast<SampleValue>(std::lround(4e6 * std::sin(2 * M_PI * hz * i / 44100)));
  BrickWallProcessor engine;
  engine.SetValues(values);
  const std::vector<SampleValue> output = RunEngine(engine, 1, 44100, input);
  double inEnergy = 0;
  double outEnergy = 0;
  for (size_t i = 8000; i < frames - 8000; ++i) {
    inEnergy += double(input[i]) * input[i];
    outEnergy += double(output[i]) * output[i];
  }
  return 10 * std::log10(outEnergy / inEnergy);
}

TEST(BrickWallEngine, MeasuredPassAndStopBandsOfEveryMode) {
  // With 4095 taps and no window the slopes are about 11 Hz wide, the pass band ripples by
  // up to about 0.7 dB near the edges and the stop band's first side lobes reach about -21 dB,
  // falling off further away. A Kaiser window for 80 dB widens the slopes to about 55 Hz and
  // keeps the whole stop band below -70 dB with a flat pass band.
  struct Case {
    int mode;
    int32_t f0, f1, kaiserDb;
    std::vector<double> pass, stop;
    double passDb, stopDb;
  };
  const Case cases[] = {
      {0, 1000, 0, 0, {100, 600, 960}, {1050, 2000, 10000}, 1.0, -20},
      {1, 1000, 0, 0, {1050, 3000, 15000}, {100, 600, 960}, 1.0, -20},
      {2, 1000, 2000, 0, {1050, 1500, 1950}, {400, 960, 2050, 6000}, 1.0, -20},
      {3, 1000, 2000, 0, {400, 960, 2050, 6000}, {1050, 1500, 1950}, 1.0, -20},
      {0, 1000, 0, 80, {100, 600, 900}, {1100, 1150, 2000, 10000}, 0.01, -70},
      {1, 1000, 0, 80, {1100, 3000, 15000}, {100, 600, 900}, 0.01, -70},
      {2, 1000, 2000, 80, {1100, 1500, 1900}, {400, 900, 2100, 6000}, 0.01, -70},
      {3, 1000, 2000, 80, {400, 900, 2100, 6000}, {1100, 1500, 1900}, 0.01, -70},
  };
  for (const Case& c : cases) {
    const PresetValues values = Values(c.f0, c.f1, 4095, c.mode, c.kaiserDb);
    for (const double hz : c.pass) {
      SCOPED_TRACE(testing::Message() << "mode " << c.mode << " Kaiser " << c.kaiserDb << " pass " << hz);
      EXPECT_NEAR(GainDb(values, hz), 0.0, c.passDb);
    }
    for (const double hz : c.stop) {
      SCOPED_TRACE(testing::Message() << "mode " << c.mode << " Kaiser " << c.kaiserDb << " stop " << hz);
      EXPECT_LT(GainDb(values, hz), c.stopDb);
    }
  }
}

}  // namespace
}  // namespace ztlive
