// Everything a filter run works with, assembled once: the message queue, the sound cards,
// the input and output streams, the device engine and the filter run itself. The main
// window, the command line and the window tests each own one; each sets the queue's pump
// hook its own way.
#pragma once

#include <memory>

#include "core/device_engine.h"
#include "core/wave_stream.h"
#include "document/filter_run.h"
#include "platform/message_queue.h"
#include "platform/prompts.h"
#include "platform/settings_store.h"
#include "platform/wave_device.h"

namespace ztlive {

class RunEnvironment {
 public:
  static constexpr int kBlockValues = 4096;
  static constexpr int kHistoryCapacity = 8192;  // room for the longest history and look-ahead of any engine

  // The device engine starts with "DevOut", "DevIn", "PreRollBuffs" and "LiveBlockSize" from
  // settings.
  RunEnvironment(std::unique_ptr<WaveSystem> cards, RunState& run, SettingsStore& settings, Prompts& prompts);
  // Stops what plays or records; the pump hook is removed first.
  ~RunEnvironment();
  RunEnvironment(const RunEnvironment&) = delete;
  RunEnvironment& operator=(const RunEnvironment&) = delete;

  MessageQueue& Queue() { return m_queue; }
  WaveSystem& Cards() { return *m_cards; }
  DeviceEngine& Devices() { return *m_devices; }
  FilterRun& Runner() { return *m_filterRun; }
  // The input stream: a file's blocks, or the live input's.
  const WaveStream& InputStream() const { return m_input; }
  // The output stream: a run's destination, or the device engine's play stream.
  WaveStream& OutputStream() { return m_output; }

  // Reads the device settings again into the device engine.
  void ApplyDeviceSettings();

 private:
  RunState& m_run;
  SettingsStore& m_settings;
  MessageQueue m_queue;
  std::unique_ptr<WaveSystem> m_cards;
  WaveStream m_input;
  WaveStream m_output;
  std::unique_ptr<DeviceEngine> m_devices;
  std::unique_ptr<FilterRun> m_filterRun;
};

}  // namespace ztlive
