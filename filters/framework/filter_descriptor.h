// What one filter type is, said once: its identity, what its engine needs of the input
// stream, its eleven values with their ranges and controls, how its presets are stored, what
// a run must know of it, and how its engine is made. The registry, the factory, the settings
// windows, the command line and the tests all read these; no filter fact is written twice.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "filters/framework/filter_types.h"
#include "filters/framework/preset_values.h"

namespace ztlive {

class FilterProcessor;

// How a window shows one value.
enum class ControlKind : uint8_t {
  LinearSlider,  // an edit beside a trackbar, linear in the value
  LogSlider,     // the same, logarithmic in the value
  Spin,          // a spin box
  RadioChoice,   // a radio group: the value is the chosen button's index
  ListChoice,    // a drop-down list: the value is the chosen item's index
  Check,         // a check box: 0 or 1
};

// One of the eleven values p[0]..p[10].
struct ParameterRecord {
  int index = 0;                                // p[index]
  std::string_view label;                       // the control's caption ("Frequency")
  std::string_view unit;                        // "Hz", "ms", "dB"; empty for a count or choice
  int32_t minimum = 0;
  int32_t maximum = 0;
  int32_t start = 0;                            // what the window starts at without a "Default"
  ControlKind kind = ControlKind::LinearSlider;
  int32_t scale = 1;                            // the edit shows value / scale
  std::span<const std::string_view> choices{};  // the labels of the choices 0, 1, ...
  std::string_view group{};                     // a radio group's frame caption

  bool Contains(int32_t value) const { return value >= minimum && value <= maximum; }
};

// How the eleven values become a stored preset record and back. Stored slot i holds
// p[order[i]] (slots past `count`, or with order -1, hold 0); a load puts the first `loaded`
// slots back and then sets the values listed in `zeroedOnLoad` to 0.
struct PresetRecordRule {
  std::array<int8_t, kPresetValueCount> order{};
  int8_t count = 0;
  int8_t loaded = 0;
  std::array<int8_t, 2> zeroedOnLoad{-1, -1};

  PresetValues Store(const PresetValues& values) const;
  void Load(const PresetValues& stored, PresetValues& values) const;
};

// Every value stored in order; a load takes back p[0]..p[8] and leaves p[9] and p[10].
inline constexpr PresetRecordRule kWholeRecord{{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 11, 9, {-1, -1}};
// p[0]..p[count-1] stored and loaded; the rest stored as 0.
constexpr PresetRecordRule FirstValuesRecord(int8_t count) {
  PresetRecordRule rule;
  for (int8_t i = 0; i < kPresetValueCount; ++i) rule.order[static_cast<size_t>(i)] = i < count ? i : int8_t{-1};
  rule.count = count;
  rule.loaded = count;
  return rule;
}

// A preset the program ships: written into the preset file once, on the program's first
// start, where no preset of that name exists; readable by name even where it was not written.
struct ReadyPreset {
  std::string_view name;
  PresetValues values;  // in the stored order
};

// What the owners of a run must know, so that they branch on what a filter does and never on
// its type number.
struct FilterTraits {
  bool analysisOnly = false;      // writes no destination (noise sampling, marking silence)
  bool changesLength = false;     // the output may be longer or shorter than the input
  bool takesExtraParams = false;  // its window hands over more than the integers before a run
  bool countsClicks = false;      // the progress window shows its click counts
  bool ownerDoesWork = false;     // has no engine by design; its owner does the work
  bool isChain = false;           // the filter chain: its owners build it, never the factory
};

struct FilterDescriptor {
  FilterTypeId typeId = 0;
  std::string_view sectionBase;   // the preset section is this + "Set"; "None": no presets
  std::string_view displayName;   // the engine's own name
  std::string_view commandName;   // the command line's name; empty: reachable by number only
  std::string_view windowTitle;   // the settings window's caption
  std::string_view menuCommand;   // the Filters menu's item; empty: none
  std::optional<int32_t> history;    // values before a block; empty: the engine's own rule
  std::optional<int32_t> lookAhead;  // values after a block; empty: the engine's own rule
  std::span<const ParameterRecord> parameters{};
  PresetRecordRule presetRecord = kWholeRecord;
  FilterTraits traits{};
  // What the engine's constructor sets where it differs from the window's starting values.
  std::optional<PresetValues> constructorValues{};
  std::unique_ptr<FilterProcessor> (*create)() = nullptr;  // null while the engine is not built
  std::span<const ReadyPreset> readyPresets{};

  // An engine exists for the type.
  bool Built() const { return create != nullptr; }
  const ParameterRecord* Parameter(int index) const;
  const ReadyPreset* FindReadyPreset(std::string_view name) const;
  // The values the window starts at when no "Default" is stored.
  PresetValues StartingValues() const;
  // The values a new engine holds.
  PresetValues EngineValues() const { return constructorValues ? *constructorValues : StartingValues(); }
};

// The first value outside its parameter's range (values without a record are not checked).
struct RangeProblem {
  const ParameterRecord* parameter;
  int32_t value;
};
std::optional<RangeProblem> FirstValueOutOfRange(const FilterDescriptor& descriptor, const PresetValues& values);

}  // namespace ztlive
