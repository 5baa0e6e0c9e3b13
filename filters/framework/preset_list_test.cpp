#include "filters/framework/preset_list.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "filters/framework/filter_settings_logic.h"
#include "filters/framework/preset_store.h"
#include "platform/scripted_prompts.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

using test::ScopedEnvironment;
using test::TestFolder;

// A combo box as a list of texts, a selection and an edit field.
class FakeCombo : public PresetComboBox {
 public:
  void Clear() override {
    items.clear();
    selected = -1;
  }
  int Count() const override { return static_cast<int>(items.size()); }
  void Add(std::string_view text) override { items.emplace_back(text); }
  void Remove(int index) override {
    items.erase(items.begin() + index);
    selected = -1;
  }
  std::string ItemText(int index) const override { return items[static_cast<size_t>(index)]; }
  int Find(std::string_view text) const override {
    for (size_t i = 0; i < items.size(); ++i)
      if (items[i] == text) return static_cast<int>(i);
    return -1;
  }
  int Selected() const override { return selected; }
  void Select(int index) override {
    selected = index;
    if (index >= 0) edit = items[static_cast<size_t>(index)];
  }
  std::string EditText() const override { return edit; }
  void Focus() override { ++focused; }

  std::vector<std::string> items;
  int selected = -1;
  std::string edit;
  int focused = 0;
};

// The "Preset Name" dialog, answered from a script: a name for OK, nothing for Cancel.
class ScriptedNames : public PresetNameAsker {
 public:
  bool AskPresetName(std::string& name) override {
    prefills.push_back(name);
    if (answers.empty() || !answers.front()) {
      if (!answers.empty()) answers.pop_front();
      return false;
    }
    name = *answers.front();
    answers.pop_front();
    return true;
  }
  std::deque<std::optional<std::string>> answers;
  std::vector<std::string> prefills;
};

PresetValues Values(int32_t first) {
  PresetValues values;
  for (size_t i = 0; i < 11; ++i) values.p[i] = first + static_cast<int32_t>(i);
  return values;
}

class PresetListTest : public ::testing::Test {
 protected:
  PresetListTest() { list.SetSection("AveragingSet"); }

  TestFolder folder;
  ScopedEnvironment home{"ZTLIVE_HOME", folder.Path()};
  ScriptedPrompts prompts;
  ScriptedNames names;
  PresetList list{prompts, names};
  FakeCombo combo;
};

TEST_F(PresetListTest, OpensOnDefaultAndListsKeysInFileOrderWithoutHiddenOnes) {
  EXPECT_EQ(list.Section(), "AveragingSetSet");
  ProfileFile file = PresetFile();
  file.WriteString("AveragingSetSet", "Light", "1,2,3,4,5,6,7,8,9,10,11");
  file.WriteString("AveragingSetSet", "_*Chain1", "9,9,9,9,9,9,9,9,9,9,9");
  file.WriteString("AveragingSetSet", "Heavy", "2,2,2,2,2,2,2,2,2,2,2");
  list.FillList(combo);
  EXPECT_EQ(combo.items, (std::vector<std::string>{"Light", "Heavy"}));

  PresetValues values = Values(50);
  EXPECT_EQ(list.LoadDefault(combo, values), 1) << "no stored Default: the window keeps its own values";
  EXPECT_EQ(values, Values(50));
  EXPECT_EQ(combo.EditText(), "Default");
  EXPECT_EQ(combo.items.back(), "Default");

  combo.Select(combo.Find("Light"));
  EXPECT_EQ(list.LoadSelected(combo, values), 0);
  EXPECT_EQ(values, Values(1));
  EXPECT_EQ(list.CurrentName(), "Light");
  combo.selected = -1;
  EXPECT_EQ(list.LoadSelected(combo, values), 1);
}

TEST_F(PresetListTest, SavingAsANewNameAddsItAndItReadsBackThroughItsLineFeed) {
  list.FillList(combo);
  combo.edit = "typed";
  names.answers.push_back("Warm");
  EXPECT_EQ(list.SavePresetAs(combo, Values(7)), 0);
  EXPECT_EQ(names.prefills.back(), "typed");
  EXPECT_EQ(combo.items, (std::vector<std::string>{"Warm"}));
  EXPECT_EQ(combo.EditText(), "Warm");
  EXPECT_NE(test::ReadFileText(folder.File("ZTLiveDemoPresets.ini")).find("Warm=7,8,9,10,11,12,13,14,15,16,17\n\n"),
            std::string::npos);
  PresetValues values;
  EXPECT_EQ(list.LoadSelected(combo, values), 0);
  EXPECT_EQ(values, Values(7));
}

TEST_F(PresetListTest, OverwritingAsksExceptForDefaultAndCancelOrEmptyWriteNothing) {
  list.FillList(combo);
  names.answers = {std::string("Warm"), std::string("Warm"), std::string("Warm"), std::string("Default"),
                   std::string("Default"), std::nullopt, std::string("")};
  ASSERT_EQ(list.SavePresetAs(combo, Values(1)), 0);

  prompts.Script(PromptAnswer::No);
  EXPECT_EQ(list.SavePresetAs(combo, Values(2)), 1);
  ASSERT_EQ(prompts.Entries().size(), 1u);
  EXPECT_EQ(prompts.Entries()[0].text, "The preset Warm already exists. Do you want to overwrite it?");
  EXPECT_EQ(prompts.Entries()[0].caption, "Setting Exists");
  prompts.Script(PromptAnswer::Yes);
  EXPECT_EQ(list.SavePresetAs(combo, Values(3)), 0);

  ASSERT_EQ(list.SavePresetAs(combo, Values(4)), 0);  // a new Default
  ASSERT_EQ(list.SavePresetAs(combo, Values(5)), 0);  // a listed Default: no question
  EXPECT_EQ(prompts.Entries().size(), 2u);

  EXPECT_EQ(list.SavePresetAs(combo, Values(6)), 1);  // Cancel
  EXPECT_EQ(list.SavePresetAs(combo, Values(6)), 1);  // OK with no name
  EXPECT_EQ(prompts.Entries().back().text, "Please enter a name to save these settings with.");
  EXPECT_EQ(combo.focused, 1);
  EXPECT_EQ(prompts.UnscriptedQuestions(), 0u);

  PresetValues values;
  ASSERT_EQ(ReadPresetValues("AveragingSetSet", "Warm", values), 0);
  EXPECT_EQ(values, Values(3));
  ASSERT_EQ(ReadPresetValues("AveragingSetSet", "Default", values), 0);
  EXPECT_EQ(values, Values(5));
}

TEST_F(PresetListTest, DeletingRefusesDefaultAndUnknownNamesAndAsksFirst) {
  ProfileFile file = PresetFile();
  for (const char* name : {"Default", "A", "_*Chain0", "B"}) file.WriteString("AveragingSetSet", name, "1,1,1,1,1,1,1,1,1,1,1");
  list.FillList(combo);

  combo.Select(combo.Find("Default"));
  EXPECT_EQ(list.DeleteSelected(combo), 1);
  EXPECT_EQ(prompts.Entries().back().text, "The Default Settings cannot be deleted.");
  combo.edit = "Nope";
  EXPECT_EQ(list.DeleteSelected(combo), 1);
  EXPECT_EQ(prompts.Entries().back().text, "The Preset  Nope  was not found");
  EXPECT_EQ(prompts.Entries().back().caption, "Delete Setting");

  combo.Select(combo.Find("B"));
  prompts.Script(PromptAnswer::No);
  EXPECT_EQ(list.DeleteSelected(combo), 1);
  EXPECT_EQ(prompts.Entries().back().text, "Are you sure you want to delete the preset: B ?");
  EXPECT_EQ(prompts.Entries().back().caption, "Delete preset");
  EXPECT_EQ(prompts.Entries().back().icon, PromptIcon::Question);
  prompts.Script(PromptAnswer::Yes);
  EXPECT_EQ(list.DeleteSelected(combo), 0);
  EXPECT_EQ(combo.items, (std::vector<std::string>{"Default", "A"}));
  EXPECT_EQ(list.CurrentName(), "Default") << "the first entry is selected";
  EXPECT_EQ(file.KeyNames("AveragingSetSet", 4096), (std::vector<std::string>{"Default", "A", "_*Chain0"}))
      << "the hidden key stays";
}

// A preset file that cannot be changed (here another file stands where its lock goes): the
// delete and the automatic save say so, and the list keeps the entry that was not deleted.
TEST_F(PresetListTest, DeletingOrSavingDefaultThatFailsIsReported) {
  ProfileFile file = PresetFile();
  for (const char* name : {"Default", "A"}) file.WriteString("AveragingSetSet", name, "1,1,1,1,1,1,1,1,1,1,1");
  list.FillList(combo);
  test::WriteFileText(folder.File("ZTLiveDemoPresets.ini.lock"), "not a lock\n");

  combo.Select(combo.Find("A"));
  prompts.Script(PromptAnswer::Yes);
  EXPECT_EQ(list.DeleteSelected(combo), 1);
  EXPECT_EQ(prompts.Entries().back().text, "The preset A could not be deleted: File exists");
  EXPECT_EQ(prompts.Entries().back().icon, PromptIcon::Warning);
  EXPECT_EQ(combo.items, (std::vector<std::string>{"Default", "A"}));

  list.SaveDefault(combo, Values(7));
  EXPECT_EQ(prompts.Entries().back().text, "The preset Default could not be saved: File exists");
  EXPECT_EQ(combo.EditText(), "Default");
  PresetValues values;
  EXPECT_EQ(ReadPresetValues("AveragingSetSet", "Default", values), 0);
  PresetValues ones;
  ones.p.fill(1);
  EXPECT_EQ(values, ones);
}

TEST_F(PresetListTest, ClosingSavesDefaultOnlyWithAutoSaveAndNeverDuringARun) {
  FileRunSettings fileRun;
  RunState run;
  FilterSettingsLogic dialog(fileRun, run, prompts, names);
  dialog.Presets().SetSection("AveragingSet");
  dialog.Presets().FillList(combo);
  EXPECT_TRUE(dialog.RequestClose(combo, Values(9), false));
  EXPECT_TRUE(test::ReadFileText(folder.File("ZTLiveDemoPresets.ini")).empty());

  EXPECT_TRUE(dialog.RequestClose(combo, Values(9), true));
  EXPECT_NE(test::ReadFileText(folder.File("ZTLiveDemoPresets.ini")).find("Default=9,10,11,12,13,14,15,16,17,18, 19"),
            std::string::npos);
  PresetValues values;
  EXPECT_EQ(dialog.Presets().LoadDefault(combo, values), 0);
  EXPECT_EQ(values, Values(9));

  class Idle : public FilterProcessor {
    int Prepare(WaveStream&, WaveStream&) override { return 1; }
    int Finish(WaveStream&, WaveStream&) override { return 1; }
    int Process(WaveStream&, WaveStream&) override { return 1; }
  } engine;
  fileRun.runningEngine = &engine;
  EXPECT_FALSE(dialog.RequestClose(combo, Values(1), true));
  EXPECT_EQ(run.stopRequested, 1);
  EXPECT_EQ(ReadPresetValues("AveragingSetSet", "Default", values), 0);
  EXPECT_EQ(values, Values(9));
}

TEST_F(PresetListTest, LongNamesHugeSectionsAndBinaryFilesAreHandled) {
  list.FillList(combo);
  const std::string longest(64, 'n');
  names.answers = {longest + "cut off"};
  ASSERT_EQ(list.SavePresetAs(combo, Values(1)), 0);
  EXPECT_EQ(combo.items, (std::vector<std::string>{longest}));

  ProfileFile file = PresetFile();
  std::string many = "[AveragingSetSet]\n";
  for (int i = 0; i < 5000; ++i) many += "Preset" + std::to_string(i) + "=1,2,3,4,5,6,7,8,9,10,11\n";
  test::WriteFileText(folder.File("ZTLiveDemoPresets.ini"), many);
  list.FillList(combo);
  // The names that fit a 4096-byte list, whole: "Preset0" ... each with its terminator.
  EXPECT_GT(combo.Count(), 400);
  EXPECT_LT(combo.Count(), 5000);
  EXPECT_EQ(combo.items[0], "Preset0");

  std::string binary(20000, '\0');
  for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>((i * 7919) % 251);
  test::WriteFileText(folder.File("ZTLiveDemoPresets.ini"), binary);
  list.FillList(combo);
  combo.Add("Anything");
  combo.Select(combo.Find("Anything"));
  PresetValues values = Values(3);
  EXPECT_EQ(list.LoadSelected(combo, values), 1);
  EXPECT_EQ(values, Values(3));
  names.answers = {std::string("Kept")};
  EXPECT_EQ(list.SavePresetAs(combo, Values(4)), 0) << "a write keeps the file's bytes and adds the preset";
  EXPECT_EQ(ReadPresetValues("AveragingSetSet", "Kept", values), 0);
  EXPECT_EQ(values, Values(4));

  names.answers = {std::string("a=b")};
  EXPECT_EQ(list.SavePresetAs(combo, Values(5)), 1);
  EXPECT_EQ(prompts.Entries().back().text, "The preset a=b could not be saved: Invalid argument");
}

}  // namespace
}  // namespace ztlive
