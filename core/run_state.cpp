#include "core/run_state.h"

namespace ztlive {

RunState& TheRunState() {
  static RunState state;
  return state;
}

}  // namespace ztlive
