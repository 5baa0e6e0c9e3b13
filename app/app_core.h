// The engine side of the application: the settings store, the process-wide run state, the
// message queue joined with Qt's loop, the sound cards, the two streams, the device engine and
// the filter run. The main window owns one; everything runs on the main thread.
#pragma once

#include <memory>

#include "app/qt_message_pump.h"
#include "core/device_engine.h"
#include "core/wave_stream.h"
#include "document/filter_run.h"
#include "platform/message_queue.h"
#include "platform/prompts.h"
#include "platform/settings_store.h"
#include "platform/wave_device.h"

namespace ztlive {

class AppCore {
 public:
  // devices: the sound cards (the real ones in the program); prompts: the message boxes.
  AppCore(std::unique_ptr<WaveSystem> devices, Prompts& prompts);
  ~AppCore();

  SettingsStore& Settings() { return m_settings; }
  RunState& Run() { return m_run; }
  MessageQueue& Queue() { return m_queue; }
  Prompts& GetPrompts() { return m_prompts; }
  WaveSystem& Devices() { return *m_devices; }
  DeviceEngine& Engine() { return *m_engine; }
  FilterRun& Filters() { return *m_filterRun; }

  // Reads "DevOut", "DevIn" and "PreRollBuffs" again into the device engine.
  void ApplyDeviceSettings();

 private:
  SettingsStore m_settings;
  RunState& m_run;
  Prompts& m_prompts;
  MessageQueue m_queue;
  QtMessagePump m_pump;
  std::unique_ptr<WaveSystem> m_devices;
  WaveStream m_input;
  WaveStream m_output;
  std::unique_ptr<DeviceEngine> m_engine;
  std::unique_ptr<FilterRun> m_filterRun;
};

}  // namespace ztlive
