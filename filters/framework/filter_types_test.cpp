#include "filters/framework/filter_types.h"

#include <gtest/gtest.h>


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

}  // namespace
}  // namespace ztlive
