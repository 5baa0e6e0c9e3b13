// The edit commands and their primitives on real wave files: a random sequence of edits
// checked against a model of the samples and undone back to the original bytes, each
// primitive's formula computed here on its own, the questions of Gain Normalize, the edge
// cases, and a crossfade preview played on the virtual sound card.
#include "document/edit_commands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "core/device_engine.h"
#include "core/full_scale.h"
#include "core/wave_ranges.h"
#include "platform/message_queue.h"
#include "platform/scripted_prompts.h"
#include "platform/settings_store.h"
#include "platform/string_table.h"
#include "platform/virtual_sound_card.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using test::TestFolder;
using test::WaveBytes;
using Values = std::vector<int32_t>;  // samples in the 24-bit scale, interleaved

constexpr double kE10 = 22026.465794806718;

struct Shape {
  uint16_t channels;
  uint16_t bits;
};

// What a file of these bits holds for a value: 16-bit files keep the top 16 bits.
int32_t Stored(int64_t value, int bits) {
  const auto clipped = static_cast<int32_t>(std::clamp<int64_t>(value, -8388608, 8388607));
  return bits == 16 ? (clipped >> 8) * 256 : clipped;
}

void WriteWave(const std::string& path, Shape shape, const Values& values, uint32_t rate = 8000) {
  std::vector<uint8_t> bytes;
  for (const int32_t v : values) {
    const auto bits = static_cast<uint32_t>(v);
    if (shape.bits == 24) bytes.push_back(static_cast<uint8_t>(bits));
    bytes.push_back(static_cast<uint8_t>(bits >> 8));
    bytes.push_back(static_cast<uint8_t>(bits >> 16));
  }
  test::WriteBytes(path, WaveBytes().Format(1, shape.channels, rate, shape.bits).Data(bytes).Build());
}

// The data chunk's values, found by walking the chunks.
Values ReadWave(const std::string& path, int bits) {
  const std::vector<uint8_t> bytes = test::ReadBytes(path);
  size_t at = 12;
  while (at + 8 <= bytes.size()) {
    uint32_t size = 0;
    std::memcpy(&size, bytes.data() + at + 4, 4);
    if (std::memcmp(bytes.data() + at, "data", 4) == 0) {
      Values values;
      const size_t width = bits / 8;
      for (size_t i = at + 8; i + width <= at + 8 + size && i + width <= bytes.size(); i += width) {
        int32_t v = bits == 16 ? static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8) * 256
                               : static_cast<int32_t>(static_cast<uint32_t>(bytes[i] << 8 | bytes[i + 1] << 16 |
                                                                            bytes[i + 2] << 24)) >> 8;
        values.push_back(v);
      }
      return values;
    }
    at += 8 + size + (size & 1);
  }
  return {};
}

Values RandomValues(size_t count, int bits, std::mt19937& random, int32_t amplitude = 6000000) {
  std::uniform_int_distribution<int32_t> value(-amplitude, amplitude);
  Values values(count);
  for (int32_t& v : values) v = Stored(value(random), bits);
  return values;
}

// ApplyGainCurve's factor, written out from its definition.
double ExpectedFactor(int mode, double g1, double g2, double p1, double p2, double x, double length) {
  const double t = x / length;
  if (mode == 0) return 0;
  if (mode == 1) return g1 + (g2 - g1) * t;
  if (mode == 2) return g1 + (g2 - g1) / kE10 * std::exp(10 * t);
  if (mode == 3) return g2 + (g1 - g2) / kE10 * std::exp(10 * (1 - t));
  const double c = 3 * (p1 - g1);
  const double b = 3 * (p2 - p1) - c;
  const double a = g2 - g1 - c - b;
  return std::pow(10.0, (g1 + c * t + b * t * t + a * t * t * t) * 0.05);
}

// Scales model frames [first, last) as ApplyGainCurve does.
void ModelGain(Values& model, Shape shape, size_t first, size_t last, int mode, double g1, double g2, double p1 = 0,
               double p2 = 0) {
  const int width = shape.bits / 8;
  const double length = static_cast<double>((last - first) * shape.channels * width);
  for (size_t f = first; f < last; ++f) {
    const double x = static_cast<double>((f - first) * shape.channels * width);
    const double factor = ExpectedFactor(mode, g1, g2, p1, p2, x, length);
    for (int c = 0; c < shape.channels; ++c) {
      int32_t& v = model[f * shape.channels + c];
      v = Stored(static_cast<int64_t>(std::trunc(v * factor)), shape.bits);
    }
  }
}

class EditTest : public ::testing::Test {
 protected:
  EditTarget Target(uint64_t start, uint64_t end, UndoPane pane = kPaneSource) {
    return EditTarget{document, pane, file, start, end};
  }

  TestFolder folder;
  TestFolder temp;
  SettingsStore settings{folder.File("settings.ini")};
  const int stored = settings.WriteText("zantopaths", "TempPath", temp.Path()) +
                     settings.Write(setting::kMaxUndoLevs, 100);  // before the document
  ScriptedPrompts prompts;
  CZantoDoc document{folder.File("take.wav"), settings, prompts};
  std::string file = folder.File("take.wav");
};

// Thirty-three random edits of every kind, each checked against the model, then all undone newest
// first: the file ends byte for byte as it began.
class EditSequenceTest : public EditTest, public ::testing::WithParamInterface<Shape> {};

TEST_P(EditSequenceTest, RandomEditsMatchTheModelAndUndoRestoresTheOriginalBytes) {
  const Shape shape = GetParam();
  const int frame = shape.channels * shape.bits / 8;
  std::mt19937 random(20261208);
  Values model = RandomValues(3000 * shape.channels, shape.bits, random);
  WriteWave(file, shape, model);
  const std::vector<uint8_t> original = test::ReadBytes(file);
  const std::string clip = folder.File("clip.wav");
  Values clipModel;
  ASSERT_EQ(CopyRange(file, clip, 0, 500 * static_cast<uint64_t>(frame), 0, 0, prompts), 1);
  clipModel.assign(model.begin(), model.begin() + 500 * shape.channels);

  int recorded = 0;
  for (int step = 0; step < 33; ++step) {
    const size_t frames = model.size() / shape.channels;
    std::uniform_int_distribution<size_t> anyFrame(0, frames);
    size_t first = anyFrame(random);
    size_t last = anyFrame(random);
    if (first > last) std::swap(first, last);
    if (last == first) last = std::min(frames, first + 1);
    if (last == first) first = 0;
    const EditTarget target = Target(first * frame, last * frame);
    const auto at = [&](size_t f) { return model.begin() + static_cast<ptrdiff_t>(f * shape.channels); };
    const int op = step % 11;
    SCOPED_TRACE("step " + std::to_string(step) + " op " + std::to_string(op) + " frames " + std::to_string(first) +
                 "-" + std::to_string(last));
    EditOutcome outcome;
    switch (op) {
      case 0:
        outcome = CutSelection(target);
        model.erase(at(first), at(last));
        break;
      case 1:
        outcome = PasteInsert(target, clip);
        model.insert(at(first), clipModel.begin(), clipModel.end());
        break;
      case 2: {
        outcome = PasteOver(target, clip);
        const size_t count = std::min(clipModel.size(), (last - first) * shape.channels);
        std::copy_n(clipModel.begin(), count, at(first));
        break;
      }
      case 3: {
        outcome = PasteMix(target, clip, MixSettings{70, 40});
        const size_t count = std::min(clipModel.size(), (last - first) * shape.channels);
        for (size_t i = 0; i < count; ++i) {
          int32_t& v = *(at(first) + static_cast<ptrdiff_t>(i));
          v = Stored((static_cast<int64_t>(clipModel[i]) * 70 + static_cast<int64_t>(v) * 40) / 100, shape.bits);
        }
        break;
      }
      case 4:
        outcome = FadeSelection(target, FadeSettings{-600, 0, FadeCurve::Linear, 0, 0});
        ModelGain(model, shape, first, last, 1, std::pow(10.0, -0.3), 1.0);
        break;
      case 5:
        outcome = FadeSelection(target, FadeSettings{0, -2000, FadeCurve::Logarithmic, 0, 0});
        ModelGain(model, shape, first, last, 3, 1.0, std::pow(10.0, -1.0));
        break;
      case 6:
        outcome = FadeSelection(target, FadeSettings{350, 350, FadeCurve::Linear, 0, 0});
        ModelGain(model, shape, first, last, 1, std::pow(10.0, 0.175), std::pow(10.0, 0.175));
        break;
      case 7:
        outcome = ReverseSelection(target);
        for (size_t f = 0; f < (last - first) / 2; ++f)
          std::swap_ranges(at(first + f), at(first + f + 1), at(last - 1 - f));
        break;
      case 8: {
        outcome = InsertSilence(target, SilenceSettings{0.01, SilencePlace::SelectionStart});
        model.insert(at(first), 80 * shape.channels, 0);
        break;
      }
      case 9: {
        // The clip faded in from the selection start, up to the end of the file.
        const CrossfadeSettings fade{-200, 0, 0, -200, 0, false, false};
        outcome = CrossfadeClipboard(target, clip, fade, {});
        const CrossfadeLevels levels = CrossfadePercentages(fade);
        const size_t count = std::min(clipModel.size(), model.size() - first * shape.channels);
        const double n = static_cast<double>(count);
        for (size_t i = 0; i < count; ++i) {
          const double r = n - static_cast<double>(i / shape.channels * shape.channels);
          const double gainA = levels.a1 + (levels.a0 - levels.a1) * r / n;
          const double gainB = levels.b1 + (levels.b0 - levels.b1) * r / n;
          int32_t& v = *(at(first) + static_cast<ptrdiff_t>(i));
          const auto mixed = static_cast<int64_t>(std::trunc((clipModel[i] * gainA + v * gainB) / 100.0));
          v = Stored(std::clamp<int64_t>(mixed, FullScaleLow(), FullScaleHigh()), shape.bits);
        }
        break;
      }
      default:
        prompts.Script(PromptAnswer::Yes);  // the mute question
        outcome = MuteSelection(target);
        std::fill(at(first), at(last), 0);
        break;
    }
    ASSERT_FALSE(outcome.failed);
    ASSERT_TRUE(outcome.changed);
    ASSERT_TRUE(outcome.undoRecorded);
    ++recorded;
    ASSERT_EQ(ReadWave(file, shape.bits), model);
  }
  EXPECT_EQ(prompts.UnscriptedQuestions(), 0u);
  ASSERT_EQ(document.Undo().Count(), recorded);
  while (document.Undo().Count() > 0) {
    uint32_t start = 0;
    uint32_t end = 0;
    ASSERT_GE(document.Undo().ApplyUndo(0, start, end), 0);
    document.Undo().RemoveUndoEntry(0);
  }
  EXPECT_EQ(test::ReadBytes(file), original);
}

INSTANTIATE_TEST_SUITE_P(Shapes, EditSequenceTest, ::testing::Values(Shape{2, 16}, Shape{1, 24}));

struct GainCase {
  const char* name;
  Shape shape;
  int mode;
  double g1, g2, p1, p2;
};

TEST_F(EditTest, GainCurvesFollowTheirFormulas) {
  const GainCase cases[] = {
      {"mute", {2, 16}, 0, 1, 1, 0, 0},
      {"linear down", {2, 16}, 1, 1, 0, 0, 0},
      {"linear gain", {1, 24}, 1, 1.7, 1.7, 0, 0},
      {"log fade in", {2, 16}, 2, 0.1, 1, 0, 0},
      {"log fade out", {1, 24}, 3, 1, 0.05, 0, 0},
      {"adjustable", {2, 16}, 11, -20, 0, 6, -12},
      {"adjustable 24", {1, 24}, 11, 0, -40, -3, 3},
  };
  for (const GainCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::mt19937 random(7);
    Values model = RandomValues(5000 * c.shape.channels, c.shape.bits, random, 8000000);
    WriteWave(file, c.shape, model);
    const size_t frame = c.shape.channels * c.shape.bits / 8;
    ASSERT_EQ(ApplyGainCurve(file, 1000 * frame + 1, 4700 * frame, c.g1, c.g2, c.mode, c.p1, c.p2, prompts), 1);
    ModelGain(model, c.shape, 1000, 4700, c.mode, c.g1, c.g2, c.p1, c.p2);
    EXPECT_EQ(ReadWave(file, c.shape.bits), model);
  }
}

TEST_F(EditTest, GainCurveEdgeCases) {
  const Shape mono{1, 16};
  WriteWave(file, mono, Values(1000, 4000 * 256));
  // A linear fade from 1 to 0 leaves the first sample and brings the last to almost nothing.
  ASSERT_EQ(ApplyGainCurve(file, 0, 2000, 1, 0, kGainLinear, 0, 0, prompts), 1);
  Values faded = ReadWave(file, 16);
  EXPECT_EQ(faded.front(), 4000 * 256);
  EXPECT_LE(std::abs(faded.back()), 4 * 256);
  // A log fade in starts at g1 + (g2 - g1) / e^10, not at g1.
  WriteWave(file, mono, Values(1000, 4000 * 256));
  ASSERT_EQ(ApplyGainCurve(file, 0, 2000, 0, 1, kGainLogFadeIn, 0, 0, prompts), 1);
  EXPECT_EQ(ReadWave(file, 16).front(), Stored(static_cast<int64_t>(4000 * 256 / kE10), 16));
  // A range past the data is refused before anything is written.
  const std::vector<uint8_t> before = test::ReadBytes(file);
  EXPECT_EQ(ApplyGainCurve(file, 0, 2002, 0, 0, kGainMute, 0, 0, prompts), 0);
  EXPECT_EQ(prompts.Texts().back(), StringText(StringId::kArraySizeMismatch));
  EXPECT_EQ(test::ReadBytes(file), before);
}

TEST_F(EditTest, CrossfadeCurvesFollowTheirFormulas) {
  const Shape stereo{2, 16};
  const CrossfadeLevels levels{90, 20, 10, 120};
  for (const int curve : {0, 1, 2, 3, 7}) {
    SCOPED_TRACE("curve " + std::to_string(curve));
    std::mt19937 random(curve);
    const Values a = RandomValues(600 * 2, 16, random);
    Values b = RandomValues(2000 * 2, 16, random);
    WriteWave(folder.File("a.wav"), stereo, a);
    WriteWave(file, stereo, b);
    // A's range (frames 100 ... 500) is shorter than B's (frames 300 ... 1300): silence after it.
    ASSERT_EQ(CrossfadeFiles(folder.File("a.wav"), file, 400, 2000, 1200, 5200, levels, curve, {}, prompts), 1);
    const double n = 2000;
    for (size_t f = 0; f < 1000; ++f) {
      const double r = n - 2.0 * static_cast<double>(f);
      auto gain = [&](double s, double e) {
        switch (curve) {
          case 0: return 0.0;
          case 1: return e + (s - e) * r / n;
          case 2: return e + (s - e) / kE10 * std::exp(10 * r / n);
          case 3: return s + (e - s) / kE10 * std::exp(10 * (1 - r / n));
          default: return 100.0;
        }
      };
      for (size_t c = 0; c < 2; ++c) {
        const int32_t fromA = f < 400 ? a[(100 + f) * 2 + c] : 0;
        const size_t i = (300 + f) * 2 + c;
        const double mixed = (fromA * gain(levels.a0, levels.a1) + b[i] * gain(levels.b0, levels.b1)) / 100.0;
        b[i] = Stored(std::clamp<int64_t>(static_cast<int64_t>(std::trunc(mixed)), FullScaleLow(), FullScaleHigh()), 16);
      }
    }
    ASSERT_EQ(ReadWave(file, 16), b);
  }
}

TEST_F(EditTest, CrossfadeSettingsBecomePercentagesAndCurves) {
  const CrossfadeLevels levels = CrossfadePercentages(CrossfadeSettings{0, -200, 60, -60, 0, false, false});
  EXPECT_DOUBLE_EQ(levels.a0, 100.0);
  EXPECT_NEAR(levels.a1, 10.0, 1e-9);  // -20 dB
  EXPECT_NEAR(levels.b0, 100.0 * std::pow(10.0, 0.3), 1e-9);
  EXPECT_NEAR(levels.b1, 100.0 * std::pow(10.0, -0.3), 1e-9);
  EXPECT_EQ(CrossfadeCurveOf(1), kCrossfadeLogOut);
  EXPECT_EQ(CrossfadeCurveOf(2), kCrossfadeLogIn);
  EXPECT_EQ(CrossfadeCurveOf(0), kCrossfadeLinear);
  EXPECT_EQ(CrossfadeCurveOf(5), kCrossfadeLinear);
}

TEST_F(EditTest, FadeSettingsBecomeGainsAndModes) {
  struct Case {
    FadeSettings settings;
    int mode;
    double g1, g2, p1, p2;
  };
  const Case cases[] = {
      {{-600, 0, FadeCurve::Linear, 0, 0}, kGainLinear, std::pow(10.0, -0.3), 1, 0, 0},
      {{0, -1200, FadeCurve::Logarithmic, 0, 0}, kGainLogFadeOut, 1, std::pow(10.0, -0.6), 0, 0},
      {{-1200, 0, FadeCurve::Logarithmic, 0, 0}, kGainLogFadeIn, std::pow(10.0, -0.6), 1, 0, 0},
      {{300, 300, FadeCurve::Logarithmic, 0, 0}, kGainLogFadeIn, std::pow(10.0, 0.15), std::pow(10.0, 0.15), 0, 0},
      {{-2000, 150, FadeCurve::Adjustable, 450, -900}, kGainAdjustable, -20, 1.5, 4.5, -9},
  };
  for (const Case& c : cases) {
    const GainCurve curve = GainCurveOf(c.settings);
    EXPECT_EQ(curve.mode, c.mode);
    EXPECT_NEAR(curve.g1, c.g1, 1e-12);
    EXPECT_NEAR(curve.g2, c.g2, 1e-12);
    EXPECT_NEAR(curve.p1, c.p1, 1e-12);
    EXPECT_NEAR(curve.p2, c.p2, 1e-12);
  }
}

TEST_F(EditTest, NormalizeAsksItsQuestionsAndScalesToTheTarget) {
  struct Case {
    const char* name;
    int32_t peak;  // 16-bit
    NormalizeSettings settings;
    UndoPane pane;
    std::vector<PromptAnswer> answers;
    std::vector<StringId> questions;
    bool applied;
  };
  const Case cases[] = {
      {"half scale, source", 16384, {}, kPaneSource, {PromptAnswer::Yes}, {StringId::kNormalizeSourceQuestion}, true},
      {"declined", 16384, {}, kPaneDestination, {PromptAnswer::No}, {StringId::kNormalizeDestinationQuestion}, false},
      {"full scale asks", 32767, {}, kPaneSource, {PromptAnswer::Yes, PromptAnswer::No},
       {StringId::kNormalizeSourceQuestion, StringId::kNormalizeSmallGain}, false},
      {"full scale, yes", 32767, {}, kPaneSource, {PromptAnswer::Yes, PromptAnswer::Yes},
       {StringId::kNormalizeSourceQuestion, StringId::kNormalizeSmallGain}, true},
      {"scaling dialog -6 dB", 20000, {true, -6.0}, kPaneSource, {}, {}, true},
      {"quieter without question", 32000, {true, -3.0}, kPaneSource, {}, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    prompts.Clear();
    for (const PromptAnswer answer : c.answers) prompts.Script(answer);
    Values values(4000);
    for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<int32_t>(c.peak * std::sin(i * 0.01)) * 256;
    values[1234] = c.peak * 256;
    WriteWave(file, Shape{1, 16}, values);
    const EditOutcome outcome = NormalizeSelection(Target(0, 8000, c.pane), c.settings);
    std::vector<std::string> asked;
    for (const auto& entry : prompts.Entries())
      if (entry.isQuestion) asked.push_back(entry.text);
    std::vector<std::string> expected;
    for (const StringId id : c.questions) expected.emplace_back(StringText(id));
    EXPECT_EQ(asked, expected);
    EXPECT_EQ(prompts.UnscriptedQuestions(), 0u);
    EXPECT_EQ(outcome.changed, c.applied);
    if (c.applied) {
      const double target = c.settings.scalingDialog ? c.settings.targetDb : 0.0;
      const double gain = FullScaleHigh() / (c.peak * 256.0) * std::pow(10.0, target / 20.0);
      ModelGain(values, Shape{1, 16}, 0, 4000, 1, gain, gain);
    }
    EXPECT_EQ(ReadWave(file, 16), values);
  }
}

TEST_F(EditTest, NormalizeOfALongSelectionAsksWhetherToKeepUndo) {
  const Values values(2600000, 1000 * 256);  // 5.2 MB of 16-bit samples
  for (const PromptAnswer answer : {PromptAnswer::Cancel, PromptAnswer::No, PromptAnswer::Yes}) {
    WriteWave(file, Shape{1, 16}, values);
    const int entries = document.Undo().Count();
    prompts.Clear();
    prompts.Script(PromptAnswer::Yes);
    prompts.Script(answer);
    const EditOutcome outcome = NormalizeSelection(Target(0, 5200000), {});
    EXPECT_EQ(prompts.Entries().at(1).text, StringText(StringId::kSaveUndoQuestion));
    EXPECT_EQ(outcome.changed, answer != PromptAnswer::Cancel);
    EXPECT_EQ(document.Undo().Count() - entries, answer == PromptAnswer::Yes ? 1 : 0);
  }
}

TEST_F(EditTest, InterpolateRebuildsShortSelectionsAndRefusesLongOnes) {
  Values sine(6000);
  for (size_t i = 0; i < sine.size(); ++i) sine[i] = Stored(static_cast<int64_t>(3e6 * std::sin(i * 0.05)), 16);
  Values broken = sine;
  for (size_t f = 2000; f < 2100; ++f) broken[f * 2] = broken[f * 2 + 1] = 7000000 / 256 * 256;
  WriteWave(file, Shape{2, 16}, broken);
  const std::vector<uint8_t> before = test::ReadBytes(file);
  EXPECT_TRUE(InterpolateSelection(Target(8000, 8000 + 2049), InterpolateChannels::Both).failed);
  EXPECT_EQ(prompts.Texts().back(), StringText(StringId::kInterpolateTooLarge));
  EXPECT_EQ(test::ReadBytes(file), before);

  // Left only: the right channel keeps its click.
  const EditOutcome outcome = InterpolateSelection(Target(8000, 8400), InterpolateChannels::Left);
  ASSERT_FALSE(outcome.failed);
  const Values repaired = ReadWave(file, 16);
  for (size_t f = 0; f < 3000; ++f) {
    const bool gap = f >= 2000 && f < 2100;
    if (gap) {
      EXPECT_NEAR(repaired[f * 2], sine[f * 2], 3e4) << f;
    } else {
      EXPECT_EQ(repaired[f * 2], broken[f * 2]) << f;
    }
    EXPECT_EQ(repaired[f * 2 + 1], broken[f * 2 + 1]) << f;
  }
}

TEST_F(EditTest, InsertingThreeSecondsOfSilenceAddsTheirBytesAndStoresTheSettings) {
  WriteWave(file, Shape{2, 16}, Values(4410 * 2, 256), 44100);
  const EditOutcome outcome = InsertSilence(Target(400, 800), SilenceSettings{3.0, SilencePlace::FileEnd});
  ASSERT_FALSE(outcome.failed);
  EXPECT_TRUE(outcome.lengthChanged);
  EXPECT_EQ(outcome.rebuildFrom, 17640u);
  WaveInfo info;
  ASSERT_EQ(ReadWaveInfo(file, info, prompts), 0);
  EXPECT_EQ(info.dataBytes, 17640u + 529200u);
  EXPECT_EQ(settings.Read(setting::kSilenceLength), "3");
  EXPECT_EQ(settings.Read(setting::kSilencePaste), 1);
}

TEST_F(EditTest, CuttingTheWholeFileLeavesAnEmptyWaveFile) {
  WriteWave(file, Shape{1, 24}, Values(777, 5 * 256));
  ASSERT_FALSE(CutSelection(Target(0, 777 * 3)).failed);
  WaveInfo info;
  ASSERT_EQ(ReadWaveInfo(file, info, prompts), 0);
  EXPECT_EQ(info.dataBytes, 0u);
  EXPECT_EQ(test::ReadBytes(file).size(), 44u);
}

TEST_F(EditTest, ReverseKeepsEachFramesChannelsInPlace) {
  const Values values{1 * 256, -1 * 256, 2 * 256, -2 * 256, 3 * 256, -3 * 256, 4 * 256, -4 * 256};
  WriteWave(file, Shape{2, 16}, values);
  ASSERT_FALSE(ReverseSelection(Target(4, 16)).failed);
  EXPECT_EQ(ReadWave(file, 16), (Values{256, -256, 1024, -1024, 768, -768, 512, -512}));
}

TEST_F(EditTest, AnEditWhoseUndoCannotBeSavedAsksFirst) {
  WriteWave(file, Shape{1, 16}, Values(1000, 1000 * 256));
  settings.WriteText("zantopaths", "TempPath", folder.File("missing"));
  CZantoDoc orphan{file, settings, prompts};
  prompts.Script(PromptAnswer::No);
  const EditOutcome declined = FadeSelection(EditTarget{orphan, kPaneSource, file, 0, 2000}, FadeSettings{-600, -600});
  EXPECT_FALSE(declined.changed);
  EXPECT_EQ(prompts.Entries().back().text, StringText(StringId::kUndoSaveFailed));
  EXPECT_EQ(ReadWave(file, 16), Values(1000, 1000 * 256));
  prompts.Script(PromptAnswer::Yes);
  const EditOutcome anyway = FadeSelection(EditTarget{orphan, kPaneSource, file, 0, 2000}, FadeSettings{-600, -600});
  EXPECT_TRUE(anyway.changed);
  EXPECT_FALSE(anyway.undoRecorded);
  EXPECT_NE(ReadWave(file, 16), Values(1000, 1000 * 256));
}

TEST_F(EditTest, ACrossfadePreviewPlaysTheResultAndLeavesTheFilesAlone) {
  RunState run;
  run.loopPreview = 0;
  MessageQueue queue;
  VirtualSoundCard card;
  WaveStream input{4096, 8192, run};
  WaveStream output{4096, 8192, run};
  DeviceEngine devices{card, queue, prompts, run, output, input, {}};
  queue.SetPumpHook([&](int) { card.Advance(512); });
  std::mt19937 random(3);
  const Values a = RandomValues(3000, 16, random);
  const Values b = RandomValues(9000, 16, random);
  WriteWave(folder.File("source.wav"), Shape{1, 16}, a);
  WriteWave(file, Shape{1, 16}, b);
  const std::vector<uint8_t> before = test::ReadBytes(file);
  const CrossfadeSettings fade{-60, 0, 0, -60, 0, true, true};
  const EditOutcome outcome =
      CrossfadeSourceIntoDestination(EditTarget{document, kPaneSource, folder.File("source.wav"), 0, 6000},
                                     Target(2000, 12000, kPaneDestination), fade,
                                     CrossfadeControl{&queue, &run, &devices, &output});
  EXPECT_FALSE(outcome.failed);
  EXPECT_FALSE(outcome.changed);
  EXPECT_FALSE(devices.OutputOpen());
  EXPECT_EQ(test::ReadBytes(file), before);
  // What was played is what the written form would have put into the file.
  std::vector<int16_t> played(card.Played().size() / 2);
  std::memcpy(played.data(), card.Played().data(), played.size() * 2);
  ASSERT_EQ(CrossfadeFiles(folder.File("source.wav"), file, 0, 6000, 2000, 12000, CrossfadePercentages(fade),
                           kCrossfadeLinear, {}, prompts),
            1);
  const Values written = ReadWave(file, 16);
  ASSERT_EQ(played.size(), 5000u);
  for (size_t i = 0; i < played.size(); ++i) ASSERT_EQ(played[i] * 256, written[1000 + i]) << i;
}

TEST_F(EditTest, AStopRequestEndsACrossfadePreviewEarly) {
  RunState run;
  run.loopPreview = 0;
  run.stopRequested.store(1);  // left over from an earlier run: no reason to stop this one
  MessageQueue queue;
  VirtualSoundCard card;
  WaveStream input{4096, 8192, run};
  WaveStream output{4096, 8192, run};
  DeviceEngine devices{card, queue, prompts, run, output, input, {}};
  int pumps = 0;
  queue.SetPumpHook([&](int) {
    card.Advance(512);
    if (++pumps == 40) run.stopRequested.store(1);
  });
  WriteWave(folder.File("source.wav"), Shape{1, 16}, Values(200000, 256));
  WriteWave(file, Shape{1, 16}, Values(200000, 512));
  const CrossfadeSettings fade{0, 0, 0, 0, 0, true, true};
  const EditOutcome outcome =
      CrossfadeSourceIntoDestination(EditTarget{document, kPaneSource, folder.File("source.wav"), 0, 400000},
                                     Target(0, 400000, kPaneDestination), fade,
                                     CrossfadeControl{&queue, &run, &devices, &output});
  EXPECT_FALSE(outcome.failed);
  EXPECT_FALSE(devices.OutputOpen());
  EXPECT_GT(pumps, 0);
  EXPECT_LT(card.Played().size(), 400000u) << "the preview stopped before its end";
}

TEST_F(EditTest, ASelectionBeyondTheDataIsRefusedBeforeUndoOrAnyWrite) {
  WriteWave(file, Shape{2, 16}, Values(2000, 256));
  const std::vector<uint8_t> before = test::ReadBytes(file);
  for (auto edit : {+[](const EditTarget& t) { return CutSelection(t); },
                    +[](const EditTarget& t) { return ReverseSelection(t); },
                    +[](const EditTarget& t) { return FadeSelection(t, FadeSettings{-600, 0}); }}) {
    prompts.Clear();
    EXPECT_TRUE(edit(Target(3000, 4004)).failed);
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{std::string(StringText(StringId::kArraySizeMismatch))});
  }
  EXPECT_EQ(document.Undo().Count(), 0);
  EXPECT_EQ(test::ReadBytes(file), before);
}

TEST_F(EditTest, PastesOfAnotherFormatAreRefused) {
  WriteWave(file, Shape{1, 16}, Values(1000, 256));
  WriteWave(folder.File("clip.wav"), Shape{2, 16}, Values(200, 256));
  const std::vector<uint8_t> before = test::ReadBytes(file);
  EXPECT_TRUE(PasteInsert(Target(0, 0), folder.File("clip.wav")).failed);
  EXPECT_TRUE(PasteOver(Target(0, 100), folder.File("clip.wav")).failed);
  EXPECT_EQ(MixIntoFile(folder.File("clip.wav"), file, 0, 0, 0, 100, 50, 50, prompts), 0);
  EXPECT_EQ(prompts.Texts().back(), StringText(StringId::kFormatsDiffer));
  EXPECT_EQ(test::ReadBytes(file), before);
  EXPECT_EQ(document.Undo().Count(), 0);
}

}  // namespace
}  // namespace ztlive
