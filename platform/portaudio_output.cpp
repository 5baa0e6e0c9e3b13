#include "platform/portaudio_output.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/pcm_float.h"
#include "platform/portaudio_wave_system.h"

namespace ztlive {

namespace {

constexpr size_t kChunkFrames = 256;  // file frames converted at a time

}  // namespace

PortAudioOutput::~PortAudioOutput() {
  if (m_stream != nullptr && !Lost()) {
    Pa_AbortStream(m_stream);
    Pa_CloseStream(m_stream);
  }
}

int PortAudioOutput::Open(unsigned deviceId, const WaveDeviceFormat& format, MessageQueue& queue, uint32_t target) {
  if (m_stream != nullptr) return kWaveError;
  const int opened = OpenPortAudioStream(true, m_system.OutputDeviceIndex(deviceId), format, &Callback, this, m_stream,
                                         m_plan, m_failure);
  if (opened != kWaveOk) return opened;
  m_format = format;
  m_handle = m_system.NextHandle();
  m_buffers.Bind(&queue, target, kWaveOutDone, m_handle);
  m_silence = PcmSilenceByte(format.bitsPerSample);
  m_lost = false;
  m_paused.store(false);
  m_buffers.ClearBytesMoved();
  m_played = false;
  m_starvedFrames = 0;
  if (m_plan.converted) {
    const double ratio = m_plan.deviceRate / format.sampleRate;
    m_converter.Release();
    if (ratio != 1.0 && !m_converter.Init(format.channels, format.sampleRate, m_plan.deviceRate)) {
      Pa_CloseStream(m_stream);
      m_stream = nullptr;
      m_handle = 0;
      return kWaveNoMemory;
    }
    m_chunkBytes.assign(kChunkFrames * format.blockAlign, m_silence);
    m_chunk.assign(kChunkFrames * format.channels, 0.0f);
    m_converted.assign((static_cast<size_t>(std::ceil(kChunkFrames * ratio)) + 64) * format.channels, 0.0f);
    ClearConversion();
  }
  if (const PaError error = Pa_StartStream(m_stream); error != paNoError) {
    Pa_CloseStream(m_stream);
    m_stream = nullptr;
    m_handle = 0;
    return Fail(error);
  }
  return kWaveOk;
}

int PortAudioOutput::Write(WaveHeader& header) {
  if (m_stream == nullptr) return kWaveInvalidHandle;
  if (!(header.flags & kWaveHeaderPrepared)) return kWaveUnprepared;
  header.flags = (header.flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
  if (!m_buffers.Push(header)) {
    header.flags &= ~kWaveHeaderInQueue;
    return kWaveNoMemory;
  }
  return kWaveOk;
}

int PortAudioOutput::Pause() {
  if (m_stream == nullptr) return kWaveInvalidHandle;
  m_paused.store(true, std::memory_order_release);
  return kWaveOk;
}

int PortAudioOutput::Restart() {
  if (m_stream == nullptr) return kWaveInvalidHandle;
  m_paused.store(false, std::memory_order_release);
  return kWaveOk;
}

int PortAudioOutput::Reset() {
  if (m_stream == nullptr) return kWaveInvalidHandle;
  // With the callback stopped this thread is the queue's only consumer. A lost stream has no
  // callback to stop, and its buffers still come back, so that the owner can free them.
  const bool lost = Lost();
  if (!lost)
    if (const PaError error = Pa_AbortStream(m_stream); error != paNoError) return Fail(error);
  m_buffers.ReturnAll();
  m_buffers.ClearBytesMoved();
  m_played = false;
  m_starvedFrames = 0;
  ClearConversion();
  if (lost) return kWaveOk;
  if (const PaError error = Pa_StartStream(m_stream); error != paNoError) return Fail(error);
  return kWaveOk;
}

bool PortAudioOutput::Lost() {
  if (m_stream != nullptr && !m_lost && Pa_IsStreamActive(m_stream) != 1) {
    m_lost = true;
    m_system.AbandonStream();
    // The callback has run for the last time; what it wrote is this thread's from here on.
    (void)m_callbacksEnded.load(std::memory_order_acquire);
  }
  return m_lost;
}

int PortAudioOutput::Close() {
  if (m_stream == nullptr) return kWaveInvalidHandle;
  if (!m_buffers.Empty()) return kWaveStillPlaying;
  if (Lost()) {
    m_stream = nullptr;
    m_handle = 0;
    return kWaveOk;
  }
  // Stopping (rather than aborting) lets the device play out what it already holds.
  Pa_StopStream(m_stream);
  const PaError error = Pa_CloseStream(m_stream);
  m_stream = nullptr;
  m_handle = 0;
  return error == paNoError ? kWaveOk : Fail(error);
}

int PortAudioOutput::Position(uint64_t& bytes) {
  if (m_stream == nullptr) return kWaveInvalidHandle;
  bytes = m_buffers.BytesMoved();
  return kWaveOk;
}

double PortAudioOutput::OutputLatencySeconds() const {
  const PaStreamInfo* info = m_stream != nullptr ? Pa_GetStreamInfo(m_stream) : nullptr;
  return info != nullptr ? info->outputLatency : 0.0;
}

void PortAudioOutput::ClearConversion() {
  m_converter.Reset();
  m_chunkFrames = m_chunkUsed = 0;
  m_convertedFrames = m_convertedUsed = 0;
}

int PortAudioOutput::Callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                              PaStreamCallbackFlags, void* user) {
  auto* self = static_cast<PortAudioOutput*>(user);
  self->Render(output, frames);
  self->m_callbacksEnded.fetch_add(1, std::memory_order_release);
  return paContinue;
}

size_t PortAudioOutput::TakeBytes(uint8_t* bytes, size_t length) {
  const size_t taken = m_buffers.TakeOut(bytes, length);
  const size_t frameBytes = m_format.blockAlign;
  if (taken > 0) {
    // Silence between two buffers was an underrun; silence after the last one is just the end.
    if (m_starvedFrames > 0) m_system.CountUnderrun(m_starvedFrames);
    m_starvedFrames = 0;
    m_played = true;
  }
  if (taken < length) {
    std::memset(bytes + taken, m_silence, length - taken);
    if (m_played) m_starvedFrames += (length - taken) / frameBytes;
  }
  return taken;
}

void PortAudioOutput::Render(void* output, unsigned long frames) {
  if (m_plan.converted) {
    if (m_paused.load(std::memory_order_acquire))
      std::fill_n(static_cast<float*>(output), frames * m_format.channels, 0.0f);
    else
      RenderConverted(static_cast<float*>(output), frames);
    return;
  }
  auto* bytes = static_cast<uint8_t*>(output);
  const size_t length = frames * m_format.blockAlign;
  if (m_paused.load(std::memory_order_acquire))
    std::memset(bytes, m_silence, length);
  else
    TakeBytes(bytes, length);
}

void PortAudioOutput::RenderConverted(float* output, size_t frames) {
  const size_t channels = m_format.channels;
  const int sampleBytes = PcmSampleBytes(m_format.bitsPerSample);
  if (!m_converter.Active()) {  // the device's rate, in floats: convert the samples only
    for (size_t done = 0; done < frames;) {
      const size_t count = std::min(kChunkFrames, frames - done);
      TakeBytes(m_chunkBytes.data(), count * m_format.blockAlign);
      PcmToFloat(m_chunkBytes.data(), count * channels, sampleBytes, output + done * channels);
      done += count;
    }
    return;
  }
  const size_t capacity = m_converted.size() / channels;
  for (size_t done = 0; done < frames;) {
    if (m_convertedUsed < m_convertedFrames) {
      const size_t count = std::min(frames - done, m_convertedFrames - m_convertedUsed);
      std::memcpy(output + done * channels, m_converted.data() + m_convertedUsed * channels, count * channels * sizeof(float));
      m_convertedUsed += count;
      done += count;
      continue;
    }
    if (m_chunkUsed >= m_chunkFrames) {
      // Take about what this callback still needs, so a late buffer is not held back long.
      const auto wanted = static_cast<size_t>(std::ceil((frames - done) / m_converter.Ratio())) + 1;
      m_chunkFrames = std::clamp<size_t>(wanted, 16, kChunkFrames);
      m_chunkUsed = 0;
      TakeBytes(m_chunkBytes.data(), m_chunkFrames * m_format.blockAlign);
      PcmToFloat(m_chunkBytes.data(), m_chunkFrames * channels, sampleBytes, m_chunk.data());
    }
    size_t used = 0;
    size_t made = 0;
    if (!m_converter.Process(m_chunk.data() + m_chunkUsed * channels, m_chunkFrames - m_chunkUsed, m_converted.data(),
                             capacity, used, made) ||
        (used == 0 && made == 0)) {
      std::fill(output + done * channels, output + frames * channels, 0.0f);
      return;
    }
    m_chunkUsed += used;
    m_convertedFrames = made;
    m_convertedUsed = 0;
  }
}

}  // namespace ztlive
