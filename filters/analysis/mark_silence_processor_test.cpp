// The silence finder over real 24-bit files: its markers against a computation of the same
// detector written out here on whole arrays, and against where the silent passages are.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <vector>

#include "filters/analysis/mark_silence_processor.h"
#include "testing/engine_run.h"

namespace ztlive {
namespace {

constexpr int kBytesPerSample = 3;  // the engine runs over 24-bit files

struct Stretch {
  double seconds;
  bool tone;
};

// Tones at half scale (left only for stereo, so the right channel's silence must not hide
// them) with silent stretches between; every value carries a DC offset and faint noise.
std::vector<SampleValue> MakeSignal(const std::vector<Stretch>& stretches, int channels, double rate) {
  std::mt19937 random(11);
  std::normal_distribution<double> noise(0, 200);
  constexpr double kOffset = 0.05 * 8388607;
  std::vector<SampleValue> values;
  size_t frame = 0;
  for (const Stretch& stretch : stretches) {
    const auto frames = static_cast<size_t>(stretch.seconds * rate);
    for (size_t i = 0; i < frames; ++i, ++frame) {
      const double tone = stretch.tone ? 0.5 * 8388607 * std::sin(2 * M_PI * 440 * frame / rate) : 0;
      values.push_back(static_cast<SampleValue>(kOffset + tone + noise(random)));
      if (channels == 2) values.push_back(static_cast<SampleValue>(kOffset + noise(random)));
    }
  }
  return values;
}

// The detector on whole arrays: the mono mix, the 30 Hz high-pass, the envelope, then the
// passages below the threshold and their markers.
std::vector<uint32_t> ExpectedMarkers(const std::vector<SampleValue>& values, int channels, double rate, int thresholdDb,
                                      int tenths) {
  const size_t frames = values.size() / static_cast<size_t>(channels);
  std::vector<double> mono(frames);
  for (size_t i = 0; i < frames; ++i)
    mono[i] = (channels == 2 ? (double(values[2 * i]) + values[2 * i + 1]) / 2 : values[i]) + 0.01;

  const double k = std::tan(M_PI * 30 / rate);
  const double n = 1 + 1.414213 * k + k * k;
  std::vector<double> high(frames);
  for (size_t i = 0; i < frames; ++i) {
    const double x1 = i >= 1 ? mono[i - 1] : 0, x2 = i >= 2 ? mono[i - 2] : 0;
    const double y1 = i >= 1 ? high[i - 1] : 0, y2 = i >= 2 ? high[i - 2] : 0;
    high[i] = (mono[i] - 2 * x1 + x2 - 2 * (k * k - 1) * y1 - (1 - 1.414213 * k + k * k) * y2) / n;
  }
  const double e = std::tan(5 / rate);
  std::vector<double> envelope(frames);
  for (size_t i = 0; i < frames; ++i) {
    const double x1 = i >= 1 ? std::fabs(high[i - 1]) : 0, y1 = i >= 1 ? envelope[i - 1] : 0;
    envelope[i] = (e * (std::fabs(high[i]) + x1) + (1 - e) * y1) / (1 + e);
  }

  const double threshold = std::pow(10.0, thresholdDb / 20.0) * 8388352;
  const uint64_t frameBytes = static_cast<uint64_t>(channels * kBytesPerSample);
  const double minimum = tenths / 10.0 * rate * static_cast<double>(frameBytes);
  std::vector<uint32_t> markers;
  std::optional<uint64_t> start;
  for (size_t i = 0; i < frames; ++i) {
    const uint64_t at = i * frameBytes;
    if (envelope[i] < threshold) {
      if (!start) start = at;
    } else if (start) {
      if (double(at - *start) > minimum) {
        const uint64_t marker = at - (at - *start) / 4;
        markers.push_back(static_cast<uint32_t>(marker - marker % frameBytes));
      }
      start.reset();
    }
  }
  return markers;
}

std::vector<uint32_t> FoundMarkers(const std::vector<SampleValue>& values, int channels, uint32_t rate, int thresholdDb,
                                   int tenths) {
  MarkSilenceProcessor engine;
  PresetValues settings;
  settings.p[0] = thresholdDb;
  settings.p[1] = tenths;
  engine.SetValues(settings);
  EXPECT_EQ(test::RunEngine(engine, channels, rate, values), std::vector<SampleValue>{});  // writes nothing
  EXPECT_EQ(engine.FoundCount(), static_cast<int>(engine.Positions().size()));
  return {engine.Positions().begin(), engine.Positions().end()};
}

TEST(MarkSilence, MarksThreeQuartersIntoEveryLongPassageAndNothingInShortOnes) {
  // Silences of 0.4 s and 0.6 s are too short (the envelope needs about 0.35 s to fall below
  // -40 dB after a tone); those of 1.5 s and 2 s are long enough at 0.5 s minimum. The last
  // silence is never closed by a tone and gets no marker.
  const std::vector<Stretch> stretches = {{0.5, true}, {0.4, false}, {0.5, true}, {1.5, false}, {0.5, true},
                                          {0.6, false}, {0.5, true}, {2.0, false}, {0.5, true}, {1.0, false}};
  struct Case {
    int channels;
    uint32_t rate;
    int thresholdDb;
    int tenths;
    size_t expectedCount;
  };
  const Case cases[] = {
      {1, 8000, -40, 5, 2},
      {2, 8000, -40, 5, 2},
      {2, 22050, -40, 5, 2},
      {1, 8000, -40, 13, 1},   // only the 2 s silence is long enough
      {1, 8000, -40, 100, 0},  // nothing is 10 s long
      {2, 8000, -20, 6, 3},    // a higher threshold is reached sooner: the 0.6 s silence counts
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " ch, " + std::to_string(c.rate) + " Hz, " +
                 std::to_string(c.thresholdDb) + " dB, " + std::to_string(c.tenths) + " tenths");
    const std::vector<SampleValue> values = MakeSignal(stretches, c.channels, c.rate);
    const std::vector<uint32_t> found = FoundMarkers(values, c.channels, c.rate, c.thresholdDb, c.tenths);
    EXPECT_EQ(found, ExpectedMarkers(values, c.channels, c.rate, c.thresholdDb, c.tenths));
    EXPECT_EQ(found.size(), c.expectedCount);
    if (c.thresholdDb != -40) continue;
    // Each marker in the second half of a silence long enough, whole frames, ascending.
    const double bytesPerSecond = double(c.rate) * c.channels * kBytesPerSample;
    for (const uint32_t marker : found) {
      EXPECT_EQ(marker % static_cast<uint32_t>(c.channels * kBytesPerSample), 0u);
      double at = 0;
      bool inLongSilence = false;
      for (const Stretch& stretch : stretches) {
        const double from = at * bytesPerSecond, to = (at + stretch.seconds) * bytesPerSecond;
        if (!stretch.tone && marker > (from + to) / 2 && marker < to && stretch.seconds * 10 - 3.5 > c.tenths)
          inLongSilence = true;
        at += stretch.seconds;
      }
      EXPECT_TRUE(inLongSilence) << marker;
    }
  }
}

TEST(MarkSilence, KeepsAHundredPositionsAndCountsTheRest) {
  std::vector<Stretch> stretches;
  for (int i = 0; i < 110; ++i) stretches.insert(stretches.end(), {{0.1, true}, {0.3, false}});
  stretches.push_back({0.1, true});
  const std::vector<SampleValue> values = MakeSignal(stretches, 1, 8000);
  MarkSilenceProcessor engine;
  PresetValues settings;
  settings.p[0] = -20;
  settings.p[1] = 1;
  engine.SetValues(settings);
  test::RunEngine(engine, 1, 8000, values);
  const std::vector<uint32_t> expected = ExpectedMarkers(values, 1, 8000, -20, 1);
  ASSERT_EQ(expected.size(), 110u);
  EXPECT_EQ(engine.FoundCount(), 110);
  EXPECT_EQ(std::vector<uint32_t>(engine.Positions().begin(), engine.Positions().end()),
            std::vector<uint32_t>(expected.begin(), expected.begin() + 100));
}

}  // namespace
}  // namespace ztlive
