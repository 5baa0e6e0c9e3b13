#include "filters/framework/preset_loading.h"

#include "platform/string_table.h"

namespace ztlive {

std::string DescribeValueOutOfRange(const FilterDescriptor& descriptor, const PresetValues& values) {
  const std::optional<RangeProblem> problem = FirstValueOutOfRange(descriptor, values);
  if (!problem) return {};
  const ParameterRecord& parameter = *problem->parameter;
  return FormatText(StringId::kValueOutOfRange,
                    {std::to_string(parameter.index), std::string(parameter.label), std::to_string(problem->value),
                     std::to_string(parameter.minimum), std::to_string(parameter.maximum)});
}

PresetLoadOutcome LoadNamedPreset(FilterProcessor& engine, std::string_view name) {
  const PresetValues before = engine.values;
  if (engine.LoadPreset(name) != 0) {
    engine.values = before;
    return {PresetLoadResult::Missing, {}};
  }
  if (const FilterDescriptor* descriptor = engine.Descriptor(); descriptor != nullptr) {
    std::string problem = DescribeValueOutOfRange(*descriptor, engine.values);
    if (!problem.empty()) {
      engine.values = before;
      return {PresetLoadResult::OutOfRange, std::move(problem)};
    }
  }
  return {PresetLoadResult::Loaded, {}};
}

}  // namespace ztlive
