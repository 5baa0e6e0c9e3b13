// The fade dialog's curve editor: the gain the fade applies over the selection, in dB from the
// highest level at the top to the lowest at the bottom, time running left to right. For the
// adjustable curve it shows the two control points a third and two thirds of the way along;
// dragging one up or down sets its level. From the keyboard, Left and Right choose a point
// and Up and Down move it by 1 dB (Page Up and Page Down by 10 dB). Their time positions are
// fixed: the fade runs evenly over the selection, and the curve drawn is the one the edit
// applies.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QWidget>

#include "document/edit_settings.h"

namespace ztlive {

class GainCurveEditor : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kControlPointCount = 2;

  explicit GainCurveEditor(QWidget* parent = nullptr);

  // Levels in hundredths of a dB; the control levels are held inside the range.
  void SetLevelRange(int minimum, int maximum);
  // Shows a fade, without a signal.
  void SetFade(const FadeSettings& fade);
  const FadeSettings& Fade() const { return m_fade; }
  // True when the control points are shown and can be dragged (the adjustable curve).
  bool ControlPointsActive() const { return m_fade.curve == FadeCurve::Adjustable; }

  // Where control point 0 or 1 is drawn, in widget coordinates.
  QPointF ControlPoint(int index) const;
  // The share of the selection at which a control point sits (1/3 or 2/3).
  static double ControlTime(int index);
  // The level (hundredths of a dB, held inside the range) at a height in the widget.
  int LevelAtY(double y) const;
  double YOfLevel(double hundredths) const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  // A control point was dragged: both control levels, hundredths of a dB.
  void controlLevelsChanged(int first, int second);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QRectF Plot() const;
  double XOfTime(double t) const;
  int ControlLevel(int index) const;
  void SetControlLevel(int index, int level);
  // The control point within grabbing distance of a position, or -1.
  int PointNear(const QPointF& position) const;

  FadeSettings m_fade;
  int m_minimum = -9600;
  int m_maximum = 2000;
  int m_dragged = -1;
  int m_chosen = 0;  // the point the keys move
};

}  // namespace ztlive
