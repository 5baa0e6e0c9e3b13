// The program's one message loop. Any thread may Post a small message without blocking or
// allocating (device callbacks post from the audio thread); the main thread handles them with
// DispatchPending or DispatchOne, which call the handler registered for the message's target.
// A Qt application joins its own loop through the pump hook and the wake descriptor.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace ztlive {

struct Message {
  uint32_t target = 0;   // handle returned by MessageQueue::Register
  uint32_t id = 0;       // what happened; meaning belongs to the target
  uintptr_t param = 0;   // first payload word (a buffer index, a pointer)
  intptr_t value = 0;    // second payload word (a byte count, a flag)
};

// Receives the messages posted to its target handle, on the dispatching thread.
class MessageHandler {
 public:
  virtual ~MessageHandler() = default;
  virtual void OnMessage(const Message& message) = 0;
};

class MessageQueue {
 public:
  static constexpr size_t kCapacity = 4096;       // messages that may wait at once
  static constexpr size_t kMaxTargets = 256;      // handlers registered at once
  static constexpr uint32_t kNoTarget = 0;

  // Called while the queue waits or dispatches, to run the host toolkit's own events.
  // maxWaitMs: how long it may block (0: not at all, negative: without limit); it must return
  // as soon as WakeDescriptor() becomes readable.
  using PumpHook = std::function<void(int maxWaitMs)>;

  MessageQueue();
  ~MessageQueue();
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  // Main thread. Returns the target handle for Post, or kNoTarget when the table is full.
  uint32_t Register(MessageHandler* handler);
  // Main thread. Messages still waiting for this target are dropped when dispatched.
  void Unregister(uint32_t target);

  // Any thread, lock-free and allocation-free: a slot is claimed with one atomic exchange, and
  // the first post after the main thread looked wakes it with a non-blocking eventfd write. False when the queue is full; the
  // message is then not queued and the overflow is counted.
  bool Post(const Message& message);

  // Main thread. Handles every message waiting now (and runs the pump hook once without
  // waiting); returns how many were handled.
  size_t DispatchPending();
  // Main thread. Waits up to timeoutMs (negative: without limit) for one message and handles
  // it; returns false when none came in time.
  bool DispatchOne(int timeoutMs);

  void SetPumpHook(PumpHook hook);
  // Blocks until a post may be waiting or timeoutMs has passed (negative: without limit),
  // without the pump hook: for a hook that adds its own checks around the plain wait.
  void PollWake(int timeoutMs) const;
  // Readable whenever a message may be waiting; for a host loop's socket notifier.
  int WakeDescriptor() const { return m_wakeFd; }
  // Posts refused because the queue was full.
  uint64_t OverflowCount() const { return m_overflows.load(std::memory_order_relaxed); }

 private:
  struct Cell {
    std::atomic<size_t> sequence;
    Message message;
  };

  bool TryPop(Message& message);
  void Deliver(const Message& message);
  void RaiseWake();   // makes the wake descriptor readable
  void KeepAwake();   // main thread: raises the wake state unless it is raised
  void ClearWake();
  void WaitForWake(int timeoutMs);

  // Bounded multi-producer ring: a producer claims a cell by advancing m_tail; each cell's
  // sequence number tells whether it is free for that lap or holds a message to read.
  std::array<Cell, kCapacity> m_cells;
  alignas(64) std::atomic<size_t> m_tail{0};
  alignas(64) size_t m_head = 0;  // consumer side only
  alignas(64) std::atomic<uint64_t> m_overflows{0};

  int m_wakeFd = -1;
  // True from the first post after a clear until the reader clears it again; while it is
  // true the descriptor is (or is about to be) readable, so later posts skip the write.
  alignas(64) std::atomic<bool> m_wakeRaised{false};
  std::array<MessageHandler*, kMaxTargets> m_handlers{};
  PumpHook m_pumpHook;
};

}  // namespace ztlive
