#include "live/chain_runner.h"

namespace ztlive {

int RunChain(FilterRun& runner, FilterChain& chain, RunView* view, bool preview) {
  if (runner.RunBusy() || chain.Running()) {
    runner.RequestStop();
    return 0;
  }
  if (!chain.CheckRunnable()) return 0;
  runner.SetChainRunner([&chain](WaveStream& in, WaveStream& out, const FilterRun::ChainBlockListener& afterBlock) {
    return chain.Run(in, out, [&] {
      if (afterBlock) afterBlock(chain.ClickCount());
    });
  });
  // The destination's channels follow the last File Conversion node, if there is one.
  const int result = runner.RunFilter(view, kMultiFilter, nullptr, preview, chain.ConversionMode(), PresetValues{});
  runner.SetChainRunner({});
  return result;
}

}  // namespace ztlive
