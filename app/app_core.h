// The engine side of the application: the settings store, the process-wide run state, and
// the run environment (message queue, sound cards, streams, device engine, filter run) with
// its queue joined to Qt's loop. The main window owns one; everything runs on the main thread.
#pragma once

#include <memory>

#include "app/qt_message_pump.h"
#include "app/wave_clipboard.h"
#include "document/run_environment.h"
#include "platform/instance_lock.h"

namespace ztlive {

class AppCore {
 public:
  // cards: the sound cards (the real ones in the program); prompts: the message boxes.
  AppCore(std::unique_ptr<WaveSystem> cards, Prompts& prompts);

  SettingsStore& Settings() { return m_settings; }
  RunState& Run() { return m_run; }
  MessageQueue& Queue() { return m_environment.Queue(); }
  Prompts& GetPrompts() { return m_prompts; }
  WaveSystem& Devices() { return m_environment.Cards(); }
  DeviceEngine& Engine() { return m_environment.Devices(); }
  FilterRun& Filters() { return m_environment.Runner(); }
  RunEnvironment& Environment() { return m_environment; }

  // This instance's hold on the temporary folder, taken at start-up.
  InstanceLock& TempFolderLock() { return m_tempFolderLock; }

  // The desktop clipboard for audio; its files go into the temporary folder.
  WaveClipboard& Clipboard() { return m_clipboard; }

  // Reads "DevOut", "DevIn" and "PreRollBuffs" again into the device engine.
  void ApplyDeviceSettings() { m_environment.ApplyDeviceSettings(); }

 private:
  SettingsStore m_settings;
  RunState& m_run;
  Prompts& m_prompts;
  RunEnvironment m_environment;
  QtMessagePump m_pump;  // goes first, while the queue still exists
  InstanceLock m_tempFolderLock;
  WaveClipboard m_clipboard;
};

}  // namespace ztlive
