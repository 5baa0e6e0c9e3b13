// The running median (types 6 and 7): per channel, the middle of the last N values.
#pragma once

#include <memory>

#include "filters/eq/corner_filter.h"

namespace ztlive {

class MedianProcessor : public FilterProcessor {
 public:
  static constexpr int kMaxWindow = 100;

  MedianProcessor();
  int Prepare(WaveStream& in, WaveStream& out) override;
  int Process(WaveStream& in, WaveStream& out) override;
  int Finish(WaveStream&, WaveStream&) override { return 1; }

  static std::unique_ptr<FilterProcessor> Create() { return std::make_unique<MedianProcessor>(); }
  static const FilterDescriptor& Descriptor();

  int Window() const { return m_window; }

 private:
  template <int Channels>
  int Run(WaveStream& in, WaveStream& out);

  int m_window = 5;
  int m_middle = 3;
  std::unique_ptr<SampleValue[]> m_work[2];
};

}  // namespace ztlive
