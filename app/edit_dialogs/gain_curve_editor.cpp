#include "app/edit_dialogs/gain_curve_editor.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "app/edit_dialogs/fade_curve.h"

namespace ztlive {

namespace {

constexpr double kLeftMargin = 46;  // room for the dB scale
constexpr double kRightMargin = 14;
constexpr double kTopMargin = 10;
constexpr double kBottomMargin = 22;  // room for the time scale
constexpr double kGrabDistance = 9;   // pixels around a control point that take a press
constexpr double kPointHalfSize = 4;

QString LevelText(int hundredths) { return QString::number(hundredths / 100.0, 'f', 2) + QStringLiteral(" dB"); }

}  // namespace

GainCurveEditor::GainCurveEditor(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("gainCurveEditor"));
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setMouseTracking(true);  // the cursor shows where a point can be taken
  setFocusPolicy(Qt::StrongFocus);
}

QSize GainCurveEditor::sizeHint() const { return {460, 260}; }

QSize GainCurveEditor::minimumSizeHint() const { return {360, 200}; }

void GainCurveEditor::SetLevelRange(int minimum, int maximum) {
  m_minimum = std::min(minimum, maximum - 1);
  m_maximum = maximum;
  SetFade(m_fade);
}

void GainCurveEditor::SetFade(const FadeSettings& fade) {
  m_fade = fade;
  m_fade.firstControlLevel = std::clamp(m_fade.firstControlLevel, m_minimum, m_maximum);
  m_fade.secondControlLevel = std::clamp(m_fade.secondControlLevel, m_minimum, m_maximum);
  if (!ControlPointsActive()) m_dragged = -1;
  update();
}

double GainCurveEditor::ControlTime(int index) { return index == 0 ? 1.0 / 3.0 : 2.0 / 3.0; }

QRectF GainCurveEditor::Plot() const {
  return QRectF(kLeftMargin, kTopMargin, std::max(1.0, width() - kLeftMargin - kRightMargin),
                std::max(1.0, height() - kTopMargin - kBottomMargin));
}

double GainCurveEditor::XOfTime(double t) const {
  const QRectF plot = Plot();
  return plot.left() + t * plot.width();
}

double GainCurveEditor::YOfLevel(double hundredths) const {
  const QRectF plot = Plot();
  const double held = std::clamp(hundredths, static_cast<double>(m_minimum), static_cast<double>(m_maximum));
  return plot.top() + (m_maximum - held) / (m_maximum - m_minimum) * plot.height();
}

int GainCurveEditor::LevelAtY(double y) const {
  const QRectF plot = Plot();
  const double share = (y - plot.top()) / plot.height();
  const long level = std::lround(m_maximum - share * (m_maximum - m_minimum));
  return static_cast<int>(std::clamp<long>(level, m_minimum, m_maximum));
}

int GainCurveEditor::ControlLevel(int index) const {
  return index == 0 ? m_fade.firstControlLevel : m_fade.secondControlLevel;
}

void GainCurveEditor::SetControlLevel(int index, int level) {
  int& target = index == 0 ? m_fade.firstControlLevel : m_fade.secondControlLevel;
  if (target == level) return;
  target = level;
  update();
  emit controlLevelsChanged(m_fade.firstControlLevel, m_fade.secondControlLevel);
}

QPointF GainCurveEditor::ControlPoint(int index) const {
  return {XOfTime(ControlTime(index)), YOfLevel(ControlLevel(index))};
}

int GainCurveEditor::PointNear(const QPointF& position) const {
  if (!ControlPointsActive()) return -1;
  int nearest = -1;
  double best = kGrabDistance;
  for (int index = 0; index < kControlPointCount; ++index) {
    const QPointF offset = position - ControlPoint(index);
    const double distance = std::hypot(offset.x(), offset.y());
    if (distance <= best) {
      best = distance;
      nearest = index;
    }
  }
  return nearest;
}

void GainCurveEditor::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  m_dragged = PointNear(event->position());
  if (m_dragged < 0) return QWidget::mousePressEvent(event);
  m_chosen = m_dragged;
  setCursor(Qt::SizeVerCursor);
  SetControlLevel(m_dragged, LevelAtY(event->position().y()));
}

void GainCurveEditor::mouseMoveEvent(QMouseEvent* event) {
  if (m_dragged >= 0 && (event->buttons() & Qt::LeftButton) != 0) {
    SetControlLevel(m_dragged, LevelAtY(event->position().y()));
    return;
  }
  if (PointNear(event->position()) >= 0) {
    setCursor(Qt::SizeVerCursor);
  } else {
    unsetCursor();
  }
}

void GainCurveEditor::mouseReleaseEvent(QMouseEvent* event) {
  if (m_dragged >= 0 && event->button() == Qt::LeftButton) {
    SetControlLevel(m_dragged, LevelAtY(event->position().y()));
    m_dragged = -1;
    return;
  }
  QWidget::mouseReleaseEvent(event);
}

void GainCurveEditor::keyPressEvent(QKeyEvent* event) {
  int step = 0;
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
      if (!ControlPointsActive()) break;
      m_chosen = event->key() == Qt::Key_Left ? 0 : 1;
      update();
      return;
    case Qt::Key_Up:
      step = 100;
      break;
    case Qt::Key_Down:
      step = -100;
      break;
    case Qt::Key_PageUp:
      step = 1000;
      break;
    case Qt::Key_PageDown:
      step = -1000;
      break;
    default:
      break;
  }
  if (step == 0 || !ControlPointsActive()) return QWidget::keyPressEvent(event);
  SetControlLevel(m_chosen, std::clamp(ControlLevel(m_chosen) + step, m_minimum, m_maximum));
}

void GainCurveEditor::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF plot = Plot();
  const QPalette& colours = palette();
  painter.fillRect(rect(), colours.window());
  painter.fillRect(plot, colours.base());

  // The dB scale: lines far enough apart for their labels, 0 dB drawn stronger.
  const QFontMetricsF metrics(font());
  const double pixelsPerDb = plot.height() * 100.0 / (m_maximum - m_minimum);
  int stepDb = 10;
  while (stepDb * pixelsPerDb < metrics.height() * 1.2) stepDb *= 2;
  const int top = m_maximum / 100;
  for (int db = (top / stepDb) * stepDb; db * 100 >= m_minimum; db -= stepDb) {
    const double y = YOfLevel(db * 100.0);
    painter.setPen(QPen(db == 0 ? colours.color(QPalette::Mid) : colours.color(QPalette::Midlight), 1));
    painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    painter.setPen(colours.color(QPalette::WindowText));
    painter.drawText(QRectF(0, y - metrics.height() / 2, kLeftMargin - 6, metrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter, QString::number(db));
  }
  // The time scale, as shares of the selection.
  for (int quarter = 0; quarter <= 4; ++quarter) {
    const double x = XOfTime(quarter / 4.0);
    painter.setPen(QPen(colours.color(QPalette::Midlight), 1));
    painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    painter.setPen(colours.color(QPalette::WindowText));
    const QString label = QString::number(quarter * 25) + QLatin1Char('%');
    const double labelWidth = metrics.horizontalAdvance(label);
    const double left = std::clamp(x - labelWidth / 2, 0.0, width() - labelWidth);
    painter.drawText(QPointF(left, plot.bottom() + metrics.ascent() + 4), label);
  }
  painter.setPen(QPen(colours.color(QPalette::Dark), 1));
  painter.drawRect(plot);

  // The curve, one point per pixel column, the silence of a zero gain at the bottom.
  QPainterPath curve;
  const int columns = std::max(2, static_cast<int>(plot.width()));
  for (int column = 0; column <= columns; ++column) {
    const double t = static_cast<double>(column) / columns;
    const double level = FadeLevelDb(m_fade, t) * 100.0;
    const QPointF point(XOfTime(t), YOfLevel(std::isfinite(level) ? level : m_minimum));
    if (column == 0) {
      curve.moveTo(point);
    } else {
      curve.lineTo(point);
    }
  }
  painter.save();
  painter.setClipRect(plot.adjusted(-1, -1, 1, 1));
  painter.setPen(QPen(QColor(0, 70, 200), 2));
  painter.drawPath(curve);
  painter.restore();

  const QPointF start(XOfTime(0), YOfLevel(m_fade.startLevel));
  const QPointF end(XOfTime(1), YOfLevel(m_fade.endLevel));
  painter.setBrush(QColor(0, 70, 200));
  painter.setPen(Qt::NoPen);
  painter.drawEllipse(start, 3.5, 3.5);
  painter.drawEllipse(end, 3.5, 3.5);
  if (!ControlPointsActive()) return;

  // The control points with their handles, each labelled with its place and level.
  painter.setPen(QPen(colours.color(QPalette::Dark), 1, Qt::DashLine));
  painter.drawLine(start, ControlPoint(0));
  painter.drawLine(ControlPoint(1), end);
  for (int index = 0; index < kControlPointCount; ++index) {
    const QPointF point = ControlPoint(index);
    painter.setPen(QPen(QColor(180, 30, 30), 1.5));
    const bool chosen = index == m_dragged || (hasFocus() && index == m_chosen);
    painter.setBrush(chosen ? QColor(180, 30, 30) : colours.color(QPalette::Base));
    painter.drawRect(QRectF(point.x() - kPointHalfSize, point.y() - kPointHalfSize, 2 * kPointHalfSize,
                            2 * kPointHalfSize));
    const QString label = QString::number(std::lround(ControlTime(index) * 100)) + QStringLiteral("%  ") +
                          LevelText(ControlLevel(index));
    const double labelWidth = metrics.horizontalAdvance(label);
    const bool above = point.y() - plot.top() > metrics.height() + 8;
    const double baseline = above ? point.y() - 8 : point.y() + 8 + metrics.ascent();
    const double left = std::clamp(point.x() - labelWidth / 2, plot.left() + 2, plot.right() - labelWidth - 2);
    painter.setPen(colours.color(QPalette::Text));
    painter.drawText(QPointF(left, baseline), label);
  }
}

}  // namespace ztlive
