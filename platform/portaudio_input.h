// A sound card input through PortAudio. The stream runs between Start and Stop; the callback
// copies what the device recorded into the queued buffers (converting the rate when the
// device does not offer the file's) and returns each full buffer as a message.
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

class PortAudioInput : public WaveIn {
 public:
  explicit PortAudioInput(PortAudioWaveSystem& system) : m_system(system) {}
  ~PortAudioInput() override;

  int Open(unsigned deviceId, const WaveDeviceFormat& format, MessageQueue& queue, uint32_t target) override;
  int Prepare(WaveHeader& header) override { return PrepareWaveHeader(header); }
  int Unprepare(WaveHeader& header) override { return UnprepareWaveHeader(header); }
  int Add(WaveHeader& header) override;
  int Start() override;
  int Stop() override;
  int Reset() override;
  int Close() override;
  int Position(uint64_t& bytes) override;
  std::string ErrorText(int result) const override { return m_failure.TextFor(result); }
  uintptr_t Handle() const override { return m_handle; }
  // A running stream that is no longer active has been stopped by its host.
  bool Lost() override;

  const StreamPlan& Plan() const { return m_plan; }
  double InputLatencySeconds() const;

 private:
  static int Callback(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* time,
                      PaStreamCallbackFlags status, void* user);
  void Capture(const void* input, unsigned long frames);
  // Stores file bytes into the queued buffers; what does not fit is lost and counted.
  void Deliver(const uint8_t* bytes, size_t length);
  int Fail(PaError error) { return m_failure.Set(error); }

  PortAudioWaveSystem& m_system;
  PaStream* m_stream = nullptr;
  bool m_running = false;
  bool m_lost = false;  // the host stopped the running stream: it is left alone from then on
  std::atomic<uint64_t> m_callbacksEnded{0};  // each callback's end, for a lost stream's owner
  uintptr_t m_handle = 0;
  WaveDeviceFormat m_format;
  StreamPlan m_plan;
  PortAudioFailure m_failure;
  DeviceBufferQueue m_buffers;
  std::atomic<uint64_t> m_position{0};

  // The callback's own state (the main thread touches it only while the stream is stopped).
  RateConverter m_converter;
  std::vector<float> m_converted;  // converter output, in file frames
  std::vector<uint8_t> m_bytes;    // the same as file bytes
};

}  // namespace ztlive
