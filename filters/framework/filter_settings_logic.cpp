#include "filters/framework/filter_settings_logic.h"

namespace ztlive {

void FilterSettingsLogic::ApplyValues(const PresetValues& values) {
  if (m_engine != nullptr) m_engine->SetValues(values);
  m_fileRun.activePresetValues = values;
  if (m_fileRun.runningEngine != nullptr) {
    m_fileRun.valuesChanged = true;
    if (m_fileRun.runningEngine != m_engine) m_fileRun.runningEngine->SetValues(values);
  }
}

void FilterSettingsLogic::ApplyBypass(int32_t flag) {
  if (m_engine != nullptr) m_engine->bypass = flag;
  m_fileRun.bypass = flag;
  if (m_fileRun.runningEngine != nullptr) m_fileRun.runningEngine->bypass = flag;
}

void FilterSettingsLogic::ApplyKeepResidue(int32_t flag) {
  if (m_engine != nullptr) m_engine->keepResidue = flag;
  m_fileRun.keepResidue = flag;
  if (m_fileRun.runningEngine != nullptr) m_fileRun.runningEngine->keepResidue = flag;
}

bool FilterSettingsLogic::RequestClose(PresetComboBox& combo, const PresetValues& shown, bool autoSaveDefault) {
  if (m_fileRun.runningEngine != nullptr) {
    m_run.stopRequested.store(1, std::memory_order_relaxed);
    return false;
  }
  if (autoSaveDefault) m_presets.SaveDefault(combo, shown);
  return true;
}

}  // namespace ztlive
