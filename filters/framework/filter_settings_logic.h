// What every filter settings window does apart from drawing: it hands the values of its
// controls to the engine it is attached to (a preview, a chain member), keeps them as the
// settings of the next run over a file, and passes them to that run's engine while it runs.
// The Qt settings windows own one of these.
#pragma once

#include "core/run_state.h"
#include "filters/framework/filter_processor.h"
#include "filters/framework/preset_list.h"

namespace ztlive {

// The settings a run of one filter over a file starts with, and its engine while it runs.
struct FileRunSettings {
  PresetValues activePresetValues;
  int32_t bypass = 0;
  int32_t keepResidue = 0;
  FilterProcessor* runningEngine = nullptr;  // set by the run for its duration
  bool valuesChanged = false;                 // new values reached the running engine; cleared per run
};

class FilterSettingsLogic {
 public:
  FilterSettingsLogic(FileRunSettings& fileRun, RunState& run, Prompts& prompts, PresetNameAsker& nameAsker)
      : m_fileRun(fileRun), m_run(run), m_presets(prompts, nameAsker) {}

  void AttachEngine(FilterProcessor* engine) { m_engine = engine; }
  FilterProcessor* AttachedEngine() const { return m_engine; }
  PresetList& Presets() { return m_presets; }

  // Every change of a control calls these, so a preview or a run follows at once.
  void ApplyValues(const PresetValues& values);
  void ApplyBypass(int32_t flag);
  void ApplyKeepResidue(int32_t flag);

  // The window asks to close. While a run over a file is in progress it stays open and the
  // run is asked to stop (false). Otherwise, with auto-save on, the shown values become the
  // "Default" preset (true).
  bool RequestClose(PresetComboBox& combo, const PresetValues& shown, bool autoSaveDefault);

 private:
  FileRunSettings& m_fileRun;
  RunState& m_run;
  PresetList m_presets;
  FilterProcessor* m_engine = nullptr;
};

}  // namespace ztlive
