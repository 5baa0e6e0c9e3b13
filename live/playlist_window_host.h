// What the "Play List Editor" needs of the application around it: the device engine that
// plays the files, the process-wide run state, the settings (the last folder used) and the
// message boxes. The main window implements it; tests implement it over a sound card of their
// own.
#pragma once

#include "core/device_engine.h"
#include "core/run_state.h"
#include "platform/prompts.h"
#include "platform/settings_store.h"

namespace ztlive {

class PlaylistWindowHost {
 public:
  virtual ~PlaylistWindowHost() = default;

  virtual DeviceEngine& Devices() = 0;
  virtual RunState& Run() = 0;
  virtual SettingsStore& Settings() = 0;
  virtual Prompts& WindowPrompts() = 0;
};

}  // namespace ztlive
