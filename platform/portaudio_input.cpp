#include "platform/portaudio_input.h"

#include <algorithm>
#include <cmath>

#include "platform/pcm_float.h"
#include "platform/portaudio_wave_system.h"

namespace ztlive {

namespace {

constexpr size_t kConvertedFrames = 1024;  // file frames made per converter call at most

}  // namespace

PortAudioInput::~PortAudioInput() {
  if (m_stream != nullptr && !Lost()) {
    Pa_AbortStream(m_stream);
    Pa_CloseStream(m_stream);
  }
}

int PortAudioInput::Open(unsigned deviceId, const WaveDeviceFormat& format, MessageQueue& queue, uint32_t target) {
  if (m_stream != nullptr) return kWaveError;
  const int opened = OpenPortAudioStream(false, m_system.InputDeviceIndex(deviceId), format, &Callback, this, m_stream,
                                         m_plan, m_failure);
  if (opened != kWaveOk) return opened;
  m_format = format;
  m_running = false;
  m_lost = false;
  m_position.store(0);
  m_converter.Release();
  if (m_plan.converted) {
    if (m_plan.deviceRate != format.sampleRate &&
        !m_converter.Init(format.channels, m_plan.deviceRate, format.sampleRate)) {
      Pa_CloseStream(m_stream);
      m_stream = nullptr;
      return kWaveNoMemory;
    }
    m_converted.assign(kConvertedFrames * format.channels, 0.0f);
    m_bytes.assign(kConvertedFrames * format.blockAlign, 0);
  }
  m_handle = m_system.NextHandle();
  m_buffers.Bind(&queue, target, kWaveInData, m_handle);
  return kWaveOk;
}

int PortAudioInput::Add(WaveHeader& header) {
  if (m_stream == nullptr) return kWaveInvalidHandle;
  if (!(header.flags & kWaveHeaderPrepared)) return kWaveUnprepared;
  header.bytesRecorded = 0;
  header.flags = (header.flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
  if (!m_buffers.Push(header)) {
    header.flags &= ~kWaveHeaderInQueue;
    return kWaveNoMemory;
  }
  return kWaveOk;
}

int PortAudioInput::Start() {
  if (m_stream == nullptr) return kWaveInvalidHandle;
  if (m_running) return kWaveOk;
  m_converter.Reset();
  if (const PaError error = Pa_StartStream(m_stream); error != paNoError) return Fail(error);
  m_running = true;
  return kWaveOk;
}

int PortAudioInput::Stop() {
  if (m_stream == nullptr) return kWaveInvalidHandle;
  if (m_running && Lost()) m_running = false;
  if (m_running) {
    // Stopping lets the callback deliver what the device already recorded.
    if (const PaError error = Pa_StopStream(m_stream); error != paNoError) return Fail(error);
    m_running = false;
  }
  // The buffer being filled comes back with what it holds; empty ones stay queued.
  m_buffers.ReturnPartialHead();
  return kWaveOk;
}

int PortAudioInput::Reset() {
  if (m_stream == nullptr) return kWaveInvalidHandle;
  if (m_running && Lost()) m_running = false;
  if (m_running) {
    if (const PaError error = Pa_AbortStream(m_stream); error != paNoError) return Fail(error);
    m_running = false;
  }
  m_buffers.ReturnAll();
  return kWaveOk;
}

bool PortAudioInput::Lost() {
  // Only a running stream can be lost: a stopped one is inactive by design.
  if (m_stream != nullptr && m_running && !m_lost && Pa_IsStreamActive(m_stream) != 1) {
    m_lost = true;
    m_system.AbandonStream();
    // The callback has run for the last time; what it wrote is this thread's from here on.
    (void)m_callbacksEnded.load(std::memory_order_acquire);
  }
  return m_lost;
}

int PortAudioInput::Close() {
  if (m_stream == nullptr) return kWaveInvalidHandle;
  if (!m_buffers.Empty()) return kWaveStillPlaying;
  if (Lost()) {
    m_running = false;
    m_stream = nullptr;
    m_handle = 0;
    return kWaveOk;
  }
  if (m_running) Pa_AbortStream(m_stream);
  m_running = false;
  const PaError error = Pa_CloseStream(m_stream);
  m_stream = nullptr;
  m_handle = 0;
  return error == paNoError ? kWaveOk : Fail(error);
}

int PortAudioInput::Position(uint64_t& bytes) {
  if (m_stream == nullptr) return kWaveInvalidHandle;
  bytes = m_position.load(std::memory_order_acquire);
  return kWaveOk;
}

double PortAudioInput::InputLatencySeconds() const {
  const PaStreamInfo* info = m_stream != nullptr ? Pa_GetStreamInfo(m_stream) : nullptr;
  return info != nullptr ? info->inputLatency : 0.0;
}

int PortAudioInput::Callback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                             PaStreamCallbackFlags, void* user) {
  auto* self = static_cast<PortAudioInput*>(user);
  self->Capture(input, frames);
  self->m_callbacksEnded.fetch_add(1, std::memory_order_release);
  return paContinue;
}

void PortAudioInput::Deliver(const uint8_t* bytes, size_t length) {
  // The position counts what the device delivered, overruns included, and moves before the
  // buffers it fills are returned.
  m_position.fetch_add(length, std::memory_order_release);
  const size_t stored = m_buffers.StoreIn(bytes, length);
  if (stored < length) m_system.CountOverrun((length - stored) / m_format.blockAlign);
}

void PortAudioInput::Capture(const void* input, unsigned long frames) {
  if (input == nullptr) return;
  if (!m_plan.converted) {
    Deliver(static_cast<const uint8_t*>(input), frames * m_format.blockAlign);
    return;
  }
  const auto* samples = static_cast<const float*>(input);
  const size_t channels = m_format.channels;
  const int sampleBytes = PcmSampleBytes(m_format.bitsPerSample);
  for (size_t done = 0; done < frames;) {
    size_t used = 0;
    size_t made = 0;
    if (!m_converter.Active()) {
      used = made = std::min(kConvertedFrames, frames - done);
      std::copy_n(samples + done * channels, made * channels, m_converted.data());
    } else if (!m_converter.Process(samples + done * channels, frames - done, m_converted.data(), kConvertedFrames,
                                    used, made) ||
               (used == 0 && made == 0)) {
      return;
    }
    FloatToPcm(m_converted.data(), made * channels, sampleBytes, m_bytes.data());
    Deliver(m_bytes.data(), made * m_format.blockAlign);
    done += used;
  }
}

}  // namespace ztlive
