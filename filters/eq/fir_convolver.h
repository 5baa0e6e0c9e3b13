// A long FIR filter applied a segment at a time: the direct sum for short filters, FFT
// overlap-save for long ones. Everything is allocated by the constructor, so that taking new
// taps and convolving allocate nothing.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "core/sample_value.h"
#include "filters/eq/packed_fft.h"
#include "filters/framework/real_fft.h"

namespace ztlive {

class FirConvolver {
 public:
  static constexpr int kMaxTaps = 4095;
  static constexpr int kMinFftOrder = 6;   // 64
  static constexpr int kMaxFftOrder = 14;  // 16384
  // Up to this many taps the direct sum is about as fast as the transforms (measured: 12 ns
  // per output at 16 taps, against 10 ns for the transforms; 24 ns against 10 at 24 taps).
  static constexpr int kDirectTapLimit = 16;
  static constexpr int kDirectSegment = 4096;
  static constexpr int kLargestSegment = 1 << kMaxFftOrder;

  FirConvolver();

  // Takes h (at most kMaxTaps values) and picks the method and transform length for it,
  // with segments of at most maxSegment outputs (short segments keep a preview or live run
  // flowing evenly, at some cost in time).
  void SetTaps(std::span<const double> h, int maxSegment = kLargestSegment);
  int Taps() const { return m_taps; }
  bool UsesFft() const { return m_fft != nullptr; }
  int FftLength() const { return m_fft != nullptr ? m_fft->Length() : 0; }
  // How many outputs one Convolve call gives at most.
  int SegmentLength() const { return m_segment; }

  // y[i] = sum over k < N of h[k] * x[i - k], truncated toward zero, for i < count
  // (count <= SegmentLength()); x[-(N - 1)] .. x[count - 1] must be readable. The direct sum
  // is accumulated in extended precision; the transform's result differs from it only for
  // values within rounding of a truncation boundary.
  void Convolve(const double* x, int count, SampleValue* y);
  // The same for two channels at once (one complex transform pair carries both).
  void ConvolvePair(const double* left, const double* right, int count, SampleValue* leftOut, SampleValue* rightOut);

 private:
  void ConvolveDirect(const double* x, int count, SampleValue* y) const;
  void ConvolveFft(const double* x, int count, SampleValue* y);

  std::array<RealFft, kMaxFftOrder - kMinFftOrder + 1> m_ffts;
  std::array<PackedFft, kMaxFftOrder - kMinFftOrder + 1> m_packedFfts;
  RealFft* m_fft = nullptr;        // the transform in use; null for the direct sum
  const PackedFft* m_packed = nullptr;  // the two-channel transform of the same length
  std::vector<double> m_h;    // h, N values
  std::vector<double> m_spectrum;  // the transform of h / length, halfcomplex
  std::vector<double> m_frame;     // one segment with its N - 1 earlier inputs
  std::vector<double> m_packedRe;  // the transform of h / length in the packed order
  std::vector<double> m_packedIm;
  std::vector<double> m_pairRe;    // a segment of the left channel, then of both
  std::vector<double> m_pairIm;    // the same of the right channel
  int m_taps = 0;
  int m_segment = kDirectSegment;
};

// The transform length whose overlap-save costs least per output for a filter of `taps`
// taps giving at most maxSegment outputs per transform; 0 when the direct sum is faster.
int BestFftLength(int taps, int maxSegment);

}  // namespace ztlive
