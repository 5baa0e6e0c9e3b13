#include "filters/framework/real_fft.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ztlive {

namespace {

using Complex = std::complex<double>;

// Plain products: std::complex's operator* takes a slow path to be exact about infinities.
inline Complex Mul(Complex a, Complex b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}
// a times -i.
inline Complex MulMinusI(Complex a) { return {a.imag(), -a.real()}; }

Complex Root(long long k, long long n) {
  const double angle = -2.0 * std::numbers::pi * static_cast<double>(k % n) / static_cast<double>(n);
  return {std::cos(angle), std::sin(angle)};
}

constexpr double kSin60 = 0.866025403784439;
constexpr double kCos72 = 0.309016994374947;
constexpr double kSin72 = 0.951056516295154;
constexpr double kCos144 = -0.809016994374947;
constexpr double kSin144 = 0.587785252292473;

// One Stockham stage of radix r from x into y: n = r m values at stride s.
//   y[q + s (r p + u)] = w^(p u) * sum_t x[q + s (p + t m)] e^(-2 pi i t u / r)
void Radix2(const Complex* x, Complex* y, int m, int s, const Complex* tw) {
  for (int p = 0; p < m; ++p) {
    const Complex w1 = tw[p];
    const Complex* in = x + s * p;
    Complex* out = y + s * 2 * p;
    for (int q = 0; q < s; ++q) {
      const Complex a0 = in[q];
      const Complex a1 = in[q + s * m];
      out[q] = a0 + a1;
      out[q + s] = Mul(a0 - a1, w1);
    }
  }
}

void Radix3(const Complex* x, Complex* y, int m, int s, const Complex* tw) {
  for (int p = 0; p < m; ++p) {
    const Complex w1 = tw[2 * p];
    const Complex w2 = tw[2 * p + 1];
    const Complex* in = x + s * p;
    Complex* out = y + s * 3 * p;
    for (int q = 0; q < s; ++q) {
      const Complex a0 = in[q];
      const Complex a1 = in[q + s * m];
      const Complex a2 = in[q + 2 * s * m];
      const Complex sum = a1 + a2;
      const Complex centre = a0 - 0.5 * sum;
      const Complex turn = MulMinusI(kSin60 * (a1 - a2));
      out[q] = a0 + sum;
      out[q + s] = Mul(centre + turn, w1);
      out[q + 2 * s] = Mul(centre - turn, w2);
    }
  }
}

void Radix4(const Complex* x, Complex* y, int m, int s, const Complex* tw) {
  for (int p = 0; p < m; ++p) {
    const Complex w1 = tw[3 * p];
    const Complex w2 = tw[3 * p + 1];
    const Complex w3 = tw[3 * p + 2];
    const Complex* in = x + s * p;
    Complex* out = y + s * 4 * p;
    for (int q = 0; q < s; ++q) {
      const Complex a0 = in[q];
      const Complex a1 = in[q + s * m];
      const Complex a2 = in[q + 2 * s * m];
      const Complex a3 = in[q + 3 * s * m];
      const Complex even0 = a0 + a2;
      const Complex even1 = a0 - a2;
      const Complex odd0 = a1 + a3;
      const Complex odd1 = MulMinusI(a1 - a3);
      out[q] = even0 + odd0;
      out[q + s] = Mul(even1 + odd1, w1);
      out[q + 2 * s] = Mul(even0 - odd0, w2);
      out[q + 3 * s] = Mul(even1 - odd1, w3);
    }
  }
}

void Radix5(const Complex* x, Complex* y, int m, int s, const Complex* tw) {
  for (int p = 0; p < m; ++p) {
    const Complex* w = tw + 4 * p;
    const Complex* in = x + s * p;
    Complex* out = y + s * 5 * p;
    for (int q = 0; q < s; ++q) {
      const Complex a0 = in[q];
      const Complex a1 = in[q + s * m];
      const Complex a2 = in[q + 2 * s * m];
      const Complex a3 = in[q + 3 * s * m];
      const Complex a4 = in[q + 4 * s * m];
      const Complex t1 = a1 + a4;
      const Complex t2 = a2 + a3;
      const Complex t3 = a1 - a4;
      const Complex t4 = a2 - a3;
      const Complex c1 = a0 + kCos72 * t1 + kCos144 * t2;
      const Complex c2 = a0 + kCos144 * t1 + kCos72 * t2;
      const Complex s1 = MulMinusI(kSin72 * t3 + kSin144 * t4);
      const Complex s2 = MulMinusI(kSin144 * t3 - kSin72 * t4);
      out[q] = a0 + t1 + t2;
      out[q + s] = Mul(c1 + s1, w[0]);
      out[q + 2 * s] = Mul(c2 + s2, w[1]);
      out[q + 3 * s] = Mul(c2 - s2, w[2]);
      out[q + 4 * s] = Mul(c1 - s1, w[3]);
    }
  }
}

// Any odd radix: a direct DFT of r points with the roots e^(-2 pi i k / r).
void RadixGeneral(const Complex* x, Complex* y, int r, int m, int s, const Complex* tw, const Complex* roots,
                  Complex* gather) {
  for (int p = 0; p < m; ++p) {
    const Complex* w = tw + (r - 1) * p;
    const Complex* in = x + s * p;
    Complex* out = y + s * r * p;
    for (int q = 0; q < s; ++q) {
      for (int t = 0; t < r; ++t) gather[t] = in[q + t * s * m];
      for (int u = 0; u < r; ++u) {
        Complex sum = gather[0];
        for (int t = 1, k = u; t < r; ++t, k = (k + u) % r) sum += Mul(gather[t], roots[k]);
        out[q + u * s] = u == 0 ? sum : Mul(sum, w[u - 1]);
      }
    }
  }
}

}  // namespace

std::vector<int> RealFft::Factorize(int n) {
  std::vector<int> factors;
  int left = n;
  constexpr int kFirstTrials[] = {4, 2, 3, 5};
  for (int trialIndex = 0; left > 1; ++trialIndex) {
    const int trial = trialIndex < 4 ? kFirstTrials[trialIndex] : 7 + 2 * (trialIndex - 4);
    // From 7 on every smaller prime is divided out, so a trial beyond the square root of what
    // is left means that what is left is prime.
    if (trialIndex >= 4 && static_cast<long long>(trial) * trial > left) {
      factors.push_back(left);
      break;
    }
    while (left % trial == 0) {
      left /= trial;
      if (trial == 2 && !factors.empty())
        factors.insert(factors.begin(), 2);
      else
        factors.push_back(trial);
    }
  }
  return factors;
}

void RealFft::Init(int n) {
  m_n = std::max(n, 1);
  m_complexLength = (m_n % 2 == 0) ? m_n / 2 : m_n;
  m_stages.clear();
  m_twiddles.clear();
  m_roots.clear();
  size_t widestGeneral = 1;

  int span = m_complexLength;
  int stride = 1;
  for (const int radix : Factorize(m_complexLength)) {
    const int m = span / radix;
    Stage stage{radix, span, stride, m_twiddles.size()};
    for (int p = 0; p < m; ++p)
      for (int u = 1; u < radix; ++u) m_twiddles.push_back(Root(static_cast<long long>(p) * u, span));
    m_stages.push_back(stage);
    if (radix > 5) widestGeneral = std::max<size_t>(widestGeneral, static_cast<size_t>(radix));
    span = m;
    stride *= radix;
  }
  // One table of roots per general stage, in stage order.
  for (const Stage& stage : m_stages)
    if (stage.radix > 5)
      for (int k = 0; k < stage.radix; ++k) m_roots.push_back(Root(k, stage.radix));

  m_twist.clear();
  if (m_n % 2 == 0)
    for (int k = 0; k < m_n / 2; ++k) m_twist.push_back(Root(k, m_n));
  m_buffer.assign(static_cast<size_t>(m_complexLength), Complex());
  m_scratch.assign(static_cast<size_t>(m_complexLength), Complex());
  m_gather.assign(widestGeneral, Complex());
}

void RealFft::ComplexForward(Complex* data) {
  Complex* x = data;
  Complex* y = m_scratch.data();
  size_t roots = 0;
  for (const Stage& stage : m_stages) {
    const int m = stage.span / stage.radix;
    const Complex* tw = m_twiddles.data() + stage.twiddles;
    switch (stage.radix) {
      case 2:
        Radix2(x, y, m, stage.stride, tw);
        break;
      case 3:
        Radix3(x, y, m, stage.stride, tw);
        break;
      case 4:
        Radix4(x, y, m, stage.stride, tw);
        break;
      case 5:
        Radix5(x, y, m, stage.stride, tw);
        break;
      default:
        RadixGeneral(x, y, stage.radix, m, stage.stride, tw, m_roots.data() + roots, m_gather.data());
        roots += static_cast<size_t>(stage.radix);
        break;
    }
    std::swap(x, y);
  }
  if (x != data) std::copy(x, x + m_complexLength, data);
}

void RealFft::ComplexBackward(Complex* data) {
  // The inverse transform is the forward one between two conjugations.
  for (int i = 0; i < m_complexLength; ++i) data[i] = std::conj(data[i]);
  ComplexForward(data);
  for (int i = 0; i < m_complexLength; ++i) data[i] = std::conj(data[i]);
}

void RealFft::Forward(double* data) {
  if (m_n == 1) return;
  Complex* z = m_buffer.data();
  if (m_n % 2 != 0) {
    for (int j = 0; j < m_n; ++j) z[j] = {data[j], 0.0};
    ComplexForward(z);
    data[0] = z[0].real();
    for (int k = 1; 2 * k < m_n; ++k) {
      data[2 * k - 1] = z[k].real();
      data[2 * k] = z[k].imag();
    }
    return;
  }
  const int half = m_n / 2;
  for (int j = 0; j < half; ++j) z[j] = {data[2 * j], data[2 * j + 1]};
  ComplexForward(z);
  // Z[k] holds E[k] + i O[k], the spectra of the even and odd samples: separate them with
  // Z[half - k], then X[k] = E[k] + e^(-2 pi i k / n) O[k].
  data[0] = z[0].real() + z[0].imag();
  data[m_n - 1] = z[0].real() - z[0].imag();
  for (int k = 1; k < half; ++k) {
    const Complex a = z[k];
    const Complex b = std::conj(z[half - k]);
    const Complex even = 0.5 * (a + b);
    const Complex odd = MulMinusI(0.5 * (a - b));  // (a - b) / (2 i)
    const Complex value = even + Mul(m_twist[static_cast<size_t>(k)], odd);
    data[2 * k - 1] = value.real();
    data[2 * k] = value.imag();
  }
}

void RealFft::Backward(double* data) {
  if (m_n == 1) return;
  Complex* z = m_buffer.data();
  if (m_n % 2 != 0) {
    z[0] = {data[0], 0.0};
    for (int k = 1; 2 * k < m_n; ++k) {
      z[k] = {data[2 * k - 1], data[2 * k]};
      z[m_n - k] = std::conj(z[k]);
    }
    ComplexBackward(z);
    for (int j = 0; j < m_n; ++j) data[j] = z[j].real();
    return;
  }
  const int half = m_n / 2;
  // Z[k] = 2 (E[k] + i O[k]) with E[k] = (X[k] + X*[half - k]) / 2 and
  // O[k] = (X[k] - X*[half - k]) e^(+2 pi i k / n) / 2; the factor 2 makes the result n x.
  auto spectrum = [&](int k) -> Complex {
    if (k == 0) return {data[0], 0.0};
    if (k == half) return {data[m_n - 1], 0.0};
    return {data[2 * k - 1], data[2 * k]};
  };
  for (int k = 0; k < half; ++k) {
    const Complex a = spectrum(k);
    const Complex b = std::conj(spectrum(half - k));
    const Complex odd = Mul(a - b, std::conj(m_twist[static_cast<size_t>(k)]));
    z[k] = (a + b) + Complex(-odd.imag(), odd.real());  // + i odd
  }
  ComplexBackward(z);
  for (int j = 0; j < half; ++j) {
    data[2 * j] = z[j].real();
    data[2 * j + 1] = z[j].imag();
  }
}

}  // namespace ztlive
