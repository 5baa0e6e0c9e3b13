// The real FFT shared by the spectral filters and the spectrum analyzer, in the halfcomplex
// order and scaling every spectral routine of the program addresses bins by:
//
//   data[0]         the sum of all x[j] (DC)
//   data[2k - 1]    Re X[k] = sum x[j] cos(2 pi k j / n)      k = 1 ... (n - 1) / 2
//   data[2k]        Im X[k] = -sum x[j] sin(2 pi k j / n)
//   data[n - 1]     for even n: sum (-1)^j x[j] (Nyquist)
//
// Neither direction scales: Forward then Backward multiplies every value by n.
//
// How: an even length n is a complex FFT of length n / 2 over the pairs (x[2j], x[2j+1]) and
// a twist that separates the even and odd halves; an odd length is a complex FFT of length n.
// The complex FFT is a Stockham autosort transform (no bit reversal) with butterflies for the
// factors 4, 2, 3 and 5 and a general one for other odd factors, factorised in that order.
#pragma once

#include <complex>
#include <vector>

namespace ztlive {

class RealFft {
 public:
  RealFft() = default;
  explicit RealFft(int n) { Init(n); }

  // Builds the work record for length n (n >= 1): factors, twiddles and scratch. The only
  // call that allocates.
  void Init(int n);
  int Length() const { return m_n; }

  // n real values -> their halfcomplex spectrum, in place.
  void Forward(double* data);
  // A halfcomplex spectrum -> n times the real sequence, in place.
  void Backward(double* data);

  // The factors of a length, in the order the transform uses: 4s, 2s (a 2 found after
  // other factors goes to the front), 3s, 5s, then odd numbers from 7 upwards.
  static std::vector<int> Factorize(int n);

 private:
  using Complex = std::complex<double>;
  struct Stage {
    int radix;
    int span;          // the length n this stage splits (n = radix * m)
    int stride;        // s: the distance of interleaved subsequences
    size_t twiddles;   // offset of its (radix - 1) x m twiddles in m_twiddles
  };

  void ComplexForward(Complex* data);
  void ComplexBackward(Complex* data);

  int m_n = 0;
  int m_complexLength = 0;
  std::vector<Stage> m_stages;
  std::vector<Complex> m_twiddles;  // per stage: w^(p u) for p < m, u = 1 ... radix - 1
  std::vector<Complex> m_roots;     // e^(-2 pi i k / r) for the general odd factors' r
  std::vector<Complex> m_twist;     // e^(-2 pi i k / n), k < n / 2, for the even-length split
  std::vector<Complex> m_buffer;    // the complex sequence
  std::vector<Complex> m_scratch;   // the other half of the autosort
  std::vector<Complex> m_gather;    // a general butterfly's inputs
};

}  // namespace ztlive
