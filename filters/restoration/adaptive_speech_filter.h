// The adaptive speech filter (type 30): an adaptive transversal filter trained by the
// least-mean-squares rule pulls what is correlated (speech, tones) out of uncorrelated noise.
// It predicts a reference from a delayed copy of the input (mono, or the channels' mean) or
// from the other channel; the prediction is the wanted signal, the error the residue. In
// stereo both channels receive the same value.
#pragma once

#include <memory>
#include <vector>

#include "filters/framework/filter_processor.h"

namespace ztlive {

class AdaptiveProcessor : public FilterProcessor {
 public:
  static constexpr int32_t kMaxTaps = 4096;
  enum Reference { kRightChannel = 0, kLeftChannel = 1, kTimeDelay = 2 };

  AdaptiveProcessor();
  int Prepare(WaveStream& in, WaveStream& out) override;
  int Process(WaveStream& in, WaveStream& out) override;
  int Finish(WaveStream&, WaveStream&) override { return 1; }

  static std::unique_ptr<FilterProcessor> Create() { return std::make_unique<AdaptiveProcessor>(); }
  static const FilterDescriptor& Descriptor();

  // The weights in use, L of them.
  const double* Weights() const { return m_weights.data(); }
  int32_t Taps() const { return m_taps; }
  bool Frozen() const { return m_frozen; }

 private:
  // A history of one signal, written twice so that the last `kHistory` values always lie in
  // one piece: Back(k) is the value k steps before the newest.
  class History {
   public:
    static constexpr size_t kSize = 16384;  // holds delay + taps back, at most 8190
    History() : m_values(2 * kSize, 0.0) {}
    void Clear() {
      std::fill(m_values.begin(), m_values.end(), 0.0);
      m_newest = 0;
    }
    void Push(double value) {
      m_newest = (m_newest + 1) & (kSize - 1);
      m_values[m_newest] = value;
      m_values[m_newest + kSize] = value;
    }
    // The newest value is at [0], older ones at negative offsets down to -(kSize - 1).
    const double* Newest() const { return m_values.data() + m_newest + kSize; }

   private:
    std::vector<double> m_values;
    size_t m_newest = 0;
  };

  // Step size, taps, delay and reference from the values; the weights cleared.
  void Derive();
  int RunMono(WaveStream& in, WaveStream& out);
  int RunStereo(WaveStream& in, WaveStream& out);

  std::vector<double> m_weights;  // room for kMaxTaps
  History m_signal;               // mono: the input; stereo: the regressor
  History m_desired;              // stereo: the channel (or mean) the filter predicts
  double m_mu = 0;
  double m_lambda = 0;
  double m_power = 2.0;
  int32_t m_taps = 4;
  int32_t m_delay = 0;
  int32_t m_reference = kTimeDelay;
  bool m_frozen = false;
  bool m_derived = false;  // the values have been derived since Prepare
  PresetValues m_derivedFrom;
};

}  // namespace ztlive
