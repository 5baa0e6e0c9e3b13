// Hiss for the continuous noise filter's tests: white hiss at a level, the same in every run,
// and the noise print the settings window makes of a noise-only stretch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/sample_value.h"
#include "filters/restoration/noise_print.h"

namespace ztlive::test {

// White hiss at a level in dBFS (rms) as 24-bit values.
std::vector<SampleValue> Hiss(size_t values, double dbfs, uint32_t seed);

// The noise print of a noise-only stretch, as the settings window makes it after sampling.
NoisePrint SamplePrint(const std::vector<SampleValue>& noise, int channels, int32_t bins, uint32_t rate = 44100);

}  // namespace ztlive::test
