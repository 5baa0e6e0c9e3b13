#include "filters/eq/response_graph.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace ztlive {

namespace {

constexpr double kHandleRadius = 5.0;
constexpr double kGrabDistance = 10.0;
constexpr int kMarginLeft = 40;
constexpr int kMarginRight = 10;
constexpr int kMarginTop = 22;
constexpr int kMarginBottom = 22;

double DbOf(double amp) { return amp > 0 ? 20.0 * std::log10(amp) : -ResponseGraph::kRangeDb; }

}  // namespace

ResponseGraph::ResponseGraph(QWidget* parent) : QWidget(parent) {
  setMinimumSize(420, 240);
  setMouseTracking(false);
  m_curve = ParagraphicResponse(m_bands, m_fs);
  ShowReadout(m_bands.freq[0], DbOf(m_bands.amp[0]));
}

void ResponseGraph::SetSampleRate(double fs) {
  m_fs = fs > 2 * kLowestHz ? fs : 44100;
  m_curve = ParagraphicResponse(m_bands, m_fs);
  update();
}

void ResponseGraph::SetBands(const ParagraphicBands& bands) {
  m_bands = bands;
  m_curve = ParagraphicResponse(m_bands, m_fs);
  update();
}

void ResponseGraph::SetSelected(int band) {
  m_selected = std::clamp(band, 0, kParagraphicBands - 1);
  ShowReadout(m_bands.freq[m_selected], DbOf(m_bands.amp[m_selected]));
  update();
}

QRectF ResponseGraph::Plot() const {
  return QRectF(kMarginLeft, kMarginTop, width() - kMarginLeft - kMarginRight, height() - kMarginTop - kMarginBottom);
}

double ResponseGraph::XOf(double hz) const {
  const QRectF plot = Plot();
  const double span = std::log10(m_fs / 2) - std::log10(kLowestHz);
  return plot.left() + (std::log10(std::max(hz, kLowestHz)) - std::log10(kLowestHz)) / span * plot.width();
}

double ResponseGraph::YOf(double db) const {
  const QRectF plot = Plot();
  return plot.top() + (kRangeDb - db) / (2 * kRangeDb) * plot.height();
}

double ResponseGraph::HzAt(double x) const {
  const QRectF plot = Plot();
  const double t = std::clamp((x - plot.left()) / plot.width(), 0.0, 1.0);
  return std::pow(10.0, std::log10(kLowestHz) + t * (std::log10(m_fs / 2) - std::log10(kLowestHz)));
}

double ResponseGraph::DbAt(double y) const {
  const QRectF plot = Plot();
  const double t = std::clamp((y - plot.top()) / plot.height(), 0.0, 1.0);
  return kRangeDb - t * 2 * kRangeDb;
}

QPointF ResponseGraph::HandlePosition(int band) const {
  const QRectF plot = Plot();
  const double x = std::clamp(XOf(m_bands.freq[band]), plot.left(), plot.right());
  const double y = std::clamp(YOf(DbOf(m_bands.amp[band])), plot.top(), plot.bottom());
  return {x, y};
}

void ResponseGraph::ShowReadout(double hz, double db) {
  m_readout = QString::asprintf("%8.1fHz, %8.2fdB", hz, db);
}

void ResponseGraph::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), palette().window());
  const QRectF plot = Plot();
  painter.fillRect(plot, Qt::white);
  // Decade and octave lines, and the gain grid every 5 dB.
  painter.setPen(QPen(QColor(220, 220, 220), 1));
  for (double decade = 10; decade < m_fs / 2; decade *= 10)
    for (int m = 1; m < 10; ++m) {
      const double hz = decade * m;
      if (hz > m_fs / 2) break;
      painter.drawLine(QPointF(XOf(hz), plot.top()), QPointF(XOf(hz), plot.bottom()));
    }
  for (int db = -20; db <= 20; db += 5) painter.drawLine(QPointF(plot.left(), YOf(db)), QPointF(plot.right(), YOf(db)));
  painter.setPen(QPen(QColor(150, 150, 150), 1));
  painter.drawLine(QPointF(plot.left(), YOf(0)), QPointF(plot.right(), YOf(0)));
  painter.setPen(palette().windowText().color());
  for (const double hz : {10.0, 100.0, 1000.0, 10000.0})
    if (hz <= m_fs / 2)
      painter.drawText(QRectF(XOf(hz) - 30, plot.bottom() + 2, 60, 16), Qt::AlignHCenter | Qt::AlignTop,
                       hz >= 1000 ? QStringLiteral("%1k").arg(hz / 1000) : QString::number(hz));
  for (const int db : {-20, -10, 0, 10, 20})
    painter.drawText(QRectF(0, YOf(db) - 8, kMarginLeft - 4, 16), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("%1dB").arg(db));
  painter.drawText(QRectF(plot.left(), 2, plot.width(), kMarginTop - 4), Qt::AlignRight | Qt::AlignVCenter, m_readout);
  painter.drawRect(plot);

  // The curve, held inside the plot.
  QPainterPath path;
  for (int i = 0; i < kResponsePoints; ++i) {
    const QPointF point(XOf(m_curve.hz[i]), std::clamp(YOf(m_curve.db[i]), plot.top(), plot.bottom()));
    if (i == 0)
      path.moveTo(point);
    else
      path.lineTo(point);
  }
  painter.setPen(QPen(QColor(0, 0, 160), 2));
  painter.drawPath(path);

  for (int k = 0; k < m_bands.count; ++k) {
    const QPointF centre = HandlePosition(k);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(k == m_selected ? QColor(255, 0, 0) : QColor(255, 220, 0));
    painter.drawEllipse(centre, kHandleRadius, kHandleRadius);
    painter.drawText(QRectF(centre.x() - 10, centre.y() - 20, 20, 12), Qt::AlignCenter, QString::number(k + 1));
  }
}

void ResponseGraph::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPointF at = event->position();
  int nearest = -1;
  double nearestDistance = kGrabDistance;
  for (int k = 0; k < m_bands.count; ++k) {
    const QPointF d = HandlePosition(k) - at;
    const double distance = std::hypot(d.x(), d.y());
    if (distance <= nearestDistance) {
      nearest = k;
      nearestDistance = distance;
    }
  }
  if (nearest < 0) return;
  m_dragged = nearest;
  SetSelected(nearest);
  emit bandSelected(nearest);
}

void ResponseGraph::mouseMoveEvent(QMouseEvent* event) {
  if (m_dragged < 0) return;
  const double hz = HzAt(event->position().x());
  const double db = DbAt(event->position().y());
  m_bands.freq[m_dragged] = hz;
  m_bands.amp[m_dragged] = std::pow(10.0, db / 20.0);
  ShowReadout(hz, db);
  m_curve = ParagraphicResponse(m_bands, m_fs);
  update();
  emit bandDragged(m_dragged, hz, db);
}

void ResponseGraph::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) m_dragged = -1;
}

}  // namespace ztlive
