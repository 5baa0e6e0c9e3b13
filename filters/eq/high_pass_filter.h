// The high pass (type 12): 6, 12 or 18 dB per octave below the cutoff.
#pragma once

#include <memory>

#include "filters/eq/corner_filter.h"

namespace ztlive {

class HighPassProcessor : public CornerFilterProcessor {
 public:
  HighPassProcessor();
  int Prepare(WaveStream& in, WaveStream& out) override;
  int Process(WaveStream& in, WaveStream& out) override;
  int Finish(WaveStream&, WaveStream&) override { return 1; }

  static std::unique_ptr<FilterProcessor> Create() { return std::make_unique<HighPassProcessor>(); }
  static const FilterDescriptor& Descriptor();
};

}  // namespace ztlive
