// Running a chain as the filter type 28 through the filter run: over the selection of the
// view's document into its destination, or as a preview to the output device.
#pragma once

#include "document/filter_run.h"
#include "live/filter_chain.h"

namespace ztlive {

// While a run is in progress this only asks it to stop (0). Otherwise the Punch-and-Crunch
// rule is checked (0 after its message), and the run's result is returned: 1 when done, else
// 0 or the run's code (its message has been shown).
int RunChain(FilterRun& runner, FilterChain& chain, RunView* view, bool preview);

}  // namespace ztlive
