#include "filters/eq/low_pass_filter.h"

namespace ztlive {

LowPassProcessor::LowPassProcessor() : CornerFilterProcessor(true) {
  typeId = 19;
  sectionBase = "LowPassSet";
  displayName = "LowPass";
}

int LowPassProcessor::Prepare(WaveStream& in, WaveStream&) {
  Design(in);
  ClearState();
  needsPrepare = 0;
  return 1;
}

int LowPassProcessor::Process(WaveStream& in, WaveStream& out) {
  if (needsPrepare) {  // new values during a run: redesign, keep the state
    needsPrepare = 0;
    Design(in);
  }
  return RunBlock(in, out);
}

}  // namespace ztlive
