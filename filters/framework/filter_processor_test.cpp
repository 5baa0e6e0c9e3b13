#include "filters/framework/filter_processor.h"

#include <gtest/gtest.h>

#include "filters/framework/filter_settings_logic.h"
#include "filters/framework/preset_store.h"
#include "platform/scripted_prompts.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

using test::ScopedEnvironment;
using test::TestFolder;

// The least an engine must be; its settings are its values.
class PassEngine : public FilterProcessor {
 public:
  PassEngine() {
    typeId = 2;
    sectionBase = "AveragingSet";
    displayName = "Average";
  }
  int Prepare(WaveStream&, WaveStream&) override { return 1; }
  int Finish(WaveStream&, WaveStream&) override { return 1; }
  int Process(WaveStream&, WaveStream&) override { return 1; }
};

PresetValues Values(int32_t first, int32_t step) {
  PresetValues values;
  for (size_t i = 0; i < 11; ++i) values.p[i] = first + static_cast<int32_t>(i) * step;
  return values;
}

class FilterProcessorTest : public ::testing::Test {
 protected:
  TestFolder folder;
  ScopedEnvironment home{"ZTLIVE_HOME", folder.Path()};
};

TEST_F(FilterProcessorTest, TheBaseStartsEmptyAndSetValuesAsksForAPrepare) {
  class Bare : public FilterProcessor {
    int Prepare(WaveStream&, WaveStream&) override { return 1; }
    int Finish(WaveStream&, WaveStream&) override { return 1; }
    int Process(WaveStream&, WaveStream&) override { return 1; }
  } bare;
  EXPECT_EQ(bare.GetTypeId(), 0);
  EXPECT_EQ(bare.GetSectionBase(), "None");
  EXPECT_EQ(bare.GetDisplayName(), "None");
  EXPECT_EQ(bare.GetLookahead(), 0);
  EXPECT_EQ(bare.GetHistoryLength(), 0);
  EXPECT_EQ(bare.GetValues(), PresetValues());
  EXPECT_EQ(bare.SetValues(Values(1, 1)), 0);
  EXPECT_EQ(bare.needsPrepare, 1);
  EXPECT_EQ(bare.GetValues(), Values(1, 1));
}

TEST_F(FilterProcessorTest, PresetsGoToTheSectionWithSetAppendedEvenAfterSet) {
  PassEngine engine;
  engine.SetValues(Values(5, 2));
  EXPECT_EQ(engine.WritePreset(""), 0);
  EXPECT_EQ(engine.WritePreset("Smooth"), 1);
  EXPECT_EQ(PresetFile().ReadString("AveragingSetSet", "Smooth", ""), "5,7,9,11,13,15,17,19,21,23,25");
  EXPECT_EQ(engine.WritePresetValues("Other", Values(0, 1)), 1);

  PresetValues read;
  EXPECT_EQ(engine.ReadPreset("Other", read), 0);
  EXPECT_EQ(read, Values(0, 1));
  EXPECT_EQ(engine.ReadPreset("Missing", read), 1);
  EXPECT_EQ(read, Values(0, 1)) << "a failed read leaves the output alone";
}

TEST_F(FilterProcessorTest, LoadPresetTakesNineValuesAndShortValuesCountAsNoPreset) {
  PassEngine engine;
  engine.SetValues(Values(100, 0));
  engine.needsPrepare = 0;
  ASSERT_EQ(engine.WritePresetValues("Nine", Values(1, 1)), 1);
  EXPECT_EQ(engine.LoadPreset("Nine"), 0);
  EXPECT_EQ(engine.values.p[8], 9);
  EXPECT_EQ(engine.values.p[9], 100) << "p[9] and p[10] stay";
  EXPECT_EQ(engine.values.p[10], 100);
  EXPECT_EQ(engine.needsPrepare, 0);

  PresetFile().WriteString("AveragingSetSet", "Short", "1,2,3,4,5");  // 9 characters
  EXPECT_EQ(engine.LoadPreset("Short"), 1);
  PresetFile().WriteString("AveragingSetSet", "Few", "1,22,333,44");  // 11 characters
  EXPECT_EQ(engine.LoadPreset("Few"), 0);
  EXPECT_EQ(engine.values.p[3], 44);
  EXPECT_EQ(engine.values.p[4], 0);
}

TEST_F(FilterProcessorTest, SettingsWindowsReachTheAttachedEngineAndTheRunningOne) {
  FileRunSettings fileRun;
  RunState run;
  ScriptedPrompts prompts;
  struct NoName : PresetNameAsker {
    bool AskPresetName(std::string&) override { return false; }
  } asker;
  FilterSettingsLogic dialog(fileRun, run, prompts, asker);
  dialog.ApplyValues(Values(3, 0));
  EXPECT_EQ(fileRun.activePresetValues, Values(3, 0)) << "kept for the next run without an engine";

  PassEngine preview;
  PassEngine running;
  dialog.AttachEngine(&preview);
  fileRun.runningEngine = &running;
  dialog.ApplyValues(Values(4, 1));
  dialog.ApplyBypass(1);
  dialog.ApplyKeepResidue(1);
  EXPECT_EQ(preview.values, Values(4, 1));
  EXPECT_EQ(running.values, Values(4, 1));
  EXPECT_EQ(running.needsPrepare, 1);
  EXPECT_EQ(preview.bypass + running.bypass + fileRun.bypass, 3);
  EXPECT_EQ(preview.keepResidue + running.keepResidue + fileRun.keepResidue, 3);
}

}  // namespace
}  // namespace ztlive
