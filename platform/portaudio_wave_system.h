// The real sound cards, through PortAudio (ALSA, JACK, PulseAudio/PipeWire). Device ids are
// positions in the output and input lists; the host's default device comes first in each, so
// the default id 0 is the device the desktop would choose.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/wave_device.h"

namespace ztlive {

class PortAudioWaveSystem : public WaveSystem {
 public:
  PortAudioWaveSystem();
  ~PortAudioWaveSystem() override;
  PortAudioWaveSystem(const PortAudioWaveSystem&) = delete;
  PortAudioWaveSystem& operator=(const PortAudioWaveSystem&) = delete;

  // Empty when PortAudio could not start; then InitError() says why.
  std::vector<std::string> OutputDeviceNames() override;
  std::vector<std::string> InputDeviceNames() override;
  std::unique_ptr<WaveOut> MakeOutput() override;
  std::unique_ptr<WaveIn> MakeInput() override;
  const std::string& InitError() const { return m_initError; }

  // The PortAudio device index of a list position, or -1.
  int OutputDeviceIndex(unsigned deviceId) const;
  int InputDeviceIndex(unsigned deviceId) const;

  // Frames an output played as silence because no buffer was queued in time (between two
  // buffers, not after the last), and frames an input had no buffer for.
  uint64_t UnderrunFrames() const { return m_underrunFrames.load(std::memory_order_relaxed); }
  uint64_t OverrunFrames() const { return m_overrunFrames.load(std::memory_order_relaxed); }

  uintptr_t NextHandle() { return ++m_lastHandle; }
  // A stream whose host stopped it (a JACK server that went away) cannot be stopped, closed
  // or terminated: each of those calls waits for the server for ever. Such a stream is left
  // as it is, and the library is then not terminated at the end (the process ends instead).
  void AbandonStream() { m_streamAbandoned = true; }
  void CountUnderrun(uint64_t frames) { m_underrunFrames.fetch_add(frames, std::memory_order_relaxed); }
  void CountOverrun(uint64_t frames) { m_overrunFrames.fetch_add(frames, std::memory_order_relaxed); }

 private:
  void ListDevices();

  bool m_initialized = false;
  bool m_streamAbandoned = false;
  std::string m_initError;
  std::vector<int> m_outputDevices;  // PortAudio indexes in list order
  std::vector<int> m_inputDevices;
  uintptr_t m_lastHandle = 0;
  std::atomic<uint64_t> m_underrunFrames{0};
  std::atomic<uint64_t> m_overrunFrames{0};
};

}  // namespace ztlive
