// The moving average (type 2): per channel, the mean of the last N values, truncated.
#pragma once

#include <memory>

#include "filters/framework/filter_processor.h"

namespace ztlive {

class AveragingProcessor : public FilterProcessor {
 public:
  static constexpr int kMaxWindow = 100;  // the history holds 256 values: 128 stereo frames

  AveragingProcessor();
  int Prepare(WaveStream&, WaveStream&) override { return 1; }
  int Process(WaveStream& in, WaveStream& out) override;
  int Finish(WaveStream&, WaveStream&) override { return 1; }

  static std::unique_ptr<FilterProcessor> Create() { return std::make_unique<AveragingProcessor>(); }
  static const FilterDescriptor& Descriptor();

 private:
  template <int Channels>
  int Run(WaveStream& in, WaveStream& out, int window);
};

}  // namespace ztlive
