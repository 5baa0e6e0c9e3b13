#include "filters/framework/real_fft.h"

#include <fftw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "filters/framework/analysis_windows.h"

namespace ztlive {
namespace {

constexpr double kTwoPi = 6.283185307179586;

// FFTW's halfcomplex order (r0, r1, ..., r[n/2], i[(n+1)/2 - 1], ..., i1) in ours
// (r0, r1, i1, r2, i2, ..., and r[n/2] last for even n).
std::vector<double> FromFftwOrder(const std::vector<double>& hc) {
  const size_t n = hc.size();
  std::vector<double> packed(n);
  packed[0] = hc[0];
  for (size_t k = 1; 2 * k < n; ++k) {
    packed[2 * k - 1] = hc[k];
    packed[2 * k] = hc[n - k];
  }
  if (n % 2 == 0 && n > 1) packed[n - 1] = hc[n / 2];
  return packed;
}

std::vector<double> ToFftwOrder(const std::vector<double>& packed) {
  const size_t n = packed.size();
  std::vector<double> hc(n);
  hc[0] = packed[0];
  for (size_t k = 1; 2 * k < n; ++k) {
    hc[k] = packed[2 * k - 1];
    hc[n - k] = packed[2 * k];
  }
  if (n % 2 == 0 && n > 1) hc[n / 2] = packed[n - 1];
  return hc;
}

std::vector<double> Fftw(std::vector<double> in, fftw_r2r_kind kind) {
  std::vector<double> out(in.size());
  fftw_plan plan = fftw_plan_r2r_1d(static_cast<int>(in.size()), in.data(), out.data(), kind, FFTW_ESTIMATE);
  fftw_execute(plan);
  fftw_destroy_plan(plan);
  return out;
}

double RelativeError(const std::vector<double>& ours, const std::vector<double>& reference) {
  double scale = 0;
  double error = 0;
  for (size_t i = 0; i < ours.size(); ++i) {
    scale = std::max(scale, std::abs(reference[i]));
    error = std::max(error, std::abs(ours[i] - reference[i]));
  }
  return scale == 0 ? error : error / scale;
}

// Forward against FFTW's r2hc and backward against its hc2r, on random data of one length.
void CheckLength(int n, std::mt19937& random) {
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<double> signal(static_cast<size_t>(n));
  for (double& v : signal) v = uniform(random);
  RealFft fft(n);

  std::vector<double> spectrum = signal;
  fft.Forward(spectrum.data());
  ASSERT_LT(RelativeError(spectrum, FromFftwOrder(Fftw(signal, FFTW_R2HC))), 1e-12) << "forward, n = " << n;

  std::vector<double> packed(static_cast<size_t>(n));
  for (double& v : packed) v = uniform(random);
  std::vector<double> back = packed;
  fft.Backward(back.data());
  ASSERT_LT(RelativeError(back, Fftw(ToFftwOrder(packed), FFTW_HC2R)), 1e-12) << "backward, n = " << n;
}

TEST(RealFft, MatchesFftwForEveryLengthUpTo1024) {
  std::mt19937 random(2024);
  for (int n = 1; n <= 1024; ++n) CheckLength(n, random);
}

TEST(RealFft, MatchesFftwForTheFiltersLengthsAndOddAndPrimeOnes) {
  std::mt19937 random(7);
  for (int n : {512, 1000, 1024, 1536, 2048, 2187, 3125, 4096, 4097, 6144, 8192, 10007, 11025, 16384, 16383, 65536})
    CheckLength(n, random);
}

TEST(RealFft, KnownSpectraOfEightPoints) {
  RealFft fft(8);
  auto forward = [&](auto f) {
    std::vector<double> x(8);
    for (int j = 0; j < 8; ++j) x[static_cast<size_t>(j)] = f(j);
    fft.Forward(x.data());
    for (double& v : x) v = std::abs(v) < 1e-12 ? 0.0 : v;
    return x;
  };
  EXPECT_EQ(forward([](int) { return 1.0; }), (std::vector<double>{8, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(forward([](int j) { return std::cos(kTwoPi * j / 8); }), (std::vector<double>{0, 4, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(forward([](int j) { return std::sin(kTwoPi * j / 8); }), (std::vector<double>{0, 0, -4, 0, 0, 0, 0, 0}));
  EXPECT_EQ(forward([](int j) { return j % 2 ? -1.0 : 1.0; }), (std::vector<double>{0, 0, 0, 0, 0, 0, 0, 8}));
}

TEST(RealFft, ForwardThenBackwardScalesByTheLength) {
  RealFft fft(2048);
  std::mt19937 random(1);
  std::vector<double> x(2048);
  for (double& v : x) v = static_cast<double>(random() % 2001) - 1000.0;
  std::vector<double> y = x;
  fft.Forward(y.data());
  fft.Backward(y.data());
  for (size_t i = 0; i < x.size(); ++i) ASSERT_NEAR(y[i], 2048 * x[i], 1e-7);
}

TEST(RealFft, FactorsComeInTheirOrder) {
  EXPECT_EQ(RealFft::Factorize(8), (std::vector<int>{2, 4}));
  EXPECT_EQ(RealFft::Factorize(4096), (std::vector<int>{4, 4, 4, 4, 4, 4}));
  EXPECT_EQ(RealFft::Factorize(2 * 3 * 3 * 5 * 7 * 7 * 11), (std::vector<int>{2, 3, 3, 5, 7, 7, 11}));
  EXPECT_EQ(RealFft::Factorize(10007), (std::vector<int>{10007}));
  EXPECT_EQ(RealFft::Factorize(4 * 9 * 2), (std::vector<int>{2, 4, 3, 3}));
}

TEST(AnalysisWindows, HammingUsesTwentyFiveFortySixthsAndBlackmanItsThreeTerms) {
  double hamming[3];
  HammingWindow(3, hamming);
  EXPECT_DOUBLE_EQ(hamming[0], 0.543478261 - 0.46);
  EXPECT_NEAR(hamming[1], 0.543478261 + 0.46, 1e-12);
  EXPECT_NEAR(hamming[2], 0.543478261 - 0.46, 1e-12);
  double blackman[5];
  BlackmanWindow(5, blackman);
  EXPECT_NEAR(blackman[0], 0.0, 1e-12);
  EXPECT_NEAR(blackman[2], 1.0, 1e-12);
  EXPECT_NEAR(blackman[1], 0.34, 1e-12);
  double single = 0;
  HammingWindow(1, &single);
  EXPECT_EQ(single, 1.0) << "one point: no division by zero";
}

}  // namespace
}  // namespace ztlive
