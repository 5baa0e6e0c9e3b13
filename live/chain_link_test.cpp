// The link between two chain filters at a live run's short block length: it hands on blocks
// of that length, in order, with the history and look-ahead the next filter asks for, and no
// later than the look-ahead allows.
#include "live/chain_link.h"

#include <gtest/gtest.h>

namespace ztlive {
namespace {

TEST(ChainLinkBlocks, HandsOnBlocksOfTheLiveLengthWithHistoryAndLookAhead) {
  const struct {
    int length;  // the live block length set on the link (0: the whole block)
    int handed;  // values per block handed on
  } cases[] = {{0, 4096}, {4096, 4096}, {512, 512}, {256, 256}, {9000, 4096}};
  constexpr int kHistory = 300;
  constexpr int kLookAhead = 100;
  for (const auto& c : cases) {
    SCOPED_TRACE("live block length " + std::to_string(c.length));
    RunState run;
    ChainLink link(4096, 8192, run);
    link.SetFormat(MakePcmFormat(2, 44100, 24));
    link.SetReadSpan(kHistory, kLookAhead);
    link.SetBlockLength(c.length);
    SampleValue next = 1;  // the filter before writes 1, 2, 3, ...
    SampleValue expected = 1;
    int blocks = 0;
    // The filter before writes 1000 values a round; a block goes on once its look-ahead is in.
    for (int round = 0; round < 20; ++round) {
      for (int i = 0; i < 1000; ++i) ASSERT_EQ(link.Sink().WriteSample(next++), 1);
      link.Collect();
      while (link.NextBlock()) {
        const WaveStream& block = link.Source();
        ASSERT_EQ(block.End() - block.Begin(), c.handed);
        EXPECT_EQ(block.Begin()[0], expected);
        EXPECT_LE(block.End()[kLookAhead - 1], next - 1) << "the look-ahead holds only values written";
        EXPECT_EQ(block.End()[kLookAhead - 1], expected + c.handed + kLookAhead - 1);
        if (expected > kHistory) {
          EXPECT_EQ(block.Begin()[-kHistory], expected - kHistory);
        }
        expected += c.handed;
        ++blocks;
      }
      EXPECT_GT(expected + c.handed + kLookAhead, next) << "a complete block was held back";
    }
    EXPECT_EQ(blocks, (20 * 1000 - kLookAhead) / c.handed);
  }
}

}  // namespace
}  // namespace ztlive
