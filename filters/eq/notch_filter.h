// The notch (type 13): a resonator at the centre p[1] with the width p[2] (hundredths of an
// octave); it removes the band, or with the slot flag p[3] keeps only the band.
#pragma once

#include <memory>

#include "filters/eq/corner_filter.h"

namespace ztlive {

class NotchProcessor : public FilterProcessor {
 public:
  NotchProcessor();
  int Prepare(WaveStream& in, WaveStream& out) override;
  int Process(WaveStream& in, WaveStream& out) override;
  int Finish(WaveStream&, WaveStream&) override { return 1; }

  static std::unique_ptr<FilterProcessor> Create() { return std::make_unique<NotchProcessor>(); }
  static const FilterDescriptor& Descriptor();

  // The band edges of the last design, in Hz.
  double LowerEdgeHz() const { return m_lowerHz; }
  double UpperEdgeHz() const { return m_upperHz; }

 private:
  void Design(double fs);
  template <int Channels>
  int Run(WaveStream& in, WaveStream& out);

  double m_alpha = 0;
  double m_beta = 0;
  double m_gamma = 0;
  double m_q = 0;
  int32_t m_slot = 0;
  double m_lowerHz = 0;
  double m_upperHz = 0;
  double m_y1[2] = {};
  double m_y2[2] = {};
};

}  // namespace ztlive
