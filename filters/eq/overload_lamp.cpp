#include "filters/eq/overload_lamp.h"

#include <QPainter>

namespace ztlive {

OverloadLamp::OverloadLamp(RunState& run, int litMs, QWidget* parent) : QWidget(parent), m_run(run) {
  setFixedSize(28, 12);
  setToolTip(QStringLiteral("Overload"));
  m_litTimer.setSingleShot(true);
  m_litTimer.setInterval(litMs);
  connect(&m_litTimer, &QTimer::timeout, this, &OverloadLamp::Clear);
  connect(&m_poll, &QTimer::timeout, this, &OverloadLamp::Check);
  m_poll.start(kPollMs);
}

void OverloadLamp::Clear() {
  m_run.clipOccurred.store(0, std::memory_order_relaxed);
  m_litTimer.stop();
  m_lit = false;
  update();
}

void OverloadLamp::Check() {
  if (m_lit || m_run.clipOccurred.load(std::memory_order_relaxed) == 0) return;
  m_lit = true;
  m_litTimer.start();
  update();
}

void OverloadLamp::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), m_lit ? QColor(255, 0, 0) : QColor(128, 128, 128));
  painter.setPen(Qt::black);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace ztlive
