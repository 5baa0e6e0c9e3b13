// What the "Multi-Filter" window needs of the application around it: the settings window of a
// filter type (one per type, shared with the Filters menu), a run of the chain over the active
// document, and the process-wide run state, settings and prompts. The main window implements
// it; tests implement it over a document of their own.
#pragma once

#include <QString>

#include "core/run_state.h"
#include "filters/framework/filter_types.h"
#include "live/filter_chain.h"
#include "platform/prompts.h"
#include "platform/settings_store.h"

class QDialog;

namespace ztlive {

class ChainWindowHost {
 public:
  virtual ~ChainWindowHost() = default;

  // The settings window of the type, made on first use, with the caption, shown in front;
  // null when the type has none.
  virtual QDialog* OpenFilterWindow(FilterTypeId type, const QString& caption) = 0;
  // RunChain over the active document's selection into its destination, or as a preview:
  // its result (0 when there is no document to run over).
  virtual int RunChainOverDocument(FilterChain& chain, bool preview) = 0;
  // A run of any filter is in progress.
  virtual bool RunBusy() = 0;
  virtual RunState& Run() = 0;
  virtual SettingsStore& Settings() = 0;
  virtual Prompts& WindowPrompts() = 0;
};

}  // namespace ztlive
