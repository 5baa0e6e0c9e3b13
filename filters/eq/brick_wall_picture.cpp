#include "filters/eq/brick_wall_picture.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <complex>

namespace ztlive {

namespace {

constexpr double kLowestHz = 20.0;
constexpr double kHighestHz = 20000.0;
constexpr double kFloorDb = -80.0;

}  // namespace

double MagnitudeDb(const std::vector<double>& h, double hz, double fs) {
  // The sum of h[i] e^(-i w i), the phasor turned one step per tap.
  const double w = 2.0 * M_PI * hz / fs;
  const std::complex<double> step(std::cos(w), -std::sin(w));
  std::complex<double> phasor(1.0, 0.0);
  std::complex<double> sum(0.0, 0.0);
  for (const double tap : h) {
    sum += tap * phasor;
    phasor *= step;
  }
  return 20.0 * std::log10(std::max(std::abs(sum), 1e-12));
}

BrickWallPicture::BrickWallPicture(QWidget* parent) : QWidget(parent) {
  setMinimumSize(200, 120);
  m_taps.reserve(brick_wall::kMaxTaps);
  ShowDesign(PresetValues{{1000, 200, 64, 0}});
}

double BrickWallPicture::PointFrequency(int point) {
  return kLowestHz * std::pow(kHighestHz / kLowestHz, point / double(kPoints - 1));
}

void BrickWallPicture::ShowDesign(const PresetValues& values) {
  const brick_wall::Design design = brick_wall::DesignOf(values);
  m_taps.assign(static_cast<size_t>(design.taps), 0.0);
  brick_wall::DesignResponse(design, values.p[0], kPictureRate, m_taps);
  m_mode = std::clamp(design.mode, 0, 3);
  if (design.mode == brick_wall::kHighPass) {
    m_lowerHz = values.p[0];
    m_upperHz = kPictureRate / 2;
  } else if (design.mode == brick_wall::kBandPass || design.mode == brick_wall::kBandStop) {
    m_lowerHz = design.centre - design.width / 2;
    m_upperHz = design.centre + design.width / 2;
  } else {
    m_mode = brick_wall::kLowPass;
    m_lowerHz = 0;
    m_upperHz = values.p[0];
  }
  m_db.resize(kPoints);
  for (int point = 0; point < kPoints; ++point)
    m_db[static_cast<size_t>(point)] = MagnitudeDb(m_taps, PointFrequency(point), kPictureRate);
  update();
}

void BrickWallPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF area = QRectF(rect()).adjusted(4, 4, -4, -16);
  painter.fillRect(rect(), palette().base());
  const auto xOf = [&](double hz) {
    const double clamped = std::clamp(hz, kLowestHz, kHighestHz);
    return area.left() + area.width() * std::log(clamped / kLowestHz) / std::log(kHighestHz / kLowestHz);
  };
  const auto yOf = [&](double db) { return area.top() + area.height() * std::clamp(db, kFloorDb, 0.0) / kFloorDb; };

  // The band the filter keeps (the band stop: the band it removes), shaded.
  const QColor shade = palette().highlight().color().lighter(170);
  if (m_mode == brick_wall::kBandStop) {
    painter.fillRect(QRectF(QPointF(area.left(), area.top()), QPointF(xOf(m_lowerHz), area.bottom())), shade);
    painter.fillRect(QRectF(QPointF(xOf(m_upperHz), area.top()), QPointF(area.right(), area.bottom())), shade);
  } else {
    painter.fillRect(QRectF(QPointF(xOf(m_lowerHz), area.top()), QPointF(xOf(m_upperHz), area.bottom())), shade);
  }

  // Grid: every 20 dB, and the decades with their labels.
  painter.setPen(QPen(palette().mid().color(), 0, Qt::DotLine));
  for (double db = -20; db > kFloorDb; db -= 20) painter.drawLine(QPointF(area.left(), yOf(db)), QPointF(area.right(), yOf(db)));
  painter.setPen(palette().text().color());
  QFont small = font();
  small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));
  painter.setFont(small);
  const struct {
    double hz;
    const char* label;
  } decades[] = {{100, "100"}, {1000, "1k"}, {10000, "10k"}};
  for (const auto& decade : decades) {
    const double x = xOf(decade.hz);
    painter.setPen(QPen(palette().mid().color(), 0, Qt::DotLine));
    painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    painter.setPen(palette().text().color());
    painter.drawText(QRectF(x - 20, area.bottom() + 1, 40, 14), Qt::AlignCenter, QString::fromLatin1(decade.label));
  }

  // The response.
  QPainterPath curve;
  for (int point = 0; point < kPoints; ++point) {
    const QPointF at(xOf(PointFrequency(point)), yOf(m_db[static_cast<size_t>(point)]));
    if (point == 0)
      curve.moveTo(at);
    else
      curve.lineTo(at);
  }
  painter.setPen(QPen(palette().text().color(), 1.5));
  painter.drawPath(curve);
  painter.setPen(palette().mid().color());
  painter.drawRect(area);
}

}  // namespace ztlive
