// Hands played buffers from the device engine's side to the displays without a lock: a
// single-producer, single-consumer ring of preallocated slots. The producer unpacks the raw
// bytes into sample values straight into a free slot; when the consumer is behind the buffer
// is dropped (the displays show the latest sound, they do not need every buffer).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/sample_value.h"
#include "platform/wave_device.h"

namespace ztlive {

struct PlayedBlock {
  const SampleValue* values;
  int valueCount;
  int channels;
  int sampleRate;
};

class PlayedBufferRing {
 public:
  static constexpr int kSlots = 16;
  static constexpr int kSlotValues = 16384;

  PlayedBufferRing();

  // Producer: one played buffer in the device's format; a buffer longer than a slot fills
  // several. Never allocates or blocks.
  void Push(const uint8_t* bytes, size_t length, const WaveDeviceFormat& format);
  // Consumer: calls use(block) for each waiting block, oldest first; returns how many.
  template <typename Use>
  int Drain(Use&& use) {
    int taken = 0;
    for (;;) {
      const uint64_t read = m_read.load(std::memory_order_relaxed);
      if (read == m_write.load(std::memory_order_acquire)) return taken;
      const Slot& slot = m_slots[read % kSlots];
      use(PlayedBlock{slot.values.get(), slot.valueCount, slot.channels, slot.sampleRate});
      m_read.store(read + 1, std::memory_order_release);
      ++taken;
    }
  }
  uint64_t Dropped() const { return m_dropped.load(std::memory_order_relaxed); }

 private:
  struct Slot {
    std::unique_ptr<SampleValue[]> values;
    int valueCount = 0;
    int channels = 1;
    int sampleRate = 44100;
  };
  Slot m_slots[kSlots];
  std::atomic<uint64_t> m_write{0};
  std::atomic<uint64_t> m_read{0};
  std::atomic<uint64_t> m_dropped{0};
};

}  // namespace ztlive
