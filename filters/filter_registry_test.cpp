// One table-driven test over every filter descriptor: the registry against the two lists of
// filter types as the program offers them, the factory against the registry, and for every
// built engine its ranges and preset records.
#include "filters/filter_registry.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "filters/filter_factory.h"
#include "filters/framework/preset_loading.h"
#include "filters/framework/preset_store.h"
#include "filters/ready_presets.h"
#include "platform/scripted_prompts.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

// The two lists exactly as the program shows them: type, icon, name.
const FilterTypeEntry kExpectedBatch[] = {
    {15, 216, "Impulse Filter"},       {8, 222, "Continuous Noise Filter"}, {22, 227, "Harmonic Noise Filter"},
    {18, 224, "Dynamic Noise Filter"}, {19, 229, "Low Pass Filter"},        {11, 220, "Band Pass Filter"},
    {12, 228, "High Pass Filter"},     {13, 231, "Notch Filter"},           {6, 230, "Median Filter"},
    {2, 219, "Averaging Filter"},      {20, 226, "Graphic Equalizer"},      {0, 225, "File Conversion"},
    {23, 234, "Reverb"},               {24, 233, "Virtual Valve"},          {25, 221, "Dynamics Processor"},
    {26, 232, "Paragraphic Equalizer"}, {29, 249, "Channel Blender"},       {28, 250, "MultiFilter"},
    {21, 235, "Pitch Change"},         {30, 261, "Adaptive"},               {31, 260, "Brick Wall"},
    {32, 270, "Normalize"},            {33, 277, "Punch and Crunch"},
};
const FilterTypeEntry kExpectedChain[] = {
    {15, 216, "Impulse"},         {8, 222, "Continuous Noise"}, {22, 227, "Harmonic Noise"},
    {18, 224, "Dynamic Noise"},   {19, 229, "Low Pass"},        {11, 220, "Band Pass"},
    {12, 228, "High Pass"},       {13, 231, "Notch"},           {6, 230, "Median"},
    {2, 219, "Averaging"},        {20, 226, "Graphic Eq"},      {0, 225, "File Conversion"},
    {23, 234, "Reverb"},          {24, 233, "Virtual Valve"},   {25, 221, "Dynamics Processor"},
    {26, 232, "Paragraphic Eq"},  {29, 249, "Channel Blender"}, {31, 260, "Brick Wall"},
    {30, 261, "Adaptive"},        {33, 277, "Punch and Crunch"}, {kChainInput, 242, "Input"},
    {kChainOutput, 244, "Output"},
};

void ExpectList(std::span<const FilterTypeEntry> actual, std::span<const FilterTypeEntry> expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(actual[i].typeId, expected[i].typeId);
    EXPECT_EQ(actual[i].iconId, expected[i].iconId);
    EXPECT_EQ(actual[i].name, expected[i].name);
  }
}

TEST(FilterRegistry, TheListsHoldEveryTypeInTheirOrder) {
  ExpectList(BatchFilterList(), kExpectedBatch);
  ExpectList(ChainFilterList(), kExpectedChain);
  EXPECT_EQ(FindFilterType(ChainFilterList(), 21), -1) << "no Pitch Change in a chain";
  EXPECT_EQ(FindFilterType(BatchFilterList(), 32), 21);
  std::set<FilterTypeId> seen;
  for (const FilterRegistryRow& row : FilterRegistry()) EXPECT_TRUE(seen.insert(row.typeId).second) << row.typeId;
  std::set<std::string_view> names;
  for (const FilterRegistryRow& row : FilterRegistry()) {
    const std::string_view name = row.descriptor().commandName;
    if (!name.empty() && row.descriptor().typeId == row.typeId) {
      EXPECT_TRUE(names.insert(name).second) << name;
    }
  }
}

// The built engines, the ones whose owner does the work, and every other type.
TEST(FilterRegistry, TheFactoryMakesExactlyWhatTheRegistrySays) {
  ScriptedPrompts prompts;
  for (const FilterRegistryRow& row : FilterRegistry()) {
    const FilterDescriptor& descriptor = row.descriptor();
    SCOPED_TRACE(row.typeId);
    EXPECT_TRUE(descriptor.typeId == row.typeId || row.typeId == 7) << "only 7 borrows a descriptor (the median's)";
    std::unique_ptr<FilterProcessor> engine;
    const size_t messagesBefore = prompts.Entries().size();
    const int made = CreateFilterProcessor(row.typeId, engine, prompts);
    if (descriptor.Built()) {
      ASSERT_EQ(made, 1);
      ASSERT_NE(engine, nullptr);
      EXPECT_EQ(engine->GetTypeId(), descriptor.typeId);
      EXPECT_EQ(engine->Descriptor(), &descriptor);
      EXPECT_EQ(engine->GetSectionBase(), descriptor.sectionBase);
      EXPECT_EQ(engine->GetDisplayName(), descriptor.displayName);
      EXPECT_EQ(engine->GetHistoryLength(), descriptor.history.value_or(engine->GetHistoryLength()));
      EXPECT_EQ(engine->GetLookahead(), descriptor.lookAhead.value_or(engine->GetLookahead()));
      EXPECT_EQ(engine->values, descriptor.EngineValues());
    } else if (descriptor.traits.ownerDoesWork) {
      EXPECT_EQ(made, 1);
      EXPECT_EQ(engine, nullptr);
    } else {
      EXPECT_EQ(made, 0);
      EXPECT_EQ(engine, nullptr);
      ASSERT_EQ(prompts.Entries().size(), messagesBefore + 1);
      EXPECT_EQ(prompts.Entries().back().text, "ERROR: No filter is selected to run. Try Again");
    }
  }
  std::unique_ptr<FilterProcessor> engine;
  for (const FilterTypeId unknown : {1, 4, 10, 14, 17, 34, -1}) EXPECT_EQ(CreateFilterProcessor(unknown, engine, prompts), 0);
}

TEST(FilterDescriptors, StartingValuesAndChoicesFitTheirRanges) {
  for (const FilterDescriptor* descriptor : BuiltFilters()) {
    SCOPED_TRACE(descriptor->typeId);
    EXPECT_FALSE(FirstValueOutOfRange(*descriptor, descriptor->StartingValues()).has_value());
    EXPECT_FALSE(FirstValueOutOfRange(*descriptor, descriptor->EngineValues()).has_value());
    std::set<int> indexes;
    for (const ParameterRecord& parameter : descriptor->parameters) {
      EXPECT_TRUE(indexes.insert(parameter.index).second) << parameter.label;
      EXPECT_LE(parameter.minimum, parameter.maximum) << parameter.label;
      if (!parameter.choices.empty()) {
        EXPECT_EQ(parameter.minimum, 0) << parameter.label;
        EXPECT_EQ(parameter.maximum + 1, static_cast<int32_t>(parameter.choices.size())) << parameter.label;
      }
    }
  }
}

// Values inside every range, different from the starting values where the range allows.
PresetValues SomeValuesInRange(const FilterDescriptor& descriptor, std::mt19937& random) {
  PresetValues values;
  for (const ParameterRecord& parameter : descriptor.parameters)
    values.p[static_cast<size_t>(parameter.index)] =
        std::uniform_int_distribution<int32_t>(parameter.minimum, parameter.maximum)(random);
  return values;
}

class PresetFileTest : public ::testing::Test {
 protected:
  test::TestFolder folder;
  test::ScopedEnvironment home{"ZTLIVE_HOME", folder.Path()};
};

TEST_F(PresetFileTest, APresetSurvivesTheFileAndADamagedOneIsRefusedWithItsRange) {
  std::mt19937 random(7);
  for (const FilterDescriptor* descriptor : BuiltFilters()) {
    if (descriptor->sectionBase == "None") continue;
    SCOPED_TRACE(descriptor->typeId);
    std::unique_ptr<FilterProcessor> writer = descriptor->create();
    writer->SetValues(SomeValuesInRange(*descriptor, random));
    ASSERT_EQ(writer->WritePreset("Round trip"), 1);  // an engine may store what it derives

    std::unique_ptr<FilterProcessor> reader = descriptor->create();
    ASSERT_TRUE(LoadNamedPreset(*reader, "Round trip").Loaded());
    PresetValues expected = writer->values;
    descriptor->presetRecord.Load(descriptor->presetRecord.Store(writer->values), expected);
    EXPECT_EQ(reader->values, expected);
    EXPECT_EQ(LoadNamedPreset(*reader, "Never saved").result, PresetLoadResult::Missing);

    // Each stored value pushed past its range: the preset is refused and nothing changes.
    for (int slot = 0; slot < descriptor->presetRecord.count; ++slot) {
      const int index = descriptor->presetRecord.order[static_cast<size_t>(slot)];
      const ParameterRecord* parameter = descriptor->Parameter(index);
      if (parameter == nullptr) continue;
      const PresetValues good = writer->values;
      PresetValues damaged = good;
      damaged.p[static_cast<size_t>(index)] = parameter->maximum + 1;
      // Written whole (with what the engine keeps beside the values), then the damaged values.
      ASSERT_EQ(writer->WritePreset("Damaged"), 1);
      ASSERT_EQ(writer->WritePresetValues("Damaged", descriptor->presetRecord.Store(damaged)), 1);
      writer->values = good;
      const PresetValues before = reader->values;
      const PresetLoadOutcome outcome = LoadNamedPreset(*reader, "Damaged");
      EXPECT_EQ(outcome.result, PresetLoadResult::OutOfRange) << parameter->label;
      EXPECT_NE(outcome.problem.find(std::to_string(parameter->minimum) + " and " + std::to_string(parameter->maximum)),
                std::string::npos)
          << outcome.problem;
      EXPECT_EQ(reader->values, before);
    }
  }
}

}  // namespace
}  // namespace ztlive

namespace ztlive {
namespace {

TEST_F(PresetFileTest, ReadyPresetsAreWrittenOnceBesideTheUsersAndAnswerToTheirNames) {
  size_t shipped = 0;
  for (const FilterDescriptor* descriptor : BuiltFilters()) {
    for (const ReadyPreset& preset : descriptor->readyPresets) {
      SCOPED_TRACE(std::string(preset.name));
      ++shipped;
      // Ready presets are in the stored order; the ranges apply to the engine's order.
      PresetValues expected = descriptor->EngineValues();
      descriptor->presetRecord.Load(preset.values, expected);
      EXPECT_FALSE(FirstValueOutOfRange(*descriptor, expected).has_value());
      // Before the file holds it, the engine reads it by name all the same.
      std::unique_ptr<FilterProcessor> engine = descriptor->create();
      ASSERT_TRUE(LoadNamedPreset(*engine, preset.name).Loaded());
      EXPECT_EQ(engine->values, expected);
    }
  }
  ASSERT_GT(shipped, 0u);

  // A user's preset of a ready name stays the user's; the others are written.
  const FilterDescriptor& hum = *FindFilterByCommandName("harmonic-noise");
  const ReadyPreset& first = hum.readyPresets.front();
  const ReadyPreset& second = hum.readyPresets.back();
  PresetValues mine = hum.StartingValues();
  ASSERT_EQ(WritePresetValuesTo(PresetSection(hum.sectionBase), first.name, mine, PresetTextForm::Plain), 1);
  ProfileFile file = PresetFile();
  ASSERT_EQ(WriteReadyPresets(file), 0);
  PresetValues read;
  ASSERT_EQ(ReadPresetValues(PresetSection(hum.sectionBase), first.name, read), 0);
  EXPECT_EQ(read, mine);
  ASSERT_EQ(ReadPresetValues(PresetSection(hum.sectionBase), second.name, read), 0);
  EXPECT_EQ(read, second.values);
  const std::vector<std::string> keys = file.KeyNames(PresetSection(hum.sectionBase), 4096);
  EXPECT_EQ(std::count_if(keys.begin(), keys.end(), [](const std::string& key) { return !IsHiddenPresetName(key); }),
            2);

  // Deleted by the user, it stays deleted at the next start.
  ASSERT_EQ(file.DeleteKey(PresetSection(hum.sectionBase), second.name), 0);
  EXPECT_EQ(WriteReadyPresets(file), 0);
  EXPECT_NE(ReadPresetValues(PresetSection(hum.sectionBase), second.name, read), 0);
}

}  // namespace
}  // namespace ztlive
