// What a filter settings window needs of the application around it: a run of its filter over
// the active document (or a preview of it), the settings a run over a file starts with, the
// process-wide run state, the settings store and the prompts. The main window implements it;
// tests implement it over a document of their own.
#pragma once

#include <string>

#include "core/run_state.h"
#include "filters/framework/filter_settings_logic.h"
#include "filters/framework/run_dialog.h"
#include "platform/prompts.h"
#include "platform/settings_store.h"

namespace ztlive {

class FilterWindowHost {
 public:
  virtual ~FilterWindowHost() = default;

  // RunFilter over the active view's document with the channels kept: 1 done, else 0 or the
  // run's code (its message has been shown).
  virtual int RunFilterFromWindow(FilterTypeId type, RunDialog* dialog, bool preview, const PresetValues& values) = 0;
  virtual FileRunSettings& FileRun() = 0;
  // The source file of the active document (a window that samples it needs its rate);
  // empty when there is none.
  virtual std::string ActiveSourceName() { return {}; }
  virtual RunState& Run() = 0;
  virtual SettingsStore& Settings() = 0;
  virtual Prompts& WindowPrompts() = 0;
};

}  // namespace ztlive
