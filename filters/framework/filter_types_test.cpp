#include "filters/framework/filter_types.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/scripted_prompts.h"

namespace ztlive {
namespace {

TEST(FilterTypes, TheTwoListsHoldTheirTypesInOrder) {
  const auto batch = BatchFilterList();
  ASSERT_EQ(batch.size(), 23u);
  EXPECT_EQ(batch[0].name, "Impulse Filter");
  EXPECT_EQ(batch[17].typeId, kMultiFilter);
  EXPECT_EQ(batch[22].iconId, 277);
  const auto chain = ChainFilterList();
  ASSERT_EQ(chain.size(), 22u);
  EXPECT_EQ(chain[17].name, "Brick Wall");
  EXPECT_EQ(chain[18].name, "Adaptive");
  EXPECT_EQ(FindFilterType(chain, kChainOutput), 21);
  EXPECT_EQ(FindFilterType(chain, 21), -1) << "no Pitch Change in a chain";
  EXPECT_EQ(FindFilterType(chain, kMultiFilter), -1);
  EXPECT_EQ(FindFilterType(batch, 32), 21);
}

TEST(FilterTypes, EveryListedFilterHasAFactoryRowWithItsSection) {
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

TEST(FilterTypes, TheFactoryRefusesUnknownTypesAndMakesNothingForTypesWithoutAnEngine) {
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

}  // namespace
}  // namespace ztlive
