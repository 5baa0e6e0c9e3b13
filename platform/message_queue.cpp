#include "platform/message_queue.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstdio>

namespace ztlive {

namespace {
static_assert((MessageQueue::kCapacity & (MessageQueue::kCapacity - 1)) == 0,
              "capacity must be a power of two");
constexpr size_t kIndexMask = MessageQueue::kCapacity - 1;
}  // namespace

MessageQueue::MessageQueue() {
  for (size_t i = 0; i < kCapacity; ++i) m_cells[i].sequence.store(i, std::memory_order_relaxed);
  m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (m_wakeFd < 0) {
    std::perror("eventfd");
    std::abort();  // without it no thread could wake the main loop
  }
}

MessageQueue::~MessageQueue() { close(m_wakeFd); }

uint32_t MessageQueue::Register(MessageHandler* handler) {
  for (size_t i = 1; i < kMaxTargets; ++i) {
    if (m_handlers[i] == nullptr) {
      m_handlers[i] = handler;
      return static_cast<uint32_t>(i);
    }
  }
  return kNoTarget;
}

void MessageQueue::Unregister(uint32_t target) {
  if (target < kMaxTargets) m_handlers[target] = nullptr;
}

bool MessageQueue::Post(const Message& message) {
  size_t position = m_tail.load(std::memory_order_relaxed);
  for (;;) {
    Cell& cell = m_cells[position & kIndexMask];
    const size_t sequence = cell.sequence.load(std::memory_order_acquire);
    const auto lap = static_cast<intptr_t>(sequence) - static_cast<intptr_t>(position);
    if (lap == 0) {
      if (m_tail.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
        cell.message = message;
        cell.sequence.store(position + 1, std::memory_order_release);
        break;
      }
    } else if (lap < 0) {
      m_overflows.fetch_add(1, std::memory_order_relaxed);
      return false;
    } else {
      position = m_tail.load(std::memory_order_relaxed);
    }
  }
  // Only the first post after the reader cleared the wake state pays for the system call.
  // The fence pairs with the one in ClearWake: either this post sees the state cleared and
  // writes, or the reader, looking after its clear, sees this message.
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (!m_wakeRaised.exchange(true, std::memory_order_relaxed)) RaiseWake();
  return true;
}

void MessageQueue::RaiseWake() {
  const uint64_t one = 1;
  // A full counter (never reached in practice) still leaves the descriptor readable.
  [[maybe_unused]] const ssize_t written = write(m_wakeFd, &one, sizeof one);
}

bool MessageQueue::TryPop(Message& message) {
  Cell& cell = m_cells[m_head & kIndexMask];
  if (cell.sequence.load(std::memory_order_acquire) != m_head + 1) return false;
  message = cell.message;
  cell.sequence.store(m_head + kCapacity, std::memory_order_release);
  ++m_head;
  return true;
}

void MessageQueue::Deliver(const Message& message) {
  if (message.target >= kMaxTargets) return;
  if (MessageHandler* handler = m_handlers[message.target]) handler->OnMessage(message);
}

void MessageQueue::KeepAwake() {
  if (!m_wakeRaised.exchange(true, std::memory_order_relaxed)) RaiseWake();
}

void MessageQueue::ClearWake() {
  if (!m_wakeRaised.load(std::memory_order_relaxed)) return;
  // Drain first, then clear: a post that sees the state cleared writes after the drain, so
  // its wake stays readable.
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t got = read(m_wakeFd, &count, sizeof count);
  m_wakeRaised.store(false, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_seq_cst);
}

void MessageQueue::WaitForWake(int timeoutMs) {
  if (m_pumpHook)
    m_pumpHook(timeoutMs);
  else
    PollWake(timeoutMs);
}

void MessageQueue::PollWake(int timeoutMs) const {
  pollfd descriptor{m_wakeFd, POLLIN, 0};
  while (poll(&descriptor, 1, timeoutMs) < 0 && errno == EINTR) {
  }
}

size_t MessageQueue::DispatchPending() {
  if (m_pumpHook) m_pumpHook(0);
  ClearWake();
  size_t handled = 0;
  Message message;
  // Only what is waiting now: a handler that posts again must not keep this loop going.
  const size_t waiting = m_tail.load(std::memory_order_acquire) - m_head;
  while (handled < waiting && TryPop(message)) {
    Deliver(message);
    ++handled;
  }
  if (m_tail.load(std::memory_order_acquire) != m_head) KeepAwake();
  return handled;
}

bool MessageQueue::DispatchOne(int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  Message message;
  for (;;) {
    // Clear the wake state before looking, so a post after the look leaves it readable.
    ClearWake();
    if (TryPop(message)) {
      // Other messages may still wait: keep the descriptor readable for a host loop.
      if (m_tail.load(std::memory_order_acquire) != m_head) KeepAwake();
      Deliver(message);
      return true;
    }
    int waitMs = -1;
    if (timeoutMs >= 0) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return false;
      waitMs = static_cast<int>(left.count());
    }
    WaitForWake(waitMs);
  }
}

void MessageQueue::SetPumpHook(PumpHook hook) { m_pumpHook = std::move(hook); }

}  // namespace ztlive
