#include "filters/filter_registry.h"

#include <algorithm>
#include <array>
#include <vector>

#include "filters/analysis/mark_silence_processor.h"
#include "filters/eq/averaging_filter.h"
#include "filters/eq/band_pass_filter.h"
#include "filters/eq/brick_wall_filter.h"
#include "filters/eq/graphic_equalizer.h"
#include "filters/eq/high_pass_filter.h"
#include "filters/eq/low_pass_filter.h"
#include "filters/eq/median_filter.h"
#include "filters/eq/notch_filter.h"
#include "filters/eq/paragraphic_equalizer.h"
#include "filters/restoration/adaptive_speech_filter.h"
#include "filters/restoration/continuous_noise_filter.h"
#include "filters/restoration/dynamic_noise_filter.h"
#include "filters/restoration/harmonic_reject_filter.h"
#include "filters/restoration/impulse_filter.h"
#include "filters/restoration/noise_sampler.h"
#include "filters/unbuilt_filters.h"

namespace ztlive {

namespace {

// type, descriptor, icon, batch list name, chain list position, chain list name
constexpr std::array<FilterRegistryRow, 29> kRows = {{
    {15, &ImpulseProcessor::Descriptor, 216, "Impulse Filter", 0, "Impulse"},
    {8, &NoiseReductionProcessor::Descriptor, 222, "Continuous Noise Filter", 1, "Continuous Noise"},
    {22, &HarmonicRejectProcessor::Descriptor, 227, "Harmonic Noise Filter", 2, "Harmonic Noise"},
    {18, &DynamicNoiseProcessor::Descriptor, 224, "Dynamic Noise Filter", 3, "Dynamic Noise"},
    {19, &LowPassProcessor::Descriptor, 229, "Low Pass Filter", 4, "Low Pass"},
    {11, &BandPassProcessor::Descriptor, 220, "Band Pass Filter", 5, "Band Pass"},
    {12, &HighPassProcessor::Descriptor, 228, "High Pass Filter", 6, "High Pass"},
    {13, &NotchProcessor::Descriptor, 231, "Notch Filter", 7, "Notch"},
    {6, &MedianProcessor::Descriptor, 230, "Median Filter", 8, "Median"},
    {2, &AveragingProcessor::Descriptor, 219, "Averaging Filter", 9, "Averaging"},
    {20, &GraphicEqProcessor::Descriptor, 226, "Graphic Equalizer", 10, "Graphic Eq"},
    {0, &unbuilt::FileConversion, 225, "File Conversion", 11, "File Conversion"},
    {23, &unbuilt::Reverb, 234, "Reverb", 12, "Reverb"},
    {24, &unbuilt::VirtualValve, 233, "Virtual Valve", 13, "Virtual Valve"},
    {25, &unbuilt::Dynamics, 221, "Dynamics Processor", 14, "Dynamics Processor"},
    {26, &ParagraphicEqProcessor::Descriptor, 232, "Paragraphic Equalizer", 15, "Paragraphic Eq"},
    {29, &unbuilt::ChannelBlender, 249, "Channel Blender", 16, "Channel Blender"},
    {28, &unbuilt::MultiFilter, 250, "MultiFilter"},
    {21, &unbuilt::PitchChange, 235, "Pitch Change"},
    {30, &AdaptiveProcessor::Descriptor, 261, "Adaptive", 18, "Adaptive"},
    {31, &BrickWallProcessor::Descriptor, 260, "Brick Wall", 17, "Brick Wall"},
    {32, &unbuilt::Normalize, 270, "Normalize"},
    {33, &unbuilt::PunchAndCrunch, 277, "Punch and Crunch", 19, "Punch and Crunch"},
    {7, &MedianProcessor::Descriptor},  // the second median type
    {9, &NoiseSampler::Descriptor},
    {27, &MarkSilenceProcessor::Descriptor},
    {3, &unbuilt::Empty3},
    {5, &unbuilt::Empty5},
    {16, &unbuilt::Empty16},
}};

std::vector<FilterTypeEntry> MakeBatchList() {
  std::vector<FilterTypeEntry> list;
  for (const FilterRegistryRow& row : kRows)
    if (!row.batchName.empty()) list.push_back({row.typeId, row.iconId, row.batchName});
  return list;
}

std::vector<FilterTypeEntry> MakeChainList() {
  std::vector<const FilterRegistryRow*> members;
  for (const FilterRegistryRow& row : kRows)
    if (row.chainPosition >= 0) members.push_back(&row);
  std::sort(members.begin(), members.end(),
            [](const FilterRegistryRow* a, const FilterRegistryRow* b) { return a->chainPosition < b->chainPosition; });
  std::vector<FilterTypeEntry> list;
  for (const FilterRegistryRow* row : members) list.push_back({row->typeId, row->iconId, row->chainName});
  list.push_back({kChainInput, 242, "Input"});
  list.push_back({kChainOutput, 244, "Output"});
  return list;
}

}  // namespace

std::span<const FilterRegistryRow> FilterRegistry() { return kRows; }

const FilterDescriptor* FindFilterDescriptor(FilterTypeId typeId) {
  for (const FilterRegistryRow& row : kRows)
    if (row.typeId == typeId) return &row.descriptor();
  return nullptr;
}

std::vector<const FilterDescriptor*> BuiltFilters() {
  std::vector<const FilterDescriptor*> built;
  for (const FilterRegistryRow& row : kRows)
    if (row.descriptor().Built() && row.descriptor().typeId == row.typeId) built.push_back(&row.descriptor());
  return built;
}

const FilterDescriptor* FindFilterByCommandName(std::string_view name) {
  if (name.empty()) return nullptr;
  for (const FilterRegistryRow& row : kRows)
    if (row.descriptor().commandName == name) return &row.descriptor();
  return nullptr;
}

std::span<const FilterTypeEntry> BatchFilterList() {
  static const std::vector<FilterTypeEntry> list = MakeBatchList();
  return list;
}

std::span<const FilterTypeEntry> ChainFilterList() {
  static const std::vector<FilterTypeEntry> list = MakeChainList();
  return list;
}

}  // namespace ztlive
