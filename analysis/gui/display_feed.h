// Carries the played sound to the open displays. The device engine's observer copies each
// played buffer into a lock-free ring (no allocation, no blocking on the engine's side); a
// timer on the window side drains the ring, hands every block to each display and lets them
// draw, so drawing costs the same however small the buffers are.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "analysis/played_buffer_ring.h"
#include "platform/wave_device.h"

namespace ztlive {

class DisplaySink {
 public:
  virtual ~DisplaySink() = default;
  // One played block, in playing order.
  virtual void TakeBlock(const PlayedBlock& block) = 0;
  // After the blocks of one tick: draw what changed. elapsedMs: time since the last tick.
  virtual void Refresh(int elapsedMs) = 0;
};

class DisplayFeed : public QObject {
  Q_OBJECT

 public:
  static constexpr int kDrawIntervalMs = 40;
  using Observer = std::function<void(const uint8_t* bytes, size_t length, const WaveDeviceFormat& format)>;

  explicit DisplayFeed(QObject* parent = nullptr);

  // For the device engine's output observers. Holds the ring, so it stays safe to call after
  // this feed is gone.
  Observer MakeObserver() const;
  void Add(DisplaySink* sink);
  void Remove(DisplaySink* sink);
  // Drains the ring now (the timer does this every kDrawIntervalMs).
  void Pump();
  uint64_t BlocksTaken() const { return m_blocksTaken; }
  uint64_t BlocksDropped() const { return m_ring->Dropped(); }

 private:
  std::shared_ptr<PlayedBufferRing> m_ring;
  std::vector<DisplaySink*> m_sinks;
  QTimer m_timer;
  qint64 m_lastPump = 0;
  uint64_t m_blocksTaken = 0;
};

}  // namespace ztlive
