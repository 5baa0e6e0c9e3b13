// The real FFT against FFTW's halfcomplex r2r plans (FFTW_MEASURE), forward and backward, at
// the lengths the filters use. Compare the pairs' times: ours / FFTW is the ratio to report.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <random>
#include <vector>

#include "filters/framework/real_fft.h"

namespace ztlive {
namespace {

std::vector<double> Noise(int n) {
  std::mt19937 random(static_cast<unsigned>(n));
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<double> data(static_cast<size_t>(n));
  for (double& v : data) v = uniform(random);
  return data;
}

template <bool kForward>
void BM_Ours(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  RealFft fft(n);
  std::vector<double> data = Noise(n);
  for (auto _ : state) {
    if (kForward)
      fft.Forward(data.data());
    else
      fft.Backward(data.data());
    // The values grow with each pass and end as infinities, which cost x86 no extra time
    // (only subnormal numbers do); both sides run on the same kind of data.
    data[0] = 0.5;
    benchmark::DoNotOptimize(data.data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}

template <fftw_r2r_kind kKind>
void BM_Fftw(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  double* data = fftw_alloc_real(static_cast<size_t>(n));
  fftw_plan plan = fftw_plan_r2r_1d(n, data, data, kKind, FFTW_MEASURE);
  const std::vector<double> noise = Noise(n);
  std::copy(noise.begin(), noise.end(), data);
  for (auto _ : state) {
    fftw_execute(plan);
    data[0] = 0.5;
    benchmark::DoNotOptimize(data);
  }
  state.SetItemsProcessed(state.iterations() * n);
  fftw_destroy_plan(plan);
  fftw_free(data);
}

#define ZTLIVE_FFT_SIZES ->Arg(512)->Arg(1024)->Arg(2048)->Arg(4096)->Arg(8192)->Arg(16384)
BENCHMARK(BM_Ours<true>) ZTLIVE_FFT_SIZES;
BENCHMARK(BM_Fftw<FFTW_R2HC>) ZTLIVE_FFT_SIZES;
BENCHMARK(BM_Ours<false>) ZTLIVE_FFT_SIZES;
BENCHMARK(BM_Fftw<FFTW_HC2R>) ZTLIVE_FFT_SIZES;

}  // namespace
}  // namespace ztlive
