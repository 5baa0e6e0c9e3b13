#include "analysis/gui/display_feed.h"

#include <QDateTime>
#include <algorithm>

namespace ztlive {

DisplayFeed::DisplayFeed(QObject* parent) : QObject(parent), m_ring(std::make_shared<PlayedBufferRing>()) {
  m_sinks.reserve(8);
  m_timer.setInterval(kDrawIntervalMs);
  connect(&m_timer, &QTimer::timeout, this, &DisplayFeed::Pump);
  m_timer.start();
  m_lastPump = QDateTime::currentMSecsSinceEpoch();
}

DisplayFeed::Observer DisplayFeed::MakeObserver() const {
  return [ring = m_ring](const uint8_t* bytes, size_t length, const WaveDeviceFormat& format) {
    ring->Push(bytes, length, format);
  };
}

void DisplayFeed::Add(DisplaySink* sink) {
  if (std::find(m_sinks.begin(), m_sinks.end(), sink) == m_sinks.end()) m_sinks.push_back(sink);
}

void DisplayFeed::Remove(DisplaySink* sink) { m_sinks.erase(std::remove(m_sinks.begin(), m_sinks.end(), sink), m_sinks.end()); }

void DisplayFeed::Pump() {
  m_blocksTaken += static_cast<uint64_t>(m_ring->Drain([this](const PlayedBlock& block) {
    for (DisplaySink* sink : m_sinks) sink->TakeBlock(block);
  }));
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  const auto elapsed = static_cast<int>(std::clamp<qint64>(now - m_lastPump, 0, 10000));
  m_lastPump = now;
  for (DisplaySink* sink : m_sinks) sink->Refresh(elapsed);
}

}  // namespace ztlive
