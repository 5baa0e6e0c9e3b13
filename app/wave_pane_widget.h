// One wave pane on screen: the envelope of each channel from the pane's column peaks (a lane
// per channel), the selection in the highlight colour, the caret, the markers, and the pane's
// three scroll bars (horizontal position, amplitude zoom, vertical offset). The widget holds
// no rules of its own: mouse input goes to the document view's state in drawing-rectangle
// coordinates, and painting only reads what the pane holds.
#pragma once

#include <QColor>
#include <QCursor>
#include <QRectF>
#include <QWidget>
#include <vector>

#include "document/document_view_state.h"

class QPainter;
class QScrollBar;

namespace ztlive {

struct PaneColours {
  QColor background{255, 255, 192};  // "BkColorR/G/B"
  QColor highlight{255, 255, 0};     // "FgColorR/G/B": the selection
  QColor envelope{28, 64, 132};
  QColor caret{0, 0, 0};
  QColor marker{0, 120, 60};
  QColor selectedMarker{210, 30, 30};
};

class WavePaneWidget : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRulerHeight = 18;  // the time ruler of the detailed layout, pixels
  static constexpr int kMinBandPixels = 3;  // a Shift band lower than this zooms the time only

  WavePaneWidget(DocumentViewState& state, PaneId id, QWidget* parent = nullptr);

  PaneId Id() const { return m_id; }
  WavePane& Pane() { return m_state.Pane(m_id); }
  const PaneColours& Colours() const { return m_colours; }
  void SetColours(const PaneColours& colours);
  // Clean layout: the lanes alone. Detailed layout: a time ruler on top and amplitude grid lines.
  void SetCleanDisplay(bool clean);
  bool CleanDisplay() const { return m_clean; }
  // The time ruler on top, also in the clean layout.
  void SetRulerShown(bool shown);
  bool RulerShown() const { return !m_clean || m_rulerShown; }
  // The active pane gets a highlighted frame.
  void SetActive(bool active);

  // Where the lanes are drawn, in widget coordinates, and the same span as the mouse rules
  // see it: left and right are the first and the last pixel column.
  QRect DrawingRect() const;
  PaneRect MouseRect() const;
  // The rectangle of channel lane `channel` inside the drawing rectangle.
  QRectF LaneRect(int channel) const;

  // Takes the scroll bars' positions from the pane and repaints; call after the pane changed.
  void SyncFromPane();

  QScrollBar& HorizontalBar() { return *m_horizontal; }
  QScrollBar& AmplitudeBar() { return *m_amplitude; }
  QScrollBar& OffsetBar() { return *m_offset; }

  // The marker pointer: a thin line with a flag.
  static const QCursor& MarkerCursor();

 signals:
  // A left press or double click is about to reach the rules (playback stops first).
  void pressStarting();
  // Mouse, wheel or scroll bar input changed the pane state.
  void interacted();
  // The right button: the offset under the pointer and where the menu goes.
  void contextMenuRequested(quint64 offset, QPoint globalPosition);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void LayOutBars();
  void OnHorizontalAction(int action);
  void OnAmplitudeAction(int action);
  void OnOffsetAction(int action);
  void ShowPointer(PointerShape shape);
  void PaintLanes(QPainter& painter, const QRect& area);
  void PaintRuler(QPainter& painter, const QRect& ruler);
  void PaintMarkers(QPainter& painter, const QRect& area);
  // Height fraction and centre (in [-1, 1], up positive) of the Shift band in its lane.
  void BandShape(double& fraction, double& centre) const;

  DocumentViewState& m_state;
  PaneId m_id;
  PaneColours m_colours;
  bool m_clean = true;
  bool m_rulerShown = false;
  bool m_active = false;
  QScrollBar* m_horizontal;
  QScrollBar* m_amplitude;
  QScrollBar* m_offset;
  bool m_pressed = false;  // a left press in the drawing area is in progress
  QPointF m_pressPoint;
  QPointF m_dragPoint;
  PointerShape m_shape = PointerShape::Arrow;
  int m_wheelRemainder = 0;  // wheel turn not yet a whole line (120 per notch)
  std::vector<QRect> m_columnRects;  // one bar per column, reused by every paint
};

}  // namespace ztlive
