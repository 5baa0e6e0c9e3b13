// A deterministic sound card for tests: a manual clock instead of a real one. Advance(frames)
// plays that many frames from every started output's queue (returning finished buffers in
// order) and records that many frames of the input signal into every started input's queue.
// What the outputs played is kept, so tests can compare it with what was written.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "platform/wave_device.h"

namespace ztlive {

class VirtualSoundCard : public WaveSystem {
 public:
  // Gives the input's byte at a byte offset of the recording (the test signal).
  using Signal = std::function<uint8_t(uint64_t byteOffset)>;

  VirtualSoundCard(int outputDevices = 1, int inputDevices = 1);
  ~VirtualSoundCard() override;

  std::vector<std::string> OutputDeviceNames() override;
  std::vector<std::string> InputDeviceNames() override;
  std::unique_ptr<WaveOut> MakeOutput() override;
  std::unique_ptr<WaveIn> MakeInput() override;

  void Advance(uint32_t frames);
  void SetInputSignal(Signal signal) { m_signal = std::move(signal); }
  // Opening at this sample rate fails with kWaveBadFormat, as a card without it would.
  void RefuseSampleRate(uint32_t rate) { m_refusedRate = rate; }

  // Every byte the outputs played, in order (silence of underruns not included).
  const std::vector<uint8_t>& Played() const { return m_played; }
  // Frames an output had to play with nothing queued; frames an input had no buffer for.
  uint64_t UnderrunFrames() const { return m_underrunFrames; }
  uint64_t OverrunFrames() const { return m_overrunFrames; }

  class Output;
  class Input;

 private:
  friend class Output;
  friend class Input;
  int CheckOpen(unsigned deviceId, int deviceCount, const WaveDeviceFormat& format) const;
  uintptr_t NextHandle() { return ++m_lastHandle; }

  int m_outputDevices;
  int m_inputDevices;
  uint32_t m_refusedRate = 0;
  Signal m_signal;
  std::vector<Output*> m_outputs;
  std::vector<Input*> m_inputs;
  std::vector<uint8_t> m_played;
  uint64_t m_underrunFrames = 0;
  uint64_t m_overrunFrames = 0;
  uintptr_t m_lastHandle = 0;
};

}  // namespace ztlive
