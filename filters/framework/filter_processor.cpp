#include "filters/framework/filter_processor.h"

#include "filters/framework/preset_store.h"

namespace ztlive {

void FilterProcessor::SetExtraParams(double*, double*, double*, double*) {}

void FilterProcessor::GetExtraParams(double*, double*, double*, double*) {}

std::string FilterProcessor::PresetSectionName() const { return PresetSection(sectionBase); }

int FilterProcessor::ReadPreset(std::string_view name, PresetValues& out) {
  PresetValues read;
  if (ReadPresetValues(PresetSectionName(), name, read) != 0) return 1;
  out = read;
  return 0;
}

int FilterProcessor::WritePreset(std::string_view name) { return WritePresetValues(name, values); }

int FilterProcessor::WritePresetValues(std::string_view name, const PresetValues& stored) {
  return WritePresetValuesTo(PresetSectionName(), name, stored, PresetTextForm::Plain);
}

int FilterProcessor::LoadPreset(std::string_view name) {
  PresetValues read;
  if (ReadPreset(name, read) != 0) return 1;
  // p[9], p[10] and needsPrepare stay as they were; engines that use them override this.
  for (size_t i = 0; i < 9; ++i) values.p[i] = read.p[i];
  return 0;
}

int FilterProcessor::SetValues(const PresetValues& newValues) {
  values = newValues;
  needsPrepare = 1;
  return 0;
}

}  // namespace ztlive
