// A complex FFT of a power-of-two length on split real and imaginary arrays, in place, for
// fast convolution: the forward transform (decimation in frequency) leaves the spectrum in
// digit-reversed order and the inverse (decimation in time, the forward's stages undone in
// reverse) takes it in that order, so no reordering pass is needed. A product of two spectra
// in that order is still the product bin by bin, which is all a convolution asks.
//
// Two real signals ride in one transform (one as the real part, the other as the imaginary
// part): with real taps, the convolution of the pair is the pair of convolutions.
#pragma once

#include <cstddef>
#include <vector>

namespace ztlive {

class PackedFft {
 public:
  // Builds the twiddles for length n (a power of two, at least 4). The only call that allocates.
  void Init(int n);
  int Length() const { return m_n; }

  // In place; the result in digit-reversed order, unscaled.
  void Forward(double* re, double* im) const;
  // Undoes Forward exactly, times n.
  void Inverse(double* re, double* im) const;

 public:
  struct Stage {
    int span;       // the length of the blocks this stage splits
    int radix;      // 4, or 2 for the one stage of an odd power of two
    std::size_t twiddles;  // offset in m_twRe / m_twIm: one run of span / radix values per twiddle power 1 .. radix - 1
  };

 private:
  int m_n = 0;
  std::vector<Stage> m_stages;
  std::vector<double> m_twRe;
  std::vector<double> m_twIm;
};

}  // namespace ztlive
