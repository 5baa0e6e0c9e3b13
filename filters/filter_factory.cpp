#include "filters/filter_factory.h"

#include <array>
#include <new>

#include "filters/eq/averaging_filter.h"
#include "filters/eq/band_pass_filter.h"
#include "filters/eq/high_pass_filter.h"
#include "filters/eq/low_pass_filter.h"
#include "filters/eq/median_filter.h"
#include "filters/eq/notch_filter.h"
#include "filters/restoration/continuous_noise_filter.h"
#include "filters/restoration/impulse_filter.h"
#include "filters/restoration/noise_sampler.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

constexpr PresetValues Values(std::initializer_list<std::pair<int, int32_t>> set) {
  PresetValues values;
  for (const auto& [index, value] : set) values.p[static_cast<size_t>(index)] = value;
  return values;
}

constexpr PresetValues kNone{};
constexpr std::nullopt_t kEngineOwn = std::nullopt;

// One line per engine: its create function registers it.
const std::array<FilterFactoryRow, 24> kFactory = {{
    {0, "FileConversions", "File Conversion", 2016, 0, kNone, nullptr},
    {2, "AveragingSet", "Average", 256, 0, kNone, &AveragingProcessor::Create},
    {6, "MedianSet", "Median", 1000, 0, kEngineOwn, &MedianProcessor::Create},
    {7, "MedianSet", "Median", 1000, 0, kEngineOwn, &MedianProcessor::Create},  // makes the median engine too
    {8, "Hissfilter", "Continuous Noise", kEngineOwn, 0, Values({{0, 20}, {1, 100}, {2, 100}}), &NoiseReductionProcessor::Create},
    {9, "None", "None", 0, 0, kEngineOwn, &NoiseSampler::Create},
    {11, "BandPassSet", "BandPass", 0, 0, kNone, &BandPassProcessor::Create},
    {12, "HiPassSet", "Hi Pass", 0, 0, kNone, &HighPassProcessor::Create},
    {13, "NotchSet", "Notch", 32, 0, kNone, &NotchProcessor::Create},
    {15, "Impulse", "Impulse", 1024, 1024, kNone, &ImpulseProcessor::Create},
    {18, "AnalogNoiseFilter", "Dynamic Noise", 0, 0, kNone, nullptr},
    {19, "LowPassSet", "LowPass", 0, 0, kNone, &LowPassProcessor::Create},
    {20, "Eq", "Graphic Equalizer", 32, 0, kEngineOwn, nullptr},
    {21, "Pitch", "Pitch", 64, 0, kNone, nullptr},
    {22, "HarmReject", "Harmonic Reject", kEngineOwn, 0, kEngineOwn, nullptr},
    {23, "ReverbSet", "Reverb", kEngineOwn, 0, kEngineOwn, nullptr},
    {24, "TubeSound", "Virtual Valve", 0, 0, Values({{0, 80}, {1, 100}, {2, 50}, {3, 50}}), nullptr},
    {25, "Compressor", "Dynamics", 0, 0,
     Values({{0, -330}, {1, 20}, {2, 100}, {3, 200}, {4, 60}, {7, -200}, {8, 50}}), nullptr},
    {26, "Parametric", "Paragraphic", 64, 0, kEngineOwn, nullptr},
    {27, "None", "MarkSilence", 0, 0, kNone, nullptr},
    {29, "Blender", "Channel Blender", 0, 0, kEngineOwn, nullptr},
    {30, "AdaptiveFilter", "Adaptive Speech", 4095, 0, kEngineOwn, nullptr},
    {31, "Forensic", "Brick Wall", 4095, 0, kEngineOwn, nullptr},
    {33, "Enhancer", "Punch and Crunch", 0, 0, kEngineOwn, nullptr},
}};

bool HasNoEngine(FilterTypeId typeId) { return typeId == 3 || typeId == 5 || typeId == 16 || typeId == 32; }

}  // namespace

std::span<const FilterFactoryRow> FilterFactoryTable() { return kFactory; }

const FilterFactoryRow* FindFactoryRow(FilterTypeId typeId) {
  for (const FilterFactoryRow& row : kFactory)
    if (row.typeId == typeId) return &row;
  return nullptr;
}

int CreateFilterProcessor(FilterTypeId typeId, std::unique_ptr<FilterProcessor>& engine, Prompts& prompts) {
  engine.reset();
  if (HasNoEngine(typeId)) return 1;
  const FilterFactoryRow* row = FindFactoryRow(typeId);
  if (row == nullptr || row->create == nullptr) {
    prompts.Show(StringText(StringId::kNoFilterSelected), "", PromptIcon::Warning);
    return 0;
  }
  try {
    engine = row->create();
    engine->prompts = &prompts;
  } catch (const std::bad_alloc&) {
    engine.reset();  // the caller reports the shortage
  }
  return 1;
}

}  // namespace ztlive
