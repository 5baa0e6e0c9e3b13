#include "filters/framework/filter_descriptor.h"

namespace ztlive {

PresetValues PresetRecordRule::Store(const PresetValues& values) const {
  PresetValues stored;
  for (int i = 0; i < count; ++i) {
    const int8_t from = order[static_cast<size_t>(i)];
    if (from >= 0) stored.p[static_cast<size_t>(i)] = values.p[static_cast<size_t>(from)];
  }
  return stored;
}

void PresetRecordRule::Load(const PresetValues& stored, PresetValues& values) const {
  for (int i = 0; i < loaded; ++i) {
    const int8_t to = order[static_cast<size_t>(i)];
    if (to >= 0) values.p[static_cast<size_t>(to)] = stored.p[static_cast<size_t>(i)];
  }
  for (const int8_t zeroed : zeroedOnLoad)
    if (zeroed >= 0) values.p[static_cast<size_t>(zeroed)] = 0;
}

const ParameterRecord* FilterDescriptor::Parameter(int index) const {
  for (const ParameterRecord& parameter : parameters)
    if (parameter.index == index) return &parameter;
  return nullptr;
}

const ReadyPreset* FilterDescriptor::FindReadyPreset(std::string_view name) const {
  for (const ReadyPreset& preset : readyPresets)
    if (preset.name == name) return &preset;
  return nullptr;
}

PresetValues FilterDescriptor::StartingValues() const {
  PresetValues values;
  for (const ParameterRecord& parameter : parameters) values.p[static_cast<size_t>(parameter.index)] = parameter.start;
  return values;
}

std::optional<RangeProblem> FirstValueOutOfRange(const FilterDescriptor& descriptor, const PresetValues& values) {
  for (int index = 0; index < kPresetValueCount; ++index) {
    const ParameterRecord* parameter = descriptor.Parameter(index);
    const int32_t value = values.p[static_cast<size_t>(index)];
    if (parameter != nullptr && !parameter->Contains(value)) return RangeProblem{parameter, value};
  }
  return std::nullopt;
}

}  // namespace ztlive
