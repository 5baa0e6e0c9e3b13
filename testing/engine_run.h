// Runs a filter engine over sample values as a file run does (real 24-bit wave files in a
// test folder, Prepare, every block, Finish) and returns what it wrote.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/sample_value.h"
#include "filters/framework/filter_processor.h"

namespace ztlive::test {

// values: 24-bit sample values, interleaved. betweenBlocks is called before each Process.
std::vector<SampleValue> RunEngine(FilterProcessor& engine, int channels, uint32_t rate,
                                   const std::vector<SampleValue>& values,
                                   const std::function<void(int block)>& betweenBlocks = {});

void WriteValues24(const std::string& path, int channels, uint32_t rate, const std::vector<SampleValue>& values);
std::vector<SampleValue> ReadValues24(const std::string& path);

}  // namespace ztlive::test
