// A per-bin spectral gain for hiss: each bin of a frame on its own, its gain from an
// a-priori signal-to-noise ratio smoothed over frames (decision-directed) with the
// log-spectral-amplitude or the Wiener rule, never below a floor. The a-posteriori ratio is
// averaged with its neighbouring bins first, so a single bin of noise that rises by chance
// does not open on its own (the tiles that would sound as musical noise).
//
// Two ways in: Apply takes a halfcomplex frame whole; a caller that has the bins in another
// layout puts each bin's power into Powers(), calls Estimate and multiplies by Gains().
#pragma once

#include <cstdint>
#include <vector>

namespace ztlive {

class SpectralGainEstimator {
 public:
  enum class Rule { LogSpectralAmplitude, Wiener };

  // Buffers for frames of up to maxBins bins; the only call that allocates.
  explicit SpectralGainEstimator(int32_t maxBins);

  // bins: the frame has 2 * bins values. memory: the weight of the previous frame's estimate
  // (0 ... 1). floor: the least gain. noiseScale: multiplies the noise power given to Apply.
  void Configure(int32_t bins, double memory, double floor, Rule rule, double noiseScale);
  // Forgets the previous frames.
  void Reset();
  // The noise: noise[j] is the power of bin j (j < bins; the last serves Nyquist too) in the
  // units of |X|^2 * scale. After Configure, before Apply.
  void SetNoise(const double* noise, double scale);
  // Multiplies each bin of the halfcomplex frame (2 * bins values) by its gain.
  void Apply(double* frame);

  // bins + 1 values: |X[k]|^2 of bin k (0 DC ... bins Nyquist), written by the caller and
  // used up by Estimate.
  double* Powers() { return m_gamma.data(); }
  // Turns the powers into the gains of this frame (bins + 1 values, then in Gains()).
  void Estimate();
  const double* Gains() const { return m_gain.data(); }

  int32_t Bins() const { return m_bins; }

 private:
  double Gain(double xi, double gamma) const;

  int32_t m_bins = 0;
  double m_memory = 0.98;
  double m_floor = 0.1;
  double m_noiseScale = 1;
  Rule m_rule = Rule::LogSpectralAmplitude;
  bool m_first = true;
  std::vector<double> m_weight;    // scale / noise power, bins + 1
  std::vector<double> m_gamma;     // a-posteriori ratio of this frame, bins + 1
  std::vector<double> m_previous;  // |gain * X|^2 / noise of the previous frame, bins + 1
  std::vector<double> m_gain;      // this frame's gains, bins + 1
};

// The exponential integral E1(v) for v > 0, to about 1e-3 relative (enough for a gain).
double ExponentialIntegral(double v);

}  // namespace ztlive
