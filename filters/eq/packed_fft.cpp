#include "filters/eq/packed_fft.h"

#include <cmath>
#include <span>

#include "filters/framework/vector_clones.h"

namespace ztlive {

void PackedFft::Init(int n) {
  m_n = n;
  m_stages.clear();
  m_twRe.clear();
  m_twIm.clear();
  int order = 0;
  while ((1 << order) < n) ++order;
  int span = n;
  // An odd power of two splits in two first; every other stage in four.
  if (order % 2 != 0) {
    m_stages.push_back({span, 2, 0});
    for (int j = 0; j < span / 2; ++j) {
      const double angle = -2.0 * M_PI * j / span;
      m_twRe.push_back(std::cos(angle));
      m_twIm.push_back(std::sin(angle));
    }
    span /= 2;
  }
  for (; span >= 4; span /= 4) {
    m_stages.push_back({span, 4, m_twRe.size()});
    const int quarter = span / 4;
    for (int p = 1; p <= 3; ++p)
      for (int j = 0; j < quarter; ++j) {
        const double angle = -2.0 * M_PI * p * j / span;
        m_twRe.push_back(std::cos(angle));
        m_twIm.push_back(std::sin(angle));
      }
  }
}

// The stage loops are built twice on x86-64, once for AVX2 with FMA and once for the baseline;
// they are most of the brick wall's time.

namespace {

// One radix-4 stage's butterflies over one block: the four quarters r0..r3 (real parts)
// and m0..m3 (imaginary parts), with the twiddles of the powers 1, 2 and 3. Separate,
// non-overlapping arrays, so that the loop runs on whole vectors.
#define ZTLIVE_BUTTERFLY_ARGUMENTS                                                                          \
  double* __restrict r0, double* __restrict r1, double* __restrict r2, double* __restrict r3,           \
      double* __restrict m0, double* __restrict m1, double* __restrict m2, double* __restrict m3,       \
      const double* __restrict w1r, const double* __restrict w1i, const double* __restrict w2r,         \
      const double* __restrict w2i, const double* __restrict w3r, const double* __restrict w3i, int q

inline __attribute__((always_inline)) void ForwardButterflies(ZTLIVE_BUTTERFLY_ARGUMENTS) {
  for (int j = 0; j < q; ++j) {
    const double t0r = r0[j] + r2[j], t0i = m0[j] + m2[j];
    const double t1r = r0[j] - r2[j], t1i = m0[j] - m2[j];
    const double t2r = r1[j] + r3[j], t2i = m1[j] + m3[j];
    // (a1 - a3) times -i
    const double t3r = m1[j] - m3[j], t3i = r3[j] - r1[j];
    const double y1r = t1r + t3r, y1i = t1i + t3i;
    const double y2r = t0r - t2r, y2i = t0i - t2i;
    const double y3r = t1r - t3r, y3i = t1i - t3i;
    r0[j] = t0r + t2r;
    m0[j] = t0i + t2i;
    r1[j] = y1r * w1r[j] - y1i * w1i[j];
    m1[j] = y1r * w1i[j] + y1i * w1r[j];
    r2[j] = y2r * w2r[j] - y2i * w2i[j];
    m2[j] = y2r * w2i[j] + y2i * w2r[j];
    r3[j] = y3r * w3r[j] - y3i * w3i[j];
    m3[j] = y3r * w3i[j] + y3i * w3r[j];
  }
}

inline __attribute__((always_inline)) void InverseButterflies(ZTLIVE_BUTTERFLY_ARGUMENTS) {
  for (int j = 0; j < q; ++j) {
    const double y0r = r0[j], y0i = m0[j];
    const double y1r = r1[j] * w1r[j] + m1[j] * w1i[j], y1i = m1[j] * w1r[j] - r1[j] * w1i[j];
    const double y2r = r2[j] * w2r[j] + m2[j] * w2i[j], y2i = m2[j] * w2r[j] - r2[j] * w2i[j];
    const double y3r = r3[j] * w3r[j] + m3[j] * w3i[j], y3i = m3[j] * w3r[j] - r3[j] * w3i[j];
    // The inverse four-point transform: y1 pairs with y3 through +i.
    const double t0r = y0r + y2r, t0i = y0i + y2i;
    const double t1r = y0r - y2r, t1i = y0i - y2i;
    const double t2r = y1r + y3r, t2i = y1i + y3i;
    const double t3r = y3i - y1i, t3i = y1r - y3r;  // (y1 - y3) times +i
    r0[j] = t0r + t2r;
    m0[j] = t0i + t2i;
    r1[j] = t1r + t3r;
    m1[j] = t1i + t3i;
    r2[j] = t0r - t2r;
    m2[j] = t0i - t2i;
    r3[j] = t1r - t3r;
    m3[j] = t1i - t3i;
  }
}

#undef ZTLIVE_BUTTERFLY_ARGUMENTS

ZTLIVE_CLONES_AVX2_FMA
void ForwardStages(std::span<const PackedFft::Stage> stages, int length, const double* twRe, const double* twIm,
                   double* re, double* im) {
  for (const PackedFft::Stage& stage : stages) {
    const int span = stage.span;
    const double* wr = twRe + stage.twiddles;
    const double* wi = twIm + stage.twiddles;
    if (stage.radix == 2) {
      const int half = span / 2;
      for (int b = 0; b < length; b += span)
        for (int j = 0; j < half; ++j) {
          const int i0 = b + j;
          const int i1 = i0 + half;
          const double dr = re[i0] - re[i1];
          const double di = im[i0] - im[i1];
          re[i0] += re[i1];
          im[i0] += im[i1];
          re[i1] = dr * wr[j] - di * wi[j];
          im[i1] = dr * wi[j] + di * wr[j];
        }
      continue;
    }
    const int q = span / 4;
    if (q == 1) {
      // The last split: four-point transforms with no twiddles.
      for (int b = 0; b < length; b += 4) {
        double* __restrict r = re + b;
        double* __restrict m = im + b;
        const double t0r = r[0] + r[2], t0i = m[0] + m[2];
        const double t1r = r[0] - r[2], t1i = m[0] - m[2];
        const double t2r = r[1] + r[3], t2i = m[1] + m[3];
        const double t3r = m[1] - m[3], t3i = r[3] - r[1];  // (a1 - a3) times -i
        r[0] = t0r + t2r, m[0] = t0i + t2i;
        r[1] = t1r + t3r, m[1] = t1i + t3i;
        r[2] = t0r - t2r, m[2] = t0i - t2i;
        r[3] = t1r - t3r, m[3] = t1i - t3i;
      }
      continue;
    }
    const double* __restrict w1r = wr;
    const double* __restrict w2r = wr + q;
    const double* __restrict w3r = wr + 2 * q;
    const double* __restrict w1i = wi;
    const double* __restrict w2i = wi + q;
    const double* __restrict w3i = wi + 2 * q;
    for (int b = 0; b < length; b += span)
      ForwardButterflies(re + b, re + b + q, re + b + 2 * q, re + b + 3 * q, im + b, im + b + q, im + b + 2 * q,
                         im + b + 3 * q, w1r, w1i, w2r, w2i, w3r, w3i, q);
  }
}

ZTLIVE_CLONES_AVX2_FMA
void InverseStages(std::span<const PackedFft::Stage> stages, int length, const double* twRe, const double* twIm,
                   double* re, double* im) {
  for (auto stage = stages.rbegin(); stage != stages.rend(); ++stage) {
    const int span = stage->span;
    const double* wr = twRe + stage->twiddles;
    const double* wi = twIm + stage->twiddles;
    if (stage->radix == 2) {
      const int half = span / 2;
      for (int b = 0; b < length; b += span)
        for (int j = 0; j < half; ++j) {
          const int i0 = b + j;
          const int i1 = i0 + half;
          // times the conjugate twiddle
          const double yr = re[i1] * wr[j] + im[i1] * wi[j];
          const double yi = im[i1] * wr[j] - re[i1] * wi[j];
          re[i1] = re[i0] - yr;
          im[i1] = im[i0] - yi;
          re[i0] += yr;
          im[i0] += yi;
        }
      continue;
    }
    const int q = span / 4;
    if (q == 1) {
      // The last split: four-point transforms with no twiddles.
      for (int b = 0; b < length; b += 4) {
        double* __restrict r = re + b;
        double* __restrict m = im + b;
        const double t0r = r[0] + r[2], t0i = m[0] + m[2];
        const double t1r = r[0] - r[2], t1i = m[0] - m[2];
        const double t2r = r[1] + r[3], t2i = m[1] + m[3];
        const double t3r = m[3] - m[1], t3i = r[1] - r[3];  // (y1 - y3) times +i
        r[0] = t0r + t2r, m[0] = t0i + t2i;
        r[1] = t1r + t3r, m[1] = t1i + t3i;
        r[2] = t0r - t2r, m[2] = t0i - t2i;
        r[3] = t1r - t3r, m[3] = t1i - t3i;
      }
      continue;
    }
    const double* __restrict w1r = wr;
    const double* __restrict w2r = wr + q;
    const double* __restrict w3r = wr + 2 * q;
    const double* __restrict w1i = wi;
    const double* __restrict w2i = wi + q;
    const double* __restrict w3i = wi + 2 * q;
    for (int b = 0; b < length; b += span)
      InverseButterflies(re + b, re + b + q, re + b + 2 * q, re + b + 3 * q, im + b, im + b + q, im + b + 2 * q,
                         im + b + 3 * q, w1r, w1i, w2r, w2i, w3r, w3i, q);
  }
}

}  // namespace

void PackedFft::Forward(double* re, double* im) const {
  ForwardStages(m_stages, m_n, m_twRe.data(), m_twIm.data(), re, im);
}

void PackedFft::Inverse(double* re, double* im) const {
  InverseStages(m_stages, m_n, m_twRe.data(), m_twIm.data(), re, im);
}

}  // namespace ztlive
