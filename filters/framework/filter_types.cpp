#include "filters/framework/filter_types.h"

#include <array>


namespace ztlive {

namespace {

constexpr std::array<FilterTypeEntry, 23> kBatchList = {{
    {15, 216, "Impulse Filter"},
    {8, 222, "Continuous Noise Filter"},
    {22, 227, "Harmonic Noise Filter"},
    {18, 224, "Dynamic Noise Filter"},
    {19, 229, "Low Pass Filter"},
    {11, 220, "Band Pass Filter"},
    {12, 228, "High Pass Filter"},
    {13, 231, "Notch Filter"},
    {6, 230, "Median Filter"},
    {2, 219, "Averaging Filter"},
    {20, 226, "Graphic Equalizer"},
    {0, 225, "File Conversion"},
    {23, 234, "Reverb"},
    {24, 233, "Virtual Valve"},
    {25, 221, "Dynamics Processor"},
    {26, 232, "Paragraphic Equalizer"},
    {29, 249, "Channel Blender"},
    {28, 250, "MultiFilter"},
    {21, 235, "Pitch Change"},
    {30, 261, "Adaptive"},
    {31, 260, "Brick Wall"},
    {32, 270, "Normalize"},
    {33, 277, "Punch and Crunch"},
}};

constexpr std::array<FilterTypeEntry, 22> kChainList = {{
    {15, 216, "Impulse"},
    {8, 222, "Continuous Noise"},
    {22, 227, "Harmonic Noise"},
    {18, 224, "Dynamic Noise"},
    {19, 229, "Low Pass"},
    {11, 220, "Band Pass"},
    {12, 228, "High Pass"},
    {13, 231, "Notch"},
    {6, 230, "Median"},
    {2, 219, "Averaging"},
    {20, 226, "Graphic Eq"},
    {0, 225, "File Conversion"},
    {23, 234, "Reverb"},
    {24, 233, "Virtual Valve"},
    {25, 221, "Dynamics Processor"},
    {26, 232, "Paragraphic Eq"},
    {29, 249, "Channel Blender"},
    {31, 260, "Brick Wall"},
    {30, 261, "Adaptive"},
    {33, 277, "Punch and Crunch"},
    {kChainInput, 242, "Input"},
    {kChainOutput, 244, "Output"},
}};

}  // namespace

std::span<const FilterTypeEntry> BatchFilterList() { return kBatchList; }
std::span<const FilterTypeEntry> ChainFilterList() { return kChainList; }

int FindFilterType(std::span<const FilterTypeEntry> list, FilterTypeId typeId) {
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].typeId == typeId) return static_cast<int>(i);
  return -1;
}

}  // namespace ztlive
