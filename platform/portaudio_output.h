// A sound card output through PortAudio. The stream starts at the open and plays silence
// until buffers are written; the callback copies from the queued buffers (converting the
// rate when the device does not offer the file's) and returns each finished buffer as a
// message. Pause holds the stream on silence without losing its place.
#pragma once

#include <portaudio.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/device_buffer_queue.h"
#include "platform/portaudio_stream.h"
#include "platform/rate_converter.h"
#include "platform/wave_device.h"

namespace ztlive {

class PortAudioWaveSystem;

class PortAudioOutput : public WaveOut {
 public:
  explicit PortAudioOutput(PortAudioWaveSystem& system) : m_system(system) {}
  ~PortAudioOutput() override;

  int Open(unsigned deviceId, const WaveDeviceFormat& format, MessageQueue& queue, uint32_t target) override;
  int Prepare(WaveHeader& header) override { return PrepareWaveHeader(header); }
  int Unprepare(WaveHeader& header) override { return UnprepareWaveHeader(header); }
  int Write(WaveHeader& header) override;
  int Pause() override;
  int Restart() override;
  int Reset() override;
  int Close() override;
  int Position(uint64_t& bytes) override;
  std::string ErrorText(int result) const override { return m_failure.TextFor(result); }
  uintptr_t Handle() const override { return m_handle; }
  // The stream runs from the open to the close (silence while nothing is queued), so a stream
  // that is no longer active has been stopped by its host: the server went away.
  bool Lost() override;

  // The stream's rate and whether it runs through the converter (for tests and benchmarks).
  const StreamPlan& Plan() const { return m_plan; }
  double OutputLatencySeconds() const;

 private:
  static int Callback(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* time,
                      PaStreamCallbackFlags status, void* user);
  void Render(void* output, unsigned long frames);
  void RenderConverted(float* output, size_t frames);
  // Takes file bytes from the queue into `bytes`, silence where none are queued, and keeps
  // the underrun count; returns the bytes taken.
  size_t TakeBytes(uint8_t* bytes, size_t length);
  void ClearConversion();
  int Fail(PaError error) { return m_failure.Set(error); }

  PortAudioWaveSystem& m_system;
  PaStream* m_stream = nullptr;
  uintptr_t m_handle = 0;
  WaveDeviceFormat m_format;
  StreamPlan m_plan;
  PortAudioFailure m_failure;
  DeviceBufferQueue m_buffers;
  std::atomic<bool> m_paused{false};
  bool m_lost = false;  // the host stopped the stream: it is left alone from then on
  std::atomic<uint64_t> m_callbacksEnded{0};  // each callback's end, for a lost stream's owner

  // The callback's own state (the main thread touches it only while the stream is stopped).
  uint8_t m_silence = 0;
  bool m_played = false;          // a buffer has been played since the open or reset
  uint64_t m_starvedFrames = 0;   // silence played since the queue ran dry
  RateConverter m_converter;
  std::vector<uint8_t> m_chunkBytes;  // file frames taken for the converter
  std::vector<float> m_chunk;         // the same as floats
  size_t m_chunkFrames = 0;
  size_t m_chunkUsed = 0;
  std::vector<float> m_converted;     // converter output not yet played
  size_t m_convertedFrames = 0;
  size_t m_convertedUsed = 0;
};

}  // namespace ztlive
