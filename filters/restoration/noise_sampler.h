// Noise sampling (type 9): the average magnitude spectrum of a stretch that holds only noise,
// per channel, from non-overlapping Hamming-windowed frames of 2N values (N = p[0]). Writes
// nothing; after the run the caller reduces the averages to a noise print.
#pragma once

#include <memory>
#include <vector>

#include "filters/framework/filter_processor.h"
#include "filters/framework/real_fft.h"

namespace ztlive {

class NoiseSampler : public FilterProcessor {
 public:
  NoiseSampler();
  int Prepare(WaveStream& in, WaveStream& out) override;
  int Process(WaveStream& in, WaveStream& out) override;
  int Finish(WaveStream& in, WaveStream& out) override;

  static std::unique_ptr<FilterProcessor> Create() { return std::make_unique<NoiseSampler>(); }
  static const FilterDescriptor& Descriptor();

  int32_t Bins() const { return m_bins; }
  int Channels() const { return m_channels; }
  // The average magnitude of each of the N pairs.
  const std::vector<double>& Average(int channel) const { return m_sums[static_cast<size_t>(channel)]; }

 private:
  void TakeFrame();

  int32_t m_bins = 0;
  int m_channels = 1;
  RealFft m_fft;
  std::vector<double> m_window;
  std::vector<double> m_frames[2];
  std::vector<double> m_sums[2];
  size_t m_filled = 0;
  int64_t m_frameCount = 0;
};

}  // namespace ztlive
