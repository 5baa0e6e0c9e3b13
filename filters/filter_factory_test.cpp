#include "filters/filter_factory.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/scripted_prompts.h"

namespace ztlive {
namespace {

TEST(FilterFactory, EveryListedFilterHasAFactoryRowWithItsSection) {
  for (const FilterTypeEntry& entry : BatchFilterList()) {
    if (entry.typeId == kMultiFilter || entry.typeId == 32) continue;
    const FilterFactoryRow* row = FindFactoryRow(entry.typeId);
    ASSERT_NE(row, nullptr) << entry.name;
    EXPECT_NE(row->sectionBase, "None") << entry.name;
  }
  EXPECT_EQ(FindFactoryRow(2)->sectionBase, "AveragingSet");
  EXPECT_EQ(FindFactoryRow(7)->sectionBase, FindFactoryRow(6)->sectionBase) << "both make the median engine";
  EXPECT_EQ(FindFactoryRow(15)->lookAhead, 1024);
  EXPECT_EQ(FindFactoryRow(25)->defaults->p[0], -330);
  EXPECT_FALSE(FindFactoryRow(8)->history.has_value()) << "the continuous noise engine works it out";
  std::set<FilterTypeId> seen;
  for (const FilterFactoryRow& row : FilterFactoryTable()) EXPECT_TRUE(seen.insert(row.typeId).second);
}

TEST(FilterFactory, TheFactoryRefusesUnknownTypesAndMakesNothingForTypesWithoutAnEngine) {
  ScriptedPrompts prompts;
  std::unique_ptr<FilterProcessor> engine;
  for (const FilterTypeId none : {3, 5, 16, 32}) {
    EXPECT_EQ(CreateFilterProcessor(none, engine, prompts), 1);
    EXPECT_EQ(engine, nullptr);
  }
  EXPECT_TRUE(prompts.Entries().empty());
  for (const FilterTypeId unknown : {1, 4, 10, 14, 17, kMultiFilter, 34, -1}) {
    EXPECT_EQ(CreateFilterProcessor(unknown, engine, prompts), 0) << unknown;
    EXPECT_EQ(engine, nullptr);
  }
  ASSERT_EQ(prompts.Entries().size(), 8u);
  EXPECT_EQ(prompts.Entries()[0].text, "ERROR: No filter is selected to run. Try Again");
}

TEST(FilterFactory, TheBuiltEnginesAreMadeWithTheirRowsNames) {
  ScriptedPrompts prompts;
  for (const FilterTypeId type : {2, 6, 7, 11, 12, 13, 15, 19}) {
    std::unique_ptr<FilterProcessor> engine;
    ASSERT_EQ(CreateFilterProcessor(type, engine, prompts), 1);
    ASSERT_NE(engine, nullptr) << type;
    const FilterFactoryRow* row = FindFactoryRow(type);
    EXPECT_EQ(engine->GetSectionBase(), row->sectionBase);
    EXPECT_EQ(engine->GetDisplayName(), row->displayName);
    if (row->history) {
      EXPECT_EQ(engine->GetHistoryLength(), *row->history) << type;
    }
  }
  EXPECT_TRUE(prompts.Entries().empty());
}

}  // namespace
}  // namespace ztlive
