// The one way a stored preset reaches an engine: read it, check every value against the
// filter's parameter ranges, and take it only when all are inside. A damaged or hand-edited
// preset never runs.
#pragma once

#include <string>
#include <string_view>

#include "filters/framework/filter_processor.h"

namespace ztlive {

enum class PresetLoadResult { Loaded, Missing, OutOfRange };

struct PresetLoadOutcome {
  PresetLoadResult result = PresetLoadResult::Missing;
  std::string problem;  // for OutOfRange: which value, and the range it must lie in

  bool Loaded() const { return result == PresetLoadResult::Loaded; }
};

// Loads the named preset into the engine. On Missing or OutOfRange the engine's values are
// as they were.
PresetLoadOutcome LoadNamedPreset(FilterProcessor& engine, std::string_view name);

// The message for a value outside its range: "Value 1 (Size) is 99. Please enter an integer
// between 2 and 30."; empty when every value is inside.
std::string DescribeValueOutOfRange(const FilterDescriptor& descriptor, const PresetValues& values);

}  // namespace ztlive
