// The dynamic noise filter (type 18): a low pass whose cutoff follows the programme. A
// detector (a high pass at the filter frequency, a threshold, an attack smoother and a
// release hold) drives the cutoff from the filter frequency, where hiss is taken away while
// the music is quiet, up to half the sample rate, so that loud treble keeps its brilliance.
// The enhancer mode adds the treble above the cutoff back with gain instead.
#pragma once

#include <array>
#include <memory>

#include "filters/framework/filter_processor.h"

namespace ztlive {

class DynamicNoiseProcessor : public FilterProcessor {
 public:
  static constexpr int kCutoffSteps = 1024;

  DynamicNoiseProcessor();
  int Prepare(WaveStream& in, WaveStream& out) override;
  int Process(WaveStream& in, WaveStream& out) override;
  int Finish(WaveStream&, WaveStream&) override { return 1; }

  static std::unique_ptr<FilterProcessor> Create() { return std::make_unique<DynamicNoiseProcessor>(); }
  static const FilterDescriptor& Descriptor();
  // The same filter as its settings window stores presets: (attack, release, threshold,
  // frequency, gain, enhancer). The engine's own record has the enhancer one place later.
  static const FilterDescriptor& WindowDescriptor();

  // The step of the cutoff table in use after the last frame (0: the filter frequency,
  // kCutoffSteps - 1: half the sample rate).
  int CutoffStep() const { return m_step; }
  // The cutoff of a step, in Hz, for the rate of the last derivation.
  double CutoffHz(int step) const;

 private:
  // The detector, smoother, release, gain and cutoff table for the values and rate.
  void Derive(double fs);
  template <int Channels>
  int Run(WaveStream& in, WaveStream& out);

  double m_fs = 44100;
  // Detector high pass.
  double m_b0 = 0;
  double m_b1 = 0;
  double m_a1 = 0;
  double m_vPrev = 0;
  // Envelope smoother.
  double m_c0 = 0;
  double m_d1 = 0;
  double m_s1 = 0;
  double m_env = 1023;
  double m_release = 0;
  double m_threshold = 0;
  double m_gain = 1;
  int m_step = 0;
  // Per step of the cutoff: the low pass's g and h.
  std::array<double, kCutoffSteps> m_g{};
  std::array<double, kCutoffSteps> m_h{};
  std::array<double, 2> m_z{};  // the signal low pass's state, per channel
};

}  // namespace ztlive
