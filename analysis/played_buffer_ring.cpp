#include "analysis/played_buffer_ring.h"

#include <algorithm>

#include "core/sample_codec.h"

namespace ztlive {

PlayedBufferRing::PlayedBufferRing() {
  for (Slot& slot : m_slots) slot.values = std::make_unique<SampleValue[]>(kSlotValues);
}

void PlayedBufferRing::Push(const uint8_t* bytes, size_t length, const WaveDeviceFormat& format) {
  const int bytesPerSample = BytesPerSample(format.bitsPerSample);
  const int channels = std::max(1, int{format.channels});
  if (bytesPerSample < 1 || bytesPerSample > 4 || bytes == nullptr) return;
  const size_t slotSamples = static_cast<size_t>(kSlotValues - kSlotValues % channels);
  size_t samples = length / static_cast<size_t>(bytesPerSample);
  samples -= samples % static_cast<size_t>(channels);
  while (samples > 0) {
    const uint64_t write = m_write.load(std::memory_order_relaxed);
    if (write - m_read.load(std::memory_order_acquire) >= kSlots) {
      m_dropped.fetch_add(1, std::memory_order_relaxed);
      return;
    }
    Slot& slot = m_slots[write % kSlots];
    const size_t count = std::min(samples, slotSamples);
    UnpackSamples(bytes, count, bytesPerSample, slot.values.get());
    slot.valueCount = static_cast<int>(count);
    slot.channels = channels;
    slot.sampleRate = static_cast<int>(format.sampleRate);
    m_write.store(write + 1, std::memory_order_release);
    bytes += count * static_cast<size_t>(bytesPerSample);
    samples -= count;
  }
}

}  // namespace ztlive
