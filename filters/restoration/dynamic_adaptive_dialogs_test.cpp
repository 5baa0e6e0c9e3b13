// The dynamic noise and adaptive speech windows over a real filter run: user input on the
// real widgets, values reaching the engines in the engine order, the window's and the
// engine's preset orders, freeze and keep residue, and runs over wave files.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <algorithm>
#include <cmath>

#include "filters/framework/preset_store.h"
#include "filters/restoration/adaptive_speech_dialog.h"
#include "filters/restoration/adaptive_speech_filter.h"
#include "filters/restoration/dynamic_noise_dialog.h"
#include "filters/restoration/dynamic_noise_filter.h"
#include "testing/engine_run.h"
#include "testing/gui_test_support.h"
#include "testing/run_test_host.h"
#include "testing/settings_window_input.h"
#include "testing/test_folder.h"
#include "testing/test_signals.h"

namespace ztlive {
namespace {

constexpr uint32_t kRate = 44100;

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

class NoiseFilterWindows : public ::testing::Test {
 protected:
  void SetUp() override { test::WriteValues24(m_source, 1, kRate, test::SpeechLike(1, 0.5, kRate)); }

  test::TestFolder m_files;
  std::string m_source = m_files.File("source.wav");
};

TEST_F(NoiseFilterWindows, DynamicNoiseChangesReachTheEngineInItsOrder) {
  RunTestHost host(m_source);
  DynamicNoiseDialog dialog(host);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Dynamic Noise Filter");
  EXPECT_EQ(dialog.ThresholdPair().Label().text(), "Noise Threshold");
  EXPECT_EQ(dialog.FrequencyPair().Label().text(), "Filter Freq (Hz)");
  EXPECT_EQ(dialog.AttackPair().Label().text(), "Attack  time (ms)");
  EXPECT_EQ(dialog.ReleasePair().Label().text(), "Release  time (ms)");
  EXPECT_EQ(host.FileRun().activePresetValues, Values({1000, 1000, 50, 100, 0, 0, 0}));

  DynamicNoiseProcessor engine;
  dialog.AttachProcessor(&engine);
  // Each row: what is typed, the value it gives (held inside the range).
  struct Typed {
    SliderEditPair& pair;
    const char* text;
    int32_t value;
  };
  const Typed typed[] = {
      {dialog.ThresholdPair(), "20000", 10000}, {dialog.ThresholdPair(), "2500", 2500},
      {dialog.FrequencyPair(), "100", 200},     {dialog.FrequencyPair(), "3000", 3000},
      {dialog.AttackPair(), "400", 300},        {dialog.AttackPair(), "20", 20},
      {dialog.ReleasePair(), "0", 1},           {dialog.ReleasePair(), "250", 250},
      {dialog.GainPair(), "-12", -100},         {dialog.GainPair(), "4.5", 45},
  };
  for (const Typed& t : typed) {
    TypeValue(t.pair, t.text);
    EXPECT_EQ(t.pair.Value(), t.value) << t.text;
  }
  Click(dialog.EnhancerBox());
  EXPECT_EQ(engine.values, Values({2500, 3000, 20, 250, 0, 45, 1}));
  EXPECT_EQ(engine.needsPrepare, 1);
  EXPECT_EQ(host.FileRun().activePresetValues, engine.values);
  Click(dialog.KeepResidueBox());
  EXPECT_EQ(engine.keepResidue, 1) << "at once";
  Click(dialog.KeepResidueBox());
  EXPECT_EQ(engine.keepResidue, 0);
  dialog.AttachProcessor(nullptr);
}

TEST_F(NoiseFilterWindows, DynamicNoisePresetsKeepTheWindowsOrderAndTheEnginesOrder) {
  RunTestHost host(m_source);
  DynamicNoiseDialog dialog(host);
  dialog.show();
  TypeValue(dialog.ThresholdPair(), "1500");
  TypeValue(dialog.FrequencyPair(), "5000");
  TypeValue(dialog.GainPair(), "3");
  Click(dialog.EnhancerBox());
  SaveAs(dialog, "Bright");

  PresetValues stored;
  ASSERT_EQ(ReadPresetValues("AnalogNoiseFilterSet", "Bright", stored), 0);
  EXPECT_EQ(stored, Values({50, 100, 1500, 5000, 30, 1}));
  // The engine, as a chain member loads a preset, reads the enhancer one place later.
  DynamicNoiseProcessor engine;
  ASSERT_EQ(engine.LoadPreset("Bright"), 0);
  EXPECT_EQ(engine.values, Values({1500, 5000, 50, 100, 0, 30, 0}));

  // A preset the engine wrote: the window reads p[4]'s place as the enhancer.
  engine.SetValues(Values({800, 2000, 10, 40, 0, -20, 1}));
  ASSERT_EQ(engine.WritePreset("Engine"), 1);
  dialog.Logic().Presets().FillList(dialog.PresetBox());
  ChoosePreset(dialog.PresetBox(), "Engine");
  EXPECT_EQ(dialog.ThresholdPair().Value(), 800);
  EXPECT_EQ(dialog.GainPair().Value(), -20);
  EXPECT_FALSE(dialog.EnhancerBox().isChecked());
  EXPECT_EQ(host.FileRun().activePresetValues, Values({800, 2000, 10, 40, 0, -20, 0}));
}

TEST_F(NoiseFilterWindows, DynamicNoiseRunFilterWritesTheFilteredOrTheResidue) {
  const std::vector<SampleValue> input = test::SpeechLike(2, 1.0, kRate);
  test::WriteValues24(m_source, 2, kRate, input);
  RunTestHost host(m_source);
  DynamicNoiseDialog dialog(host);
  dialog.show();
  std::vector<std::vector<SampleValue>> outputs;
  for (const bool residue : {false, true}) {
    const std::string destination = m_files.File(residue ? "residue.wav" : "filtered.wav");
    host.SetDestination(destination);
    if (residue) Click(dialog.KeepResidueBox());
    Click(dialog.RunButton());
    ASSERT_EQ(host.LastResult(), 1);
    outputs.push_back(test::ReadValues24(destination));
    ASSERT_EQ(outputs.back().size(), input.size());
  }
  test::SaveScreenshot(dialog, "dynamic_noise_window");
  bool changed = false;
  for (size_t i = 0; i < input.size(); ++i) {
    ASSERT_NEAR(double(outputs[0][i]) + outputs[1][i], input[i], 2.01) << i;
    changed = changed || outputs[0][i] != input[i];
  }
  EXPECT_TRUE(changed);
}

TEST_F(NoiseFilterWindows, AdaptiveOpensWithALengthOfAtLeast32AndADelayInRange) {
  RunTestHost host(m_source);
  struct Case {
    PresetValues stored;
    PresetValues applied;
  };
  const Case cases[] = {
      {Values({300, 0, 1, 8, 5000, 0}), Values({300, 0, 1, 32, 0, 0})},
      {Values({5, 0, 2, 100, 40, 0}), Values({5, 0, 2, 100, 40, 0})},
      {Values({50, 0, 0, 4095, 4095, 0}), Values({50, 0, 0, 4095, 4095, 0})},
  };
  for (const Case& c : cases) {
    WritePresetValuesTo("AdaptiveFilterSet", "Default", c.stored, PresetTextForm::BlankBeforeLast);
    AdaptiveSpeechDialog dialog(host);
    dialog.show();
    EXPECT_EQ(host.FileRun().activePresetValues, c.applied);
    EXPECT_EQ(dialog.DelaySpin().isEnabled(), c.applied.p[2] == AdaptiveProcessor::kTimeDelay);
  }
}

TEST_F(NoiseFilterWindows, AdaptiveChangesFreezeAndTheDelayField) {
  RunTestHost host(m_source);
  AdaptiveSpeechDialog dialog(host);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Adaptive Filter");
  EXPECT_EQ(dialog.ConvergencePair().Label().text(), "Convergence");
  EXPECT_EQ(dialog.ReferenceButton(0).text(), "Right Channel");
  EXPECT_EQ(dialog.ReferenceButton(2).text(), "Time Delay");
  EXPECT_EQ(dialog.FreezeBox().text(), "Freeze");
  EXPECT_EQ(host.FileRun().activePresetValues, Values({100, 0, 2, 32, 1, 0}));

  AdaptiveProcessor engine;
  dialog.AttachProcessor(&engine);
  TypeValue(dialog.ConvergencePair(), "250");
  TypeValue(dialog.LengthSpin(), 64);
  TypeValue(dialog.DelaySpin(), 7);
  EXPECT_EQ(engine.values, Values({250, 0, 2, 64, 7, 0}));
  Click(dialog.ReferenceButton(AdaptiveProcessor::kLeftChannel));
  EXPECT_FALSE(dialog.DelaySpin().isEnabled()) << "only the time delay uses it";
  Click(dialog.ReferenceButton(AdaptiveProcessor::kTimeDelay));
  EXPECT_TRUE(dialog.DelaySpin().isEnabled());

  // Freeze reaches the engine as a change of p[5] alone; any other change ends it.
  Click(dialog.FreezeBox());
  EXPECT_EQ(engine.values.p[5], 1);
  TypeValue(dialog.ConvergencePair(), "260");
  EXPECT_FALSE(dialog.FreezeBox().isChecked());
  EXPECT_EQ(engine.values, Values({260, 0, 2, 64, 7, 0}));
  Click(dialog.KeepResidueBox());
  EXPECT_EQ(engine.keepResidue, 1) << "at once";
  dialog.AttachProcessor(nullptr);

  // The automatic "Default" keeps the values in their own order.
  host.Settings().Write(setting::kAutoSaveDefault, 1);
  dialog.close();
  PresetValues stored;
  ASSERT_EQ(ReadPresetValues("AdaptiveFilterSet", "Default", stored), 0);
  EXPECT_EQ(stored, Values({260, 0, 2, 64, 7, 0}));
}

TEST_F(NoiseFilterWindows, AdaptiveRunFilterStartsUnfrozenAndFreezeDuringTheRunHoldsTheWeights) {
  test::WriteValues24(m_source, 1, kRate, test::SpeechLike(1, 2.0, kRate));
  RunTestHost host(m_source);
  const std::string destination = m_files.File("speech.wav");
  host.SetDestination(destination);
  AdaptiveSpeechDialog dialog(host);
  dialog.show();
  Click(dialog.FreezeBox());
  // Freeze during the run, once the engine has learnt for a few blocks; the weights then stay.
  std::vector<double> frozen;
  std::vector<double> later;
  int pumps = 0;
  host.Queue().SetPumpHook([&](int) {
    auto* engine = dynamic_cast<AdaptiveProcessor*>(host.FileRun().runningEngine);
    if (engine == nullptr) return;
    ++pumps;
    if (pumps == 1) {
      EXPECT_FALSE(dialog.FreezeBox().isChecked()) << "the run starts unfrozen";
    }
    if (pumps == 5) Click(dialog.FreezeBox());
    if (pumps == 7) frozen.assign(engine->Weights(), engine->Weights() + engine->Taps());
    if (pumps == 12) later.assign(engine->Weights(), engine->Weights() + engine->Taps());
  });
  Click(dialog.RunButton());
  host.Queue().SetPumpHook({});
  ASSERT_EQ(host.LastResult(), 1);
  ASSERT_GE(pumps, 12);
  ASSERT_FALSE(frozen.empty());
  EXPECT_TRUE(std::any_of(frozen.begin(), frozen.end(), [](double w) { return w != 0; })) << "it had learnt";
  EXPECT_EQ(frozen, later);
  EXPECT_EQ(test::ReadValues24(destination).size(), static_cast<size_t>(2 * kRate));
  test::SaveScreenshot(dialog, "adaptive_speech_window");
}

}  // namespace
}  // namespace ztlive
