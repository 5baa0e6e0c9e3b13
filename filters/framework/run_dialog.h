// What a run of a filter needs of the settings window (or what stands in for it) that
// started it: the engine while it runs, the controls to lock, and what the window keeps
// beside the eleven values.
#pragma once

#include "filters/framework/filter_processor.h"

namespace ztlive {

class RunDialog {
 public:
  virtual ~RunDialog() = default;
  // Gives the window the running engine (or null); returns the one it had.
  virtual FilterProcessor* AttachProcessor(FilterProcessor* processor) = 0;
  // The engine is about to be destroyed: the window lets go of it if it has it; another
  // engine it has stays.
  virtual void ReleaseEngine(FilterProcessor* engine) {
    if (FilterProcessor* previous = AttachProcessor(nullptr); previous != engine) AttachProcessor(previous);
  }
  // Disables (false) the controls that must not change during a run, or enables them again.
  virtual void EnableRunControls(bool) {}
  // Disables (false) the window's text-entry fields while a run reads its values, except the
  // ones the window lets the user change during a run; enables them again.
  virtual void EnableTextEntry(bool) {}
  // Before Prepare, for a filter that takes extra parameters: the window pushes what the
  // engine keeps outside the preset integers (equaliser bands, a noise print).
  virtual void PushExtraParams(FilterProcessor&) {}
  // After an analysis run: the engine's result.
  virtual void TakeAnalysisResult(FilterProcessor&) {}
};

}  // namespace ztlive
