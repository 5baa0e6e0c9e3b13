// Every built engine run over real files as a file run drives it: bypass passes the input
// bit for bit, silence stays silent, and Process allocates nothing. Its own executable: it
// replaces the global allocator to count allocations.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "filters/filter_registry.h"
#include "filters/framework/preset_values.h"
#include "filters/restoration/continuous_noise_filter.h"
#include "filters/restoration/impulse_filter.h"
#include "testing/counting_allocator.h"
#include "testing/engine_run.h"

namespace ztlive {
namespace {

// A signal with some structure: a tone, noise and a few spikes.
std::vector<SampleValue> TestSignal(int channels, size_t frames) {
  std::mt19937 random(3);
  std::normal_distribution<double> noise(0, 20000);
  std::vector<SampleValue> values;
  for (size_t i = 0; i < frames * static_cast<size_t>(channels); ++i) {
    double value = 900000 * std::sin(static_cast<double>(i) * 0.031) + noise(random);
    if (i % 5003 == 0) value += 3000000;
    values.push_back(static_cast<SampleValue>(value));
  }
  return values;
}

// Every built filter at its starting values, and the choices added beside them.
struct Setting {
  const FilterDescriptor* descriptor;
  PresetValues values;
};
std::vector<Setting> Settings() {
  std::vector<Setting> settings;
  for (const FilterDescriptor* descriptor : BuiltFilters()) {
    if (descriptor->traits.analysisOnly) continue;
    settings.push_back({descriptor, descriptor->StartingValues()});
  }
  PresetValues model = ImpulseProcessor::Descriptor().StartingValues();
  model.p[2] = ImpulseProcessor::kModelBased;
  settings.push_back({&ImpulseProcessor::Descriptor(), model});
  settings.push_back({&NoiseReductionProcessor::Descriptor(), NoiseReductionProcessor::PerBinStartingValues()});
  return settings;
}

// An engine ready to run: the values, and a noise print for the filter that needs one.
std::unique_ptr<FilterProcessor> ReadyEngine(const FilterDescriptor& descriptor, const PresetValues& values) {
  std::unique_ptr<FilterProcessor> engine = descriptor.create();
  engine->SetValues(values);
  if (auto* noise = dynamic_cast<NoiseReductionProcessor*>(engine.get()); noise != nullptr) {
    NoisePrint print;
    print.bins = 2048;
    for (size_t k = 0; k < print.points.size(); ++k) {
      print.points[k].bin = static_cast<int32_t>(k * 200 + 1);
      print.points[k].left = print.points[k].right = 30000;
    }
    noise->SetNoisePrint(print);
  }
  return engine;
}

TEST(FilterDescriptors, BypassPassesTheInputBitForBitAndSilenceStaysSilent) {
  for (const auto& [descriptor, values] : Settings()) {
    for (const int channels : {1, 2}) {
      SCOPED_TRACE(std::to_string(descriptor->typeId) + (channels == 2 ? " stereo" : " mono") + ", " +
                   FormatPresetValues(values, PresetTextForm::Plain));
      const std::vector<SampleValue> input = TestSignal(channels, 40000);
      std::unique_ptr<FilterProcessor> bypassed = ReadyEngine(*descriptor, values);
      bypassed->bypass = 1;
      EXPECT_EQ(test::RunEngine(*bypassed, channels, 44100, input), input);

      const std::vector<SampleValue> silence(input.size(), 0);
      std::unique_ptr<FilterProcessor> engine = ReadyEngine(*descriptor, values);
      EXPECT_EQ(test::RunEngine(*engine, channels, 44100, silence), silence);
    }
  }
}

TEST(FilterDescriptors, ProcessAllocatesNothingAlsoWhenValuesChangeDuringTheRun) {
  for (const auto& [descriptor, values] : Settings()) {
    SCOPED_TRACE(std::to_string(descriptor->typeId) + ", " + FormatPresetValues(values, PresetTextForm::Plain));
    std::unique_ptr<FilterProcessor> engine = ReadyEngine(*descriptor, values);
    const PresetValues changed = values;
    long atFirstBlock = 0;
    long atLastBlock = 0;
    test::RunEngine(*engine, 2, 44100, TestSignal(2, 60000), [&](int block) {
      if (block == 0) atFirstBlock = test::AllocationCount();
      if (block == 3) engine->SetValues(changed);  // re-derived at the next Process
      atLastBlock = test::AllocationCount();
    });
    EXPECT_EQ(atLastBlock - atFirstBlock, 0);
  }
}

}  // namespace
}  // namespace ztlive
