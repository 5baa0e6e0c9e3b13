#include "platform/device_buffer_queue.h"

#include <algorithm>
#include <cstring>

#include "platform/message_queue.h"

namespace ztlive {

void DeviceBufferQueue::Bind(MessageQueue* queue, uint32_t target, uint32_t message, uintptr_t handle) {
  m_queue = queue;
  m_target = target;
  m_message = message;
  m_handle = handle;
  m_headOffset = 0;
}

bool DeviceBufferQueue::Push(WaveHeader& header) {
  const size_t write = m_write.load(std::memory_order_relaxed);
  if (write - m_read.load(std::memory_order_acquire) >= kCapacity) return false;
  m_slots[write % kCapacity] = &header;
  m_write.store(write + 1, std::memory_order_release);
  return true;
}

WaveHeader* DeviceBufferQueue::Head() const {
  const size_t read = m_read.load(std::memory_order_relaxed);
  if (read == m_write.load(std::memory_order_acquire)) return nullptr;
  return m_slots[read % kCapacity];
}

void DeviceBufferQueue::ReturnHead() {
  WaveHeader* header = Head();
  header->flags = (header->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
  m_headOffset = 0;
  m_read.store(m_read.load(std::memory_order_relaxed) + 1, std::memory_order_release);
  // The message queue publishes the header's new state to the thread that handles it.
  m_queue->Post({m_target, m_message, reinterpret_cast<uintptr_t>(header), static_cast<intptr_t>(m_handle)});
}

size_t DeviceBufferQueue::TakeOut(uint8_t* destination, size_t bytes) {
  size_t done = 0;
  while (done < bytes) {
    WaveHeader* head = Head();
    if (head == nullptr) break;
    const size_t count = std::min<size_t>(bytes - done, head->bufferLength - m_headOffset);
    std::memcpy(destination + done, head->data + m_headOffset, count);
    m_headOffset += static_cast<uint32_t>(count);
    m_moved.fetch_add(count, std::memory_order_release);
    done += count;
    if (m_headOffset >= head->bufferLength) ReturnHead();
  }
  return done;
}

size_t DeviceBufferQueue::StoreIn(const uint8_t* source, size_t bytes) {
  size_t done = 0;
  while (done < bytes) {
    WaveHeader* head = Head();
    if (head == nullptr) break;
    const size_t count = std::min<size_t>(bytes - done, head->bufferLength - m_headOffset);
    std::memcpy(head->data + m_headOffset, source + done, count);
    m_headOffset += static_cast<uint32_t>(count);
    head->bytesRecorded = m_headOffset;
    m_moved.fetch_add(count, std::memory_order_release);
    done += count;
    if (m_headOffset >= head->bufferLength) ReturnHead();
  }
  return done;
}

void DeviceBufferQueue::ReturnPartialHead() {
  if (Head() != nullptr && m_headOffset > 0) ReturnHead();
}

void DeviceBufferQueue::ReturnAll() {
  while (Head() != nullptr) ReturnHead();
}

}  // namespace ztlive
