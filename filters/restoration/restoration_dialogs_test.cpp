// The impulse and continuous noise windows over a real filter run: user input on the real
// widgets, values reaching the engines in their own order, the "Impulse2" switching rule,
// presets read back by the engines, runs over wave files with clicks and hiss, and the noise
// print's sampling, shifting, reset and presets.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <cmath>

#include "filters/framework/preset_store.h"
#include "filters/restoration/continuous_noise_dialog.h"
#include "filters/restoration/continuous_noise_filter.h"
#include "filters/restoration/impulse_dialog.h"
#include "filters/restoration/impulse_filter.h"
#include "filters/restoration/noise_print_graph.h"
#include "platform/string_table.h"
#include "testing/engine_run.h"
#include "testing/gui_test_support.h"
#include "testing/run_test_host.h"
#include "testing/settings_window_input.h"
#include "testing/test_folder.h"
#include "testing/test_signals.h"

namespace ztlive {
namespace {

constexpr uint32_t kRate = 44100;
constexpr int kBytesPerFrame = 3;  // 24-bit mono

using test::ChoosePreset;
using test::Click;
using test::RunTestHost;
using test::SaveAs;
using test::TypeValue;

PresetValues Values(std::initializer_list<int32_t> first) {
  PresetValues values;
  std::copy(first.begin(), first.end(), values.p.begin());
  return values;
}

bool Shown(const ScriptedPrompts& prompts, StringId id) {
  const std::vector<std::string> texts = prompts.Texts();
  return std::find(texts.begin(), texts.end(), std::string(StringText(id))) != texts.end();
}

double Rms(const std::vector<SampleValue>& values, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += double(values[i]) * values[i];
  return std::sqrt(sum / double(to - from));
}

double Db(double ratio) { return 20 * std::log10(ratio); }

// ---------------------------------------------------------------------------------------
// The impulse window.

struct Clicks {
  std::vector<SampleValue> clean;
  std::vector<SampleValue> degraded;
  std::vector<size_t> at;  // first sample of each click
  static constexpr int kWidth = 6;
};

// Music with sharp clicks of six samples, about every 3000 samples.
Clicks MusicWithClicks(double seconds) {
  Clicks clicks;
  clicks.clean = test::MusicLike(1, seconds, kRate);
  clicks.degraded = clicks.clean;
  test::Random random(7);
  for (size_t at = 4000; at + 4000 < clicks.clean.size(); at += 2500 + static_cast<size_t>(random.Uniform() * 1000)) {
    const double height = (random.Uniform() < 0.5 ? -1 : 1) * (0.3 + 0.4 * random.Uniform()) * 8388607;
    for (int k = 0; k < Clicks::kWidth; ++k) {
      SampleValue& v = clicks.degraded[at + static_cast<size_t>(k)];
      v = static_cast<SampleValue>(std::clamp(v + height * std::exp(-0.5 * k) * (k % 2 ? -0.6 : 1.0), -8388608.0, 8388607.0));
    }
    clicks.at.push_back(at);
  }
  return clicks;
}

// Clicks whose error against the clean signal is still above a tenth of their own.
int ClicksLeft(const Clicks& clicks, const std::vector<SampleValue>& out) {
  int left = 0;
  for (size_t at : clicks.at) {
    double before = 0;
    double after = 0;
    for (size_t i = at; i < at + Clicks::kWidth; ++i) {
      before += std::pow(double(clicks.degraded[i]) - clicks.clean[i], 2);
      after += std::pow(double(out[i]) - clicks.clean[i], 2);
    }
    if (after * 100 > before) ++left;
  }
  return left;
}

class ImpulseWindow : public ::testing::Test {
 protected:
  void SetUp() override { test::WriteValues24(m_source, 1, kRate, test::MusicLike(1, 0.5, kRate)); }

  test::TestFolder m_files;
  std::string m_source = m_files.File("source.wav");
};

TEST_F(ImpulseWindow, EveryChangeReachesTheEnginesInTheEngineOrder) {
  RunTestHost host(m_source);
  ImpulseDialog dialog(host);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Impulse Filter Parameters");
  EXPECT_EQ(dialog.ThresholdPair().Label().text(), "Threshold");
  EXPECT_EQ(dialog.TrackingPair().Label().text(), "Tracking");
  // Opening applies the initial values: threshold 8000, size 7, 78's, tracking 1, speed.
  EXPECT_EQ(host.FileRun().activePresetValues, Values({8000, 7, 0, 0, 1, 0}));

  ImpulseProcessor engine;
  dialog.AttachProcessor(&engine);
  TypeValue(dialog.ThresholdPair(), 3000);
  TypeValue(dialog.SizePair(), 12);
  Click(dialog.QualityButton(ImpulseDialog::kAccuracy));
  Click(dialog.KeepResidueBox());  // only "Run Filter" passes it
  TypeValue(dialog.TrackingPair(), 5);
  EXPECT_EQ(engine.values, Values({3000, 12, 0, 0, 5, 1}));
  EXPECT_EQ(engine.needsPrepare, 1);
  EXPECT_EQ(host.FileRun().activePresetValues, engine.values);

  Click(dialog.TypeButton(ImpulseDialog::kHqMode));
  EXPECT_EQ(engine.values, Values({1, 12, 2, 0, 50, 1}));
  dialog.AttachProcessor(nullptr);
}

TEST_F(ImpulseWindow, SwitchingTheDetectorKindRemembersTheUnusedControl) {
  RunTestHost host(m_source);
  ImpulseDialog dialog(host);
  dialog.show();
  TypeValue(dialog.ThresholdPair(), 3000);

  Click(dialog.TypeButton(ImpulseDialog::kVinylLp));
  EXPECT_EQ(host.Settings().Read(setting::kImpulse2Threshold), 3000);
  EXPECT_EQ(dialog.ThresholdPair().Value(), 1);
  EXPECT_EQ(dialog.TrackingPair().Value(), 50);  // nothing stored yet: the default
  TypeValue(dialog.TrackingPair(), 70);

  // Between the two high-pass types the controls and the remembered values stay.
  Click(dialog.TypeButton(ImpulseDialog::kHqMode));
  EXPECT_EQ(dialog.ThresholdPair().Value(), 1);
  EXPECT_EQ(dialog.TrackingPair().Value(), 70);
  EXPECT_EQ(host.Settings().Read(setting::kImpulse2Threshold), 3000);

  Click(dialog.TypeButton(ImpulseDialog::k78s));
  EXPECT_EQ(host.Settings().Read(setting::kImpulse2Tracking), 70);
  EXPECT_EQ(dialog.TrackingPair().Value(), 1);
  EXPECT_EQ(dialog.ThresholdPair().Value(), 3000);
  EXPECT_EQ(host.FileRun().activePresetValues, Values({3000, 7, 0, 0, 1, 0}));

  Click(dialog.TypeButton(ImpulseDialog::kVinylLp));
  EXPECT_EQ(dialog.TrackingPair().Value(), 70);

  // The model-based detector uses the threshold, as the 78's one does.
  Click(dialog.TypeButton(ImpulseDialog::kModelBased));
  EXPECT_EQ(dialog.ThresholdPair().Value(), 3000);
  EXPECT_EQ(dialog.TrackingPair().Value(), 1);
  EXPECT_EQ(host.FileRun().activePresetValues, Values({3000, 7, 3, 0, 1, 0}));
  Click(dialog.TypeButton(ImpulseDialog::k78s));
  EXPECT_EQ(dialog.ThresholdPair().Value(), 3000);
}

TEST_F(ImpulseWindow, OpeningSetsTheControlTheLoadedTypeDoesNotUseToOne) {
  RunTestHost host(m_source);
  // "Default" in the stored order: threshold, size, tracking, type, quality.
  WritePresetValuesTo("ImpulseSet", "Default", Values({5000, 9, 40, 1, 1}), PresetTextForm::BlankBeforeLast);
  {
    ImpulseDialog dialog(host);
    dialog.show();
    EXPECT_TRUE(dialog.TypeButton(ImpulseDialog::kVinylLp).isChecked());
    EXPECT_EQ(host.FileRun().activePresetValues, Values({1, 9, 1, 0, 40, 1}));
  }
  WritePresetValuesTo("ImpulseSet", "Default", Values({5000, 9, 40, 0, 0}), PresetTextForm::BlankBeforeLast);
  ImpulseDialog dialog(host);
  dialog.show();
  EXPECT_EQ(host.FileRun().activePresetValues, Values({5000, 9, 0, 0, 1, 0}));
}

TEST_F(ImpulseWindow, PresetsAreStoredInTheEngineOrder) {
  RunTestHost host(m_source);
  ImpulseDialog dialog(host);
  dialog.show();
  TypeValue(dialog.ThresholdPair(), 2500);
  TypeValue(dialog.SizePair(), 11);
  Click(dialog.QualityButton(ImpulseDialog::kAccuracy));
  Click(dialog.TypeButton(ImpulseDialog::kHqMode));
  TypeValue(dialog.TrackingPair(), 33);
  SaveAs(dialog, "Shellac");

  PresetValues stored;
  ASSERT_EQ(ReadPresetValues("ImpulseSet", "Shellac", stored), 0);
  EXPECT_EQ(stored, Values({1, 11, 33, 2, 1}));
  ImpulseProcessor engine;
  ASSERT_EQ(engine.LoadPreset("Shellac"), 0);
  EXPECT_EQ(engine.values, Values({1, 11, 2, 0, 33, 1}));

  // A preset the engine wrote shows in the window as the engine meant it.
  engine.SetValues(Values({4000, 20, 0, 1, 9, 0}));
  ASSERT_EQ(engine.WritePreset("Heavy"), 1);
  dialog.Logic().Presets().FillList(dialog.PresetBox());
  Click(dialog.KeepResidueBox());
  ChoosePreset(dialog.PresetBox(), "Heavy");
  EXPECT_TRUE(dialog.KeepResidueBox().isChecked()) << "never stored, so a load leaves the box as it was";
  EXPECT_EQ(dialog.ThresholdPair().Value(), 4000);
  EXPECT_EQ(dialog.TrackingPair().Value(), 9);
  EXPECT_TRUE(dialog.TypeButton(ImpulseDialog::k78s).isChecked());
  EXPECT_EQ(host.FileRun().activePresetValues, Values({4000, 20, 0, 0, 9, 0}));

  // The automatic "Default" on closing is a preset record too.
  host.Settings().Write(setting::kAutoSaveDefault, 1);
  dialog.close();
  ASSERT_EQ(ReadPresetValues("ImpulseSet", "Default", stored), 0);
  EXPECT_EQ(stored, Values({4000, 20, 9, 0, 0}));
}

TEST_F(ImpulseWindow, RunFilterRepairsTheClicksAndKeepsResidueOnlyForItsRun) {
  const Clicks clicks = MusicWithClicks(3.0);
  test::WriteValues24(m_source, 1, kRate, clicks.degraded);
  RunTestHost host(m_source);
  const std::string repaired = m_files.File("repaired.wav");
  host.SetDestination(repaired);
  ImpulseDialog dialog(host);
  dialog.show();
  TypeValue(dialog.ThresholdPair(), 2000);
  TypeValue(dialog.SizePair(), 15);
  Click(dialog.QualityButton(ImpulseDialog::kAccuracy));

  Click(dialog.RunButton());
  ASSERT_EQ(host.LastResult(), 1);
  const std::vector<SampleValue> out = test::ReadValues24(repaired);
  ASSERT_EQ(out.size(), clicks.degraded.size());
  EXPECT_EQ(ClicksLeft(clicks, clicks.degraded), static_cast<int>(clicks.at.size()));
  EXPECT_LE(ClicksLeft(clicks, out), static_cast<int>(clicks.at.size()) / 10) << "of " << clicks.at.size();
  EXPECT_GE(host.Run().clickCount, static_cast<int64_t>(clicks.at.size()));
  test::SaveScreenshot(dialog, "impulse_window");

  // With keep residue the run writes the clicks alone, also when a control changes during it.
  const std::string residue = m_files.File("residue.wav");
  host.SetDestination(residue);
  Click(dialog.KeepResidueBox());
  bool changed = false;
  host.Queue().SetPumpHook([&](int) {
    if (changed || host.FileRun().runningEngine == nullptr) return;
    changed = true;
    TypeValue(dialog.SizePair(), 16);
  });
  Click(dialog.RunButton());
  host.Queue().SetPumpHook({});
  ASSERT_EQ(host.LastResult(), 1);
  EXPECT_TRUE(changed);
  const std::vector<SampleValue> residueOut = test::ReadValues24(residue);
  ASSERT_EQ(residueOut.size(), clicks.degraded.size());
  const auto silent = std::count(residueOut.begin(), residueOut.end(), 0);
  EXPECT_GT(double(silent), 0.9 * double(residueOut.size()));
  // Afterwards every change passes 0 again.
  EXPECT_EQ(host.FileRun().activePresetValues.p[3], 0);
  host.FileRun().keepResidue = 1;  // as another window may leave it
  Click(dialog.PreviewButton());
  EXPECT_EQ(host.FileRun().activePresetValues.p[3], 0);
  EXPECT_EQ(host.FileRun().keepResidue, 0);
}

// ---------------------------------------------------------------------------------------
// The continuous noise window.

constexpr uint32_t kNoiseRate = 48000;  // not the default rate, so that the window must learn it
constexpr double kHissSigma = 8388607 * 0.01;  // -40 dBFS
constexpr double kHissSeconds = 1.0;

// Gaussian hiss (Box-Muller over the shared generator).
std::vector<double> Hiss(size_t count, uint32_t seed) {
  test::Random random(seed);
  std::vector<double> hiss(count);
  for (double& value : hiss) {
    const double u = std::max(random.Uniform(), 1e-12);
    value = kHissSigma * std::sqrt(-2 * std::log(u)) * std::cos(2 * M_PI * random.Uniform());
  }
  return hiss;
}

// What a print made from this hiss holds at frame size N: the average magnitude per pair of
// Hamming-windowed frames of 2N (Rayleigh: sqrt(pi/4 * sigma^2 * sum w^2) / 2N, with
// sum w^2 = 2N * 0.3974), 6 dB up, plus one.
double ExpectedHissLevel(int32_t bins) {
  const double length = 2.0 * bins;
  return std::pow(10.0, 0.3) * std::sqrt(M_PI / 4 * kHissSigma * kHissSigma * 0.3974 * length) / length + 1;
}

class NoiseWindow : public ::testing::Test {
 protected:
  // One second of hiss alone, then music with the same hiss.
  void SetUp() override {
    const size_t hissOnly = static_cast<size_t>(kHissSeconds * kNoiseRate);
    m_music = test::MusicLike(1, 2.0, kNoiseRate);
    m_music.insert(m_music.begin(), hissOnly, 0);
    const std::vector<double> hiss = Hiss(m_music.size(), 3);
    m_noisy.resize(m_music.size());
    for (size_t i = 0; i < m_music.size(); ++i) m_noisy[i] = static_cast<SampleValue>(m_music[i] + hiss[i]);
    test::WriteValues24(m_source, 1, kNoiseRate, m_noisy);
  }

  // A host whose selection is the stretch of hiss alone.
  std::unique_ptr<RunTestHost> HostOnHiss() {
    auto host = std::make_unique<RunTestHost>(m_source);
    host->SetSelection(0, static_cast<int64_t>(kHissSeconds * kNoiseRate) * kBytesPerFrame);
    return host;
  }

  test::TestFolder m_files;
  std::string m_source = m_files.File("hissy.wav");
  std::vector<SampleValue> m_music;
  std::vector<SampleValue> m_noisy;
};

TEST_F(NoiseWindow, SampleNoiseMakesThePrintOfTheSelectionAndShowsIt) {
  auto host = HostOnHiss();
  ContinuousNoiseDialog dialog(*host);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Continuous Noise Filter");
  EXPECT_FALSE(dialog.Keeper().HasPrint());
  EXPECT_FALSE(dialog.ResetButton().isEnabled());

  Click(dialog.SampleButton());
  ASSERT_EQ(host->LastResult(), 1);
  const NoisePrint& print = dialog.Keeper().Print();
  ASSERT_FALSE(print.Empty());
  EXPECT_EQ(print.bins, dialog.ShownBins());
  EXPECT_EQ(print.bins, 2048);
  // White hiss gives the same level everywhere; the low breakpoints average fewer pairs.
  const double expected = ExpectedHissLevel(print.bins);
  for (size_t i = 2; i < NoisePrint::kPoints; ++i) {
    EXPECT_NEAR(Db(print.points[i].left / expected), 0, i < 4 ? 2.0 : 0.5) << "breakpoint " << i;
    EXPECT_EQ(print.points[i].right, print.points[i].left);
  }
  // The graph draws what the filter compares with, at the source's rate.
  EXPECT_EQ(dialog.Graph().Print().bins, print.bins);
  EXPECT_EQ(dialog.Graph().SampleRate(), kNoiseRate);
  EXPECT_NEAR(dialog.Graph().CurveDbAt(1000, false), LevelDb(expected), 1.0);
  EXPECT_TRUE(dialog.ResetButton().isEnabled());
  // The next run gets the filter's own values again.
  EXPECT_EQ(host->FileRun().activePresetValues, Values({20, 200, 50, 3}));
  test::SaveScreenshot(dialog, "continuous_noise_window");
}

TEST_F(NoiseWindow, ShiftStepsMoveThePrintWithinItsLimitsAndResetRestoresIt) {
  auto host = HostOnHiss();
  ContinuousNoiseDialog dialog(*host);
  dialog.show();
  Click(dialog.SampleButton());
  const NoisePrint sampled = dialog.Keeper().Print();
  ASSERT_FALSE(sampled.Empty());
  NoiseReductionProcessor engine;
  dialog.AttachProcessor(&engine);

  engine.needsPrepare = 0;
  dialog.ShiftBar().triggerAction(QAbstractSlider::SliderSingleStepAdd);
  for (size_t i = 0; i < NoisePrint::kPoints; ++i)
    EXPECT_DOUBLE_EQ(dialog.Keeper().Print().points[i].left, sampled.points[i].left * 2 / 3);
  EXPECT_EQ(dialog.ShiftBar().value(), dialog.ShiftBar().maximum() / 2);
  EXPECT_DOUBLE_EQ(engine.Print().points[5].left, dialog.Keeper().Print().points[5].left);
  EXPECT_EQ(engine.needsPrepare, 1);
  EXPECT_EQ(engine.values.p[3], 3);

  dialog.ShiftBar().triggerAction(QAbstractSlider::SliderPageStepSub);
  for (size_t i = 0; i < NoisePrint::kPoints; ++i)
    EXPECT_NEAR(dialog.Keeper().Print().points[i].left, sampled.points[i].left, 1e-9 * sampled.points[i].left);

  for (int step = 0; step < 60; ++step) dialog.ShiftBar().triggerAction(QAbstractSlider::SliderPageStepAdd);
  for (const NoiseBreakpoint& point : dialog.Keeper().Print().points) {
    EXPECT_DOUBLE_EQ(point.left, NoisePrintKeeper::kLowestLevel);
    EXPECT_DOUBLE_EQ(point.right, NoisePrintKeeper::kLowestLevel);
  }
  for (int step = 0; step < 80; ++step) dialog.ShiftBar().triggerAction(QAbstractSlider::SliderSingleStepSub);
  for (const NoiseBreakpoint& point : dialog.Keeper().Print().points)
    EXPECT_DOUBLE_EQ(point.left, NoisePrintKeeper::kHighestLevel);

  Click(dialog.ResetButton());
  for (size_t i = 0; i < NoisePrint::kPoints; ++i)
    EXPECT_DOUBLE_EQ(dialog.Keeper().Print().points[i].left, sampled.points[i].left);
  EXPECT_DOUBLE_EQ(engine.Print().points[5].left, sampled.points[5].left);
  dialog.AttachProcessor(nullptr);
}

TEST_F(NoiseWindow, AnotherFrameSizeFitsThePrintToIt) {
  auto host = HostOnHiss();
  ContinuousNoiseDialog dialog(*host);
  dialog.show();
  Click(dialog.SampleButton());
  NoiseReductionProcessor engine;
  dialog.AttachProcessor(&engine);
  dialog.SizeBox().setCurrentIndex(4);  // "4096"
  const NoisePrint fitted = dialog.Keeper().Print();
  EXPECT_EQ(fitted.bins, 4096);
  EXPECT_EQ(engine.Print().bins, 4096);
  EXPECT_EQ(engine.values.p[3], 4);
  dialog.AttachProcessor(nullptr);

  // A print sampled at that size lies where the fitted one does.
  Click(dialog.SampleButton());
  const NoisePrint sampled = dialog.Keeper().Print();
  ASSERT_EQ(sampled.bins, 4096);
  for (size_t i = 1; i < NoisePrint::kPoints; ++i) {
    EXPECT_NEAR(fitted.points[i].bin, sampled.points[i].bin, 1) << i;
    if (i >= 2) {
      EXPECT_NEAR(Db(fitted.points[i].left / sampled.points[i].left), 0, 1.0) << i;
    }
  }
}

TEST_F(NoiseWindow, RunFilterNeedsAPrintAndThenTakesOutTheHiss) {
  auto host = HostOnHiss();
  const std::string cleaned = m_files.File("cleaned.wav");
  host->SetDestination(cleaned);
  ContinuousNoiseDialog dialog(*host);
  dialog.show();
  Click(dialog.RunButton());
  EXPECT_TRUE(Shown(host->Answers(), StringId::kNoNoiseRecorded));
  EXPECT_EQ(host->RunCount(), 0);

  Click(dialog.SampleButton());
  host->SetSelection(0, 0);  // the whole file
  TypeValue(dialog.AttenuationPair(), 100);
  TypeValue(dialog.ReleasePair(), 100);
  Click(dialog.RunButton());
  ASSERT_EQ(host->LastResult(), 1);
  const std::vector<SampleValue> out = test::ReadValues24(cleaned);
  ASSERT_EQ(out.size(), m_noisy.size());
  // The run is the engine's own with the window's values and print.
  NoiseReductionProcessor engine;
  engine.SetNoisePrint(dialog.Keeper().Print());
  engine.SetValues(Values({20, 100, 100, 3}));
  EXPECT_TRUE(out == test::RunEngine(engine, 1, kNoiseRate, m_noisy));
  // In the hiss alone, after the filter has settled, the hiss is well down.
  const size_t hissEnd = static_cast<size_t>(kHissSeconds * kNoiseRate);
  EXPECT_GT(Db(Rms(m_noisy, kNoiseRate / 5, hissEnd) / Rms(out, kNoiseRate / 5, hissEnd)), 6);
  // The music keeps its level.
  const double musicChange = Db(Rms(out, hissEnd + kNoiseRate / 5, out.size()) / Rms(m_music, hissEnd + kNoiseRate / 5, out.size()));
  EXPECT_NEAR(musicChange, 0, 1.5);

  // Keep residue: the run writes what it takes out, which is the hiss and hardly any music.
  const std::string residue = m_files.File("residue.wav");
  host->SetDestination(residue);
  Click(dialog.KeepResidueBox());
  EXPECT_EQ(host->FileRun().keepResidue, 1);
  Click(dialog.RunButton());
  ASSERT_EQ(host->LastResult(), 1);
  const std::vector<SampleValue> removed = test::ReadValues24(residue);
  const double residueBelowMusic = Db(Rms(m_music, hissEnd, m_music.size()) / Rms(removed, hissEnd, removed.size()));
  EXPECT_GT(residueBelowMusic, 20);
}

TEST_F(NoiseWindow, SampleNoiseWhilePlayingOrProcessingOnlySaysItCannot) {
  auto host = HostOnHiss();
  host->SetDestination(m_files.File("cleaned.wav"));
  ContinuousNoiseDialog dialog(*host);
  dialog.show();
  host->Run().engineState = kEnginePlaying;  // what the device engine sets while a file plays
  Click(dialog.SampleButton());
  host->Run().engineState = kEngineStopped;
  EXPECT_TRUE(Shown(host->Answers(), StringId::kCannotSampleNow));
  EXPECT_EQ(host->RunCount(), 0);
  EXPECT_FALSE(dialog.Keeper().HasPrint());

  Click(dialog.SampleButton());
  host->Answers().Clear();
  const NoisePrint before = dialog.Keeper().Print();
  bool pressed = false;
  host->Queue().SetPumpHook([&](int) {
    if (pressed || host->FileRun().runningEngine == nullptr) return;
    pressed = true;
    Click(dialog.SampleButton());
  });
  Click(dialog.RunButton());
  host->Queue().SetPumpHook({});
  EXPECT_TRUE(pressed);
  EXPECT_EQ(host->LastResult(), 1);
  EXPECT_EQ(host->RunCount(), 2);  // the first sample and the filter; no second sample
  EXPECT_TRUE(Shown(host->Answers(), StringId::kCannotSampleNow));
  EXPECT_DOUBLE_EQ(dialog.Keeper().Print().points[5].left, before.points[5].left);
}

TEST_F(NoiseWindow, PresetsKeepThePrintAcrossWindows) {
  auto host = HostOnHiss();
  NoisePrint saved;
  {
    ContinuousNoiseDialog dialog(*host);
    dialog.show();
    Click(dialog.SampleButton());
    dialog.ShiftBar().triggerAction(QAbstractSlider::SliderSingleStepAdd);  // not the sample's own print
    TypeValue(dialog.AttackPair(), 60);
    dialog.SizeBox().setCurrentIndex(2);
    saved = dialog.Keeper().Print();
    SaveAs(dialog, "Tape hiss");
  }
  // The engine reads what the window saved: four integers and the print.
  NoiseReductionProcessor engine;
  ASSERT_EQ(engine.LoadPreset("Tape hiss"), 0);
  EXPECT_EQ(engine.values, Values({60, 200, 50, 2}));
  ASSERT_EQ(engine.Print().bins, 1024);
  for (size_t i = 0; i < NoisePrint::kPoints; ++i) {
    EXPECT_EQ(engine.Print().points[i].bin, saved.points[i].bin);
    EXPECT_NEAR(engine.Print().points[i].left, saved.points[i].left, 1e-4 * saved.points[i].left);
  }
  // A preset without its print records loads its integers and says the print is missing.
  WritePresetValuesTo("HissfilterSet", "Bare", Values({30, 300, 70, 1}), PresetTextForm::TrailingLineFeed);

  ContinuousNoiseDialog dialog(*host);
  dialog.show();
  EXPECT_FALSE(dialog.Keeper().HasPrint());
  ChoosePreset(dialog.PresetBox(), "Tape hiss");
  ASSERT_TRUE(dialog.Keeper().HasPrint());
  EXPECT_EQ(dialog.Keeper().Print().bins, 1024);
  EXPECT_NEAR(dialog.Keeper().Print().points[7].left, saved.points[7].left, 1e-4 * saved.points[7].left);
  EXPECT_EQ(dialog.Graph().Print().bins, 1024);
  EXPECT_EQ(host->FileRun().activePresetValues, Values({60, 200, 50, 2}));

  ChoosePreset(dialog.PresetBox(), "Bare");
  EXPECT_TRUE(Shown(host->Answers(), StringId::kPresetLoadFailed));
  EXPECT_EQ(host->FileRun().activePresetValues, Values({30, 300, 70, 1}));
  // The print stays, fitted to the frame size shown.
  EXPECT_EQ(dialog.Keeper().Print().bins, 512);

  // With auto-save on, closing stores "Default" with its print; the next window opens on it.
  host->Settings().Write(setting::kAutoSaveDefault, 1);
  dialog.close();
  ContinuousNoiseDialog next(*host);
  next.show();
  ASSERT_TRUE(next.Keeper().HasPrint());
  EXPECT_EQ(next.Keeper().Print().bins, 512);
  EXPECT_EQ(host->FileRun().activePresetValues, Values({30, 300, 70, 1}));
}

TEST_F(NoiseWindow, PickingAPerBinEstimatorStartsFromItsTunedValues) {
  auto host = HostOnHiss();
  ContinuousNoiseDialog dialog(*host);
  dialog.show();
  Click(dialog.SampleButton());
  NoiseReductionProcessor engine;
  dialog.AttachProcessor(&engine);
  EXPECT_EQ(dialog.EstimatorBox().count(), 3);
  EXPECT_EQ(dialog.EstimatorBox().currentIndex(), 0) << "the element pairs stay the starting choice";
  dialog.SizeBox().setCurrentIndex(1);  // "512": the tuned size differs

  dialog.EstimatorBox().setCurrentIndex(1);
  PresetValues expected = NoiseReductionProcessor::PerBinStartingValues();
  expected.p[4] = NoiseReductionProcessor::kPerBinLogAmplitude;
  EXPECT_EQ(engine.values, expected);
  EXPECT_NE(dialog.ShownBins(), 512);
  EXPECT_EQ(dialog.Keeper().Print().bins, dialog.ShownBins()) << "the print follows the frame size";
  EXPECT_EQ(engine.Print().bins, dialog.ShownBins());

  // From one per-bin rule to the other the user's values stay.
  TypeValue(dialog.ReleasePair(), 120);
  dialog.EstimatorBox().setCurrentIndex(2);
  expected.p[1] = 120;
  expected.p[4] = NoiseReductionProcessor::kPerBinWiener;
  EXPECT_EQ(engine.values, expected);
  dialog.AttachProcessor(nullptr);
  test::SaveScreenshot(dialog, "continuous_noise_window_per_bin");
}

}  // namespace
}  // namespace ztlive
