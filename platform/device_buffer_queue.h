// The buffers queued on one sound card stream, shared by the main thread (which queues them)
// and the audio callback (which plays from them or records into them). Single producer,
// single consumer, lock-free: the callback never locks, allocates or waits. A buffer stays at
// the head until the callback has used all of it; then it is marked done and returned to its
// owner as a message. While the stream is stopped the main thread may act as the consumer
// (to return everything on a reset).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/wave_device.h"

namespace ztlive {

class MessageQueue;

class DeviceBufferQueue {
 public:
  static constexpr size_t kCapacity = 128;  // more than the engine ever queues

  // Where finished buffers go: message id, the device's handle as the message's value.
  void Bind(MessageQueue* queue, uint32_t target, uint32_t message, uintptr_t handle);

  // Producer side. False when the queue is full.
  bool Push(WaveHeader& header);
  bool Empty() const { return m_read.load(std::memory_order_acquire) == m_write.load(std::memory_order_acquire); }

  // Consumer side. Copies up to `bytes` out of the queued buffers (output), returning each
  // buffer it empties; the bytes copied.
  size_t TakeOut(uint8_t* destination, size_t bytes);
  // Copies up to `bytes` into the queued buffers (input), returning each buffer it fills;
  // the bytes stored.
  size_t StoreIn(const uint8_t* source, size_t bytes);
  // Returns the head buffer with what it holds, if anything was stored in it.
  void ReturnPartialHead();
  // Returns every queued buffer in order (input buffers with what they hold).
  void ReturnAll();

  // Bytes copied out of or into the buffers since the last clear. Counted before a buffer is
  // returned, so whoever handles its message already sees the position at its end.
  uint64_t BytesMoved() const { return m_moved.load(std::memory_order_acquire); }
  void ClearBytesMoved() { m_moved.store(0, std::memory_order_release); }

 private:
  WaveHeader* Head() const;
  void ReturnHead();

  std::array<WaveHeader*, kCapacity> m_slots{};
  std::atomic<size_t> m_write{0};  // written by the producer only
  std::atomic<size_t> m_read{0};   // written by the consumer only
  uint32_t m_headOffset = 0;       // consumer's: bytes of the head already used
  std::atomic<uint64_t> m_moved{0};
  MessageQueue* m_queue = nullptr;
  uint32_t m_target = 0;
  uint32_t m_message = 0;
  uintptr_t m_handle = 0;
};

}  // namespace ztlive
