#include "filters/framework/filter_processor.h"

#include "filters/framework/preset_store.h"

namespace ztlive {

FilterProcessor::FilterProcessor(const FilterDescriptor& descriptor)
    : typeId(descriptor.typeId),
      values(descriptor.EngineValues()),
      sectionBase(descriptor.sectionBase),
      displayName(descriptor.displayName),
      m_descriptor(&descriptor) {}

int32_t FilterProcessor::GetLookahead() {
  return m_descriptor != nullptr ? m_descriptor->lookAhead.value_or(0) : 0;
}

int32_t FilterProcessor::GetHistoryLength() {
  return m_descriptor != nullptr ? m_descriptor->history.value_or(0) : 0;
}

void FilterProcessor::SetExtraParams(double*, double*, double*, double*) {}

void FilterProcessor::GetExtraParams(double*, double*, double*, double*) {}

std::string FilterProcessor::PresetSectionName() const { return PresetSection(sectionBase); }

int FilterProcessor::ReadPreset(std::string_view name, PresetValues& out) {
  PresetValues read;
  if (ReadPresetValues(PresetSectionName(), name, read) == 0) {
    out = read;
    return 0;
  }
  // A preset the program ships answers to its name even where the file does not hold it.
  const ReadyPreset* ready = m_descriptor != nullptr ? m_descriptor->FindReadyPreset(name) : nullptr;
  if (ready == nullptr) return 1;
  out = ready->values;
  return 0;
}

int FilterProcessor::WritePreset(std::string_view name) {
  const PresetRecordRule& rule = m_descriptor != nullptr ? m_descriptor->presetRecord : kWholeRecord;
  return WritePresetValues(name, rule.Store(values));
}

int FilterProcessor::WritePresetValues(std::string_view name, const PresetValues& stored) {
  return WritePresetValuesTo(PresetSectionName(), name, stored, PresetTextForm::Plain);
}

int FilterProcessor::LoadPreset(std::string_view name) {
  PresetValues read;
  if (ReadPreset(name, read) != 0) return 1;
  // needsPrepare stays as it was; so do p[9] and p[10] under the whole-record rule.
  const PresetRecordRule& rule = m_descriptor != nullptr ? m_descriptor->presetRecord : kWholeRecord;
  rule.Load(read, values);
  return 0;
}

int FilterProcessor::SetValues(const PresetValues& newValues) {
  values = newValues;
  needsPrepare = 1;
  return 0;
}

}  // namespace ztlive
