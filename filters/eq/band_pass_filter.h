// The band pass (type 11): a high-pass section at the lower edge p[1] followed by a low-pass
// section at the upper edge p[2], both of the slope p[0].
#pragma once

#include <memory>

#include "filters/eq/corner_filter.h"

namespace ztlive {

class BandPassProcessor : public FilterProcessor {
 public:
  BandPassProcessor();
  int Prepare(WaveStream& in, WaveStream& out) override;
  int Process(WaveStream& in, WaveStream& out) override;
  int Finish(WaveStream&, WaveStream&) override { return 1; }

  static std::unique_ptr<FilterProcessor> Create() { return std::make_unique<BandPassProcessor>(); }
  static const FilterDescriptor& Descriptor();

 private:
  void Design(const WaveStream& in);
  template <int N>
  int Run(WaveStream& in, WaveStream& out);

  SectionCoefficients m_highPass;
  SectionCoefficients m_lowPass;
  SectionState m_highState[2];
  SectionState m_lowState[2];
};

}  // namespace ztlive
