// The continuous noise filter (type 8): spectral subtraction against a stored noise print.
// Each channel runs through half-overlapping Hamming-windowed frames of 2N values; every
// pair of the transform whose power does not rise above the print is turned down (smoothed
// by an attack low pass and a release hold, never below the floor), and the frames are added
// back together. p[4] picks the estimator: 0 those element pairs, 1 and 2 each bin on its
// own with a decision-directed gain (log-spectral-amplitude or Wiener rule, see
// spectral_gain_estimator.h), the floor still from the attenuation and the same print. In
// the per-bin modes a stereo frame goes through one complex transform, the left channel as
// its real part and the right as its imaginary part.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "filters/framework/filter_processor.h"
#include "filters/eq/packed_fft.h"
#include "filters/framework/real_fft.h"
#include "filters/restoration/noise_print.h"
#include "filters/restoration/spectral_gain_estimator.h"

namespace ztlive {

class NoiseReductionProcessor : public FilterProcessor {
 public:
  static constexpr int32_t kMaxBins = 8192;
  // p[4]: the estimator.
  enum Estimator : int32_t { kElementPairs = 0, kPerBinLogAmplitude = 1, kPerBinWiener = 2 };

  NoiseReductionProcessor();
  int32_t GetHistoryLength() override;
  int WritePreset(std::string_view name) override;
  // The values with their noise print: 0 when both were loaded, 1 when not. A preset whose
  // print records are missing gives its values, keeps the print and says so (1).
  int LoadPreset(std::string_view name) override;
  int Prepare(WaveStream& in, WaveStream& out) override;
  int Process(WaveStream& in, WaveStream& out) override;
  int Finish(WaveStream& in, WaveStream& out) override;

  static std::unique_ptr<FilterProcessor> Create() { return std::make_unique<NoiseReductionProcessor>(); }
  static const FilterDescriptor& Descriptor();
  // The values the per-bin estimator starts from (those of the shipped "Tape hiss").
  static PresetValues PerBinStartingValues();

  // The print the engine compares with; sets p[3] from its frame size.
  void SetNoisePrint(const NoisePrint& print);
  const NoisePrint& Print() const { return m_print; }
  int32_t Bins() const { return m_bins; }

 private:
  struct Channel {
    std::vector<double> raw;      // the frame's input values, 2N (unwindowed)
    std::vector<double> frame;    // windowed, then transformed
    std::vector<double> overlap;  // N
    std::vector<double> output;   // the N values a frame completes, before they are written
    std::vector<double> smoother; // s[j], N
    std::vector<double> hold;     // h[j], N
    std::vector<double> noise;    // the noise power curve, N
    SpectralGainEstimator perBin{kMaxBins};
  };

  // The transforms' tables for every frame size, each made once.
  void BuildTransforms();
  void Derive(double fs);
  void ClearState();
  // Transforms every channel's frame, changes its gains and transforms it back.
  void TransformFrames();
  void TransformFrame(Channel& channel);
  // The per-bin estimator on both channels of a stereo frame in one complex transform.
  void TransformChannelPair();
  void GainByPairs(Channel& channel);
  // Writes `count` of the N values the transformed frame completes (none for the first
  // frame), then keeps its second half for the next; false when a write failed.
  bool CompleteFrame(WaveStream& out, size_t count);
  // The second half becomes the first; the second is overwritten as the input fills it.
  void ShiftFrames();
  // What the input has not filled becomes silence (for the frames Finish completes).
  void SilenceUnfilled();

  NoisePrint m_print;
  int32_t m_bins = 0;         // N of the current derivation
  int m_channels = 1;
  bool m_prepared = false;
  std::array<RealFft, 6> m_ffts;  // one per frame size, made by the first Prepare
  std::array<PackedFft, 6> m_pairFfts;  // the same for stereo channel pairs, 2N points
  // The N + 1 pairs of the pair transform: bin k (0 ... N) at the positions of the
  // frequencies k and 2N - k.
  std::vector<int32_t> m_pairBins;
  std::vector<int32_t> m_lowPositions;
  std::vector<int32_t> m_highPositions;
  std::vector<double> m_window;
  std::vector<double> m_norm;
  std::array<Channel, 2> m_state;
  size_t m_filled = 0;
  bool m_firstFrame = true;
  // Derived values.
  double m_b0 = 1;
  double m_b1 = 0;
  double m_a1 = 0;
  double m_release = 0;
  double m_floor = 1;
  double m_strength = 1;
  int32_t m_estimator = kElementPairs;
};

}  // namespace ztlive
