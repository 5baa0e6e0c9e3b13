#include "filters/restoration/noise_print_graph.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace ztlive {

namespace {

constexpr double kFullScale = 8388608.0;
constexpr double kGridDb = 20;
const QColor kBackground(16, 24, 32);
const QColor kGrid(60, 72, 84);
const QColor kLeftLine(80, 220, 120);
const QColor kRightLine(240, 200, 70);

QString AxisHzText(double hz) { return QString::asprintf("%6.0fHz", hz); }

}  // namespace

double LevelDb(double level) { return level > 0 ? 20.0 * std::log10(level / kFullScale) : -400.0; }

NoisePrintGraph::NoisePrintGraph(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void NoisePrintGraph::SetPrint(const NoisePrint& print, uint32_t sampleRate) {
  m_print = print;
  m_sampleRate = sampleRate > 0 ? sampleRate : 44100;
  m_left.clear();
  m_right.clear();
  m_channelsDiffer = false;
  if (!print.Empty()) {
    BuildNoiseCurve(print, false, print.bins, m_left);
    BuildNoiseCurve(print, true, print.bins, m_right);
    m_channelsDiffer = std::any_of(print.points.begin(), print.points.end(),
                                   [](const NoiseBreakpoint& p) { return p.left != p.right; });
  }
  update();
}

QSize NoisePrintGraph::sizeHint() const { return {420, 230}; }

QSize NoisePrintGraph::minimumSizeHint() const { return {300, 170}; }

QRect NoisePrintGraph::PlotArea() const {
  const QFontMetrics metrics = fontMetrics();
  const int left = metrics.height() + metrics.horizontalAdvance(QStringLiteral("-160")) + 10;
  const int right = metrics.horizontalAdvance(AxisHzText(20000).trimmed()) / 2 + 4;
  const int top = metrics.height() / 2 + 4;
  const int bottom = metrics.height() + 8;
  return QRect(left, top, std::max(width() - left - right, 10), std::max(height() - top - bottom, 10));
}

double NoisePrintGraph::XOfHz(double hz) const {
  const QRect area = PlotArea();
  const double span = std::log10(HighestHz() / kLowestHz);
  const double share = std::log10(std::max(hz, 1e-3) / kLowestHz) / span;
  return area.left() + share * area.width();
}

double NoisePrintGraph::YOfDb(double db) const {
  const QRect area = PlotArea();
  const double share = (kTopDb - std::clamp(db, kBottomDb, kTopDb)) / (kTopDb - kBottomDb);
  return area.top() + share * area.height();
}

double NoisePrintGraph::CurveDbAt(double hz, bool right) const {
  const std::vector<double>& curve = right ? m_right : m_left;
  if (curve.empty()) return kBottomDb - 1;
  // Pair j covers the frequencies around j * rate / (2N).
  const double position = hz * 2.0 * m_print.bins / m_sampleRate;
  const auto j = static_cast<size_t>(std::clamp(position, 0.0, double(curve.size() - 1)));
  return LevelDb(std::sqrt(curve[j]));
}

void NoisePrintGraph::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  const QRect area = PlotArea();
  painter.fillRect(area, kBackground);
  const QFontMetrics metrics = fontMetrics();

  // Level grid and labels every 20 dB.
  for (double db = kBottomDb; db <= kTopDb; db += kGridDb) {
    const double y = YOfDb(db);
    painter.setPen(kGrid);
    painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    painter.setPen(palette().color(QPalette::WindowText));
    const QString text = QString::number(static_cast<int>(db));
    painter.drawText(QRectF(metrics.height() + 2, y - metrics.height() / 2.0,
                            area.left() - metrics.height() - 6, metrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter, text);
  }
  // The axis title, turned to run up the left side.
  painter.save();
  painter.translate(2, area.center().y());
  painter.rotate(-90);
  painter.drawText(QRectF(-area.height() / 2.0, 0, area.height(), metrics.height()), Qt::AlignCenter,
                   QStringLiteral("Amp (dB)"));
  painter.restore();

  // Frequency grid at 1, 2 and 5 of every decade. Labels go where they have room, the
  // decades first, then the fives, then the twos.
  std::vector<std::pair<double, double>> taken;  // label spans already drawn
  for (double step : {1.0, 5.0, 2.0}) {
    for (double decade = 10; decade * step <= HighestHz(); decade *= 10) {
      const double hz = decade * step;
      if (hz < kLowestHz) continue;
      const double x = XOfHz(hz);
      painter.setPen(kGrid);
      painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
      const QString text = AxisHzText(hz).trimmed();  // the format pads to six places
      const double half = metrics.horizontalAdvance(text) / 2.0 + 3;
      // Clear of the other labels and of the level labels beside the plot.
      const bool free = x - half >= area.left() && x + half <= width() &&
                        std::none_of(taken.begin(), taken.end(), [&](const std::pair<double, double>& span) {
                          return x - half < span.second && x + half > span.first;
                        });
      if (!free) continue;
      taken.emplace_back(x - half, x + half);
      painter.setPen(palette().color(QPalette::WindowText));
      painter.drawText(QRectF(x - half, area.bottom() + 4, 2 * half, metrics.height()), Qt::AlignCenter, text);
    }
  }

  if (!m_print.Empty()) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(area);
    for (int channel = m_channelsDiffer ? 1 : 0; channel >= 0; --channel) {
      const bool right = channel == 1;
      QPainterPath line;
      for (int x = area.left(); x <= area.right(); ++x) {
        const double share = double(x - area.left()) / area.width();
        const double hz = kLowestHz * std::pow(HighestHz() / kLowestHz, share);
        const QPointF point(x, YOfDb(CurveDbAt(hz, right)));
        if (x == area.left())
          line.moveTo(point);
        else
          line.lineTo(point);
      }
      const QColor colour = right ? kRightLine : kLeftLine;
      painter.setPen(QPen(colour, 2));
      painter.drawPath(line);
      painter.setBrush(colour);
      for (const NoiseBreakpoint& point : m_print.points) {
        const double hz = double(point.bin) * m_sampleRate / (2.0 * m_print.bins);
        if (hz < kLowestHz) continue;
        painter.drawRect(QRectF(XOfHz(hz) - 2.5, YOfDb(LevelDb(right ? point.right : point.left)) - 2.5, 5, 5));
      }
      painter.setBrush(Qt::NoBrush);
    }
    painter.setClipping(false);
  }
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(area.adjusted(0, 0, -1, -1));
}

}  // namespace ztlive
