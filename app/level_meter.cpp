#include "app/level_meter.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "core/sample_value.h"

namespace ztlive {

namespace {

constexpr double kFloorDb = -60.0;

double ShareOf(double decibels) { return std::clamp((decibels - kFloorDb) / -kFloorDb, 0.0, 1.0); }

}  // namespace

LevelMeter::LevelMeter(QWidget* parent) : QWidget(parent) { setMinimumSize(120, 10); }

double LevelMeter::Level(int peak) {
  if (peak <= 0) return 0.0;
  return ShareOf(20.0 * std::log10(static_cast<double>(peak) / kSampleMax));
}

void LevelMeter::SetPeak(int peak) {
  if (peak == m_peak) return;
  m_peak = peak;
  update();
}

void LevelMeter::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect frame = rect().adjusted(0, 0, -1, -1);
  painter.fillRect(frame, QColor(24, 24, 24));
  const int width = frame.width() - 1;
  const int lit = static_cast<int>(std::lround(Level(m_peak) * width));
  const int yellowFrom = static_cast<int>(ShareOf(-12.0) * width);
  const int redFrom = static_cast<int>(ShareOf(-3.0) * width);
  const int top = frame.top() + 1;
  const int height = frame.height() - 1;
  painter.fillRect(1, top, std::min(lit, yellowFrom), height, QColor(40, 200, 60));
  if (lit > yellowFrom) painter.fillRect(1 + yellowFrom, top, std::min(lit, redFrom) - yellowFrom, height, QColor(230, 200, 40));
  if (lit > redFrom) painter.fillRect(1 + redFrom, top, lit - redFrom, height, QColor(220, 50, 40));
  painter.setPen(QColor(110, 110, 110));
  painter.drawRect(frame);
}

}  // namespace ztlive
