#include "filters/framework/filter_types.h"

#include <array>
#include <new>

#include "platform/string_table.h"

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

constexpr PresetValues Values(std::initializer_list<std::pair<int, int32_t>> set) {
  PresetValues values;
  for (const auto& [index, value] : set) values.p[static_cast<size_t>(index)] = value;
  return values;
}

constexpr PresetValues kNone{};
constexpr std::nullopt_t kEngineOwn = std::nullopt;

// Engines register by filling in their create function here, one line each.
const std::array<FilterFactoryRow, 24> kFactory = {{
    {0, "FileConversions", "File Conversion", 2016, 0, kNone, nullptr},
    {2, "AveragingSet", "Average", 256, 0, kNone, nullptr},
    {6, "MedianSet", "Median", 1000, 0, kEngineOwn, nullptr},
    {7, "MedianSet", "Median", 1000, 0, kEngineOwn, nullptr},  // makes the median engine too
    {8, "Hissfilter", "Continuous Noise", kEngineOwn, 0, Values({{0, 20}, {1, 100}, {2, 100}}), nullptr},
    {9, "None", "None", 0, 0, kEngineOwn, nullptr},
    {11, "BandPassSet", "BandPass", 0, 0, kNone, nullptr},
    {12, "HiPassSet", "Hi Pass", 0, 0, kNone, nullptr},
    {13, "NotchSet", "Notch", 32, 0, kNone, nullptr},
    {15, "Impulse", "Impulse", 1024, 1024, kNone, nullptr},
    {18, "AnalogNoiseFilter", "Dynamic Noise", 0, 0, kNone, nullptr},
    {19, "LowPassSet", "LowPass", 0, 0, kNone, nullptr},
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

std::span<const FilterTypeEntry> BatchFilterList() { return kBatchList; }
std::span<const FilterTypeEntry> ChainFilterList() { return kChainList; }

int FindFilterType(std::span<const FilterTypeEntry> list, FilterTypeId typeId) {
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].typeId == typeId) return static_cast<int>(i);
  return -1;
}

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
  } catch (const std::bad_alloc&) {
    engine.reset();  // the caller reports the shortage
  }
  return 1;
}

}  // namespace ztlive
