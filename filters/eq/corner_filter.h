// What the low pass and the high pass share: one recursive section per channel, designed
// from the slope p[0] and the cutoff p[1], with the cutoff limited below half the rate.
#pragma once

#include "filters/framework/filter_design.h"
#include "filters/framework/filter_processor.h"

namespace ztlive {

class CornerFilterProcessor : public FilterProcessor {
 public:
  const SectionCoefficients& Coefficients() const { return m_coefficients; }
  double CutoffHz() const { return m_cutoffHz; }

 protected:
  CornerFilterProcessor(const FilterDescriptor& descriptor, bool lowPass)
      : FilterProcessor(descriptor), m_lowPass(lowPass) {}

  // Limits the cutoff (at or above half the rate: 0.475 fs) and designs the section.
  void Design(const WaveStream& in);
  void ClearState();
  // Runs the block through the sections: 1 when consumed, 0 when a write failed.
  int RunBlock(WaveStream& in, WaveStream& out);

 private:
  template <int N>
  int Run(WaveStream& in, WaveStream& out);

  bool m_lowPass;
  SectionCoefficients m_coefficients;
  SectionState m_state[2];
  double m_cutoffHz = 0;
};


}  // namespace ztlive
