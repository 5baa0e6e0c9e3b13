// The sound card side of the commands that play: the machine's devices and a device engine
// over them with the settings "DevOut", "DevIn" and "PreRollBuffs".
#pragma once

#include <memory>

#include "core/device_engine.h"
#include "platform/portaudio_wave_system.h"

namespace ztlive::cli {

class CommandPlayer {
 public:
  // Null, after the message, when the machine has no output device.
  static std::unique_ptr<CommandPlayer> Open(Prompts& prompts);

  DeviceEngine& Engine() { return *m_engine; }
  MessageQueue& Queue() { return m_queue; }
  RunState& Run() { return m_run; }

 private:
  CommandPlayer() = default;

  PortAudioWaveSystem m_devices;
  MessageQueue m_queue;
  RunState m_run;
  WaveStream m_playStream{4096, 4096, m_run};
  WaveStream m_recordStream{4096, 4096, m_run};
  std::unique_ptr<DeviceEngine> m_engine;  // goes before the streams and devices it uses
};

}  // namespace ztlive::cli
