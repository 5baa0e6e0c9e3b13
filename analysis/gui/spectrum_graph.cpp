#include "analysis/gui/spectrum_graph.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace ztlive {

namespace {

constexpr int kLeftMargin = 40;
constexpr int kBottomMargin = 18;
constexpr int kMargin = 6;

}  // namespace

SpectrumGraph::SpectrumGraph(const SpectrumAnalyzer& analyzer, QWidget* parent)
    : QWidget(parent), m_analyzer(analyzer) {
  setObjectName(QStringLiteral("spectrumGraph"));
  setMinimumSize(320, 160);
  setAttribute(Qt::WA_OpaquePaintEvent);
  m_line.reserve(SpectrumAnalyzer::kBandTable.back());
}

void SpectrumGraph::SetLevelAxis(double bottomDb, double topDb) {
  m_bottomDb = bottomDb;
  m_topDb = topDb;
  update();
}

QRect SpectrumGraph::Plot() const {
  return rect().adjusted(kLeftMargin, kMargin, -kMargin, -kBottomMargin);
}

double SpectrumGraph::XOf(double hz) const {
  const QRect plot = Plot();
  const double top = std::max(m_analyzer.TopFrequency(), kLowestHz * 2);
  return plot.left() + plot.width() * std::log(hz / kLowestHz) / std::log(top / kLowestHz);
}

double SpectrumGraph::YOf(double db) const {
  const QRect plot = Plot();
  const double share = (m_topDb - db) / (m_topDb - m_bottomDb);
  return plot.top() + plot.height() * std::clamp(share, 0.0, 1.0);
}

void SpectrumGraph::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(16, 16, 24));
  const QRect plot = Plot();
  painter.fillRect(plot, Qt::black);
  QFont font = painter.font();
  font.setPixelSize(10);
  painter.setFont(font);
  // Decades and their 2 and 5, and level lines every tenth of the range.
  painter.setPen(QColor(60, 60, 70));
  for (double decade = kLowestHz; decade < m_analyzer.TopFrequency(); decade *= 10)
    for (const double step : {1.0, 2.0, 5.0}) {
      const double hz = decade * step;
      if (hz >= m_analyzer.TopFrequency()) break;
      const double x = XOf(hz);
      painter.setPen(QColor(60, 60, 70));
      painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
      painter.setPen(QColor(170, 170, 180));
      const QString text = hz >= 1000 ? QStringLiteral("%1k").arg(hz / 1000) : QString::number(hz);
      painter.drawText(QPointF(x - 8, plot.bottom() + 13), text);
    }
  for (int k = 0; k <= 10; ++k) {
    const double db = m_topDb - (m_topDb - m_bottomDb) * k / 10.0;
    const double y = YOf(db);
    painter.setPen(QColor(60, 60, 70));
    painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    painter.setPen(QColor(170, 170, 180));
    painter.drawText(QRectF(0, y - 6, kLeftMargin - 4, 12), Qt::AlignRight | Qt::AlignVCenter, QString::number(db, 'f', 0));
  }
  // The points above the axis' lowest frequency.
  m_line.clear();
  const int n = m_analyzer.Length();
  for (int i = 0; i < n; ++i) {
    const double hz = m_analyzer.PointFrequency(i);
    if (hz < kLowestHz) continue;
    m_line.append(QPointF(XOf(hz), YOf(m_analyzer.LevelDb(i))));
  }
  painter.setClipRect(plot);
  painter.setPen(QColor(0, 230, 0));
  painter.drawPolyline(m_line);
  const int peak = m_analyzer.PeakPoint();
  if (peak >= 0 && m_analyzer.PointFrequency(peak) >= kLowestHz) {
    const double x = XOf(m_analyzer.PointFrequency(peak));
    const double y = YOf(m_analyzer.LevelDb(peak));
    painter.setPen(QPen(QColor(255, 60, 60), 1));
    painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    painter.drawText(QPointF(std::min(x + 4, plot.right() - 90.0), std::max(y - 4, plot.top() + 12.0)),
                     QStringLiteral("%1 Hz %2 dB")
                         .arg(m_analyzer.PointFrequency(peak), 0, 'f', 1)
                         .arg(m_analyzer.LevelDb(peak), 0, 'f', 1));
  }
}

}  // namespace ztlive
