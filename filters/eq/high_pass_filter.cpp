#include "filters/eq/high_pass_filter.h"

namespace ztlive {

HighPassProcessor::HighPassProcessor() : CornerFilterProcessor(false) {
  typeId = 12;
  sectionBase = "HiPassSet";
  displayName = "Hi Pass";
}

int HighPassProcessor::Prepare(WaveStream&, WaveStream&) {
  ClearState();
  needsPrepare = 1;  // the first block designs from the values of that moment
  return 1;
}

int HighPassProcessor::Process(WaveStream& in, WaveStream& out) {
  if (needsPrepare) {
    needsPrepare = 0;
    Design(in);
  }
  return RunBlock(in, out);
}

}  // namespace ztlive
