#include "filters/restoration/hiss_test_support.h"

#include <cmath>

#include "filters/restoration/noise_sampler.h"
#include "testing/engine_run.h"
#include "testing/test_signals.h"

namespace ztlive::test {

std::vector<SampleValue> Hiss(size_t values, double dbfs, uint32_t seed) {
  Random random(seed);
  const double peak = std::pow(10.0, dbfs / 20.0) * std::sqrt(3.0) * 8388607.0;
  std::vector<SampleValue> hiss(values);
  for (SampleValue& v : hiss) v = static_cast<SampleValue>(std::lround((2 * random.Uniform() - 1) * peak));
  return hiss;
}

NoisePrint SamplePrint(const std::vector<SampleValue>& noise, int channels, int32_t bins, uint32_t rate) {
  NoiseSampler sampler;
  PresetValues values;
  values.p[0] = bins;
  sampler.SetValues(values);
  RunEngine(sampler, channels, rate, noise);
  return ReduceSpectrum(sampler.Average(0), channels == 2 ? &sampler.Average(1) : nullptr, rate, bins);
}

}  // namespace ztlive::test
