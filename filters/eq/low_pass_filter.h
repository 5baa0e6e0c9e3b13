// The low pass (type 19): 6, 12 or 18 dB per octave above the cutoff.
#pragma once

#include <memory>

#include "filters/eq/corner_filter.h"

namespace ztlive {

class LowPassProcessor : public CornerFilterProcessor {
 public:
  LowPassProcessor();
  int Prepare(WaveStream& in, WaveStream& out) override;
  int Process(WaveStream& in, WaveStream& out) override;
  int Finish(WaveStream&, WaveStream&) override { return 1; }

  static std::unique_ptr<FilterProcessor> Create() { return std::make_unique<LowPassProcessor>(); }
  static const FilterDescriptor& Descriptor();
};

}  // namespace ztlive
