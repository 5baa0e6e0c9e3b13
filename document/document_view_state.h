// The document window's two panes (source above, destination below) and the mouse rules
// between them: which pane is active, what a press, drag, release or double click does to
// the selection, the cursor and the markers, and which cursor shape the pointer shows. The
// widget passes pixel positions in a pane's drawing rectangle.
#pragma once

#include "document/wave_pane.h"

namespace ztlive {

enum class PaneId { Source = 0, Destination = 1 };
enum class PointerShape { Arrow, ResizeHorizontal, Marker };

struct PaneRect {
  double left = 0;
  double right = 1;
};

class DocumentViewState {
 public:
  static constexpr double kGrabPixels = 6;
  static constexpr double kMarkerClickPixels = 5;

  DocumentViewState(RunState& run, Prompts& prompts) : m_panes{WavePane(run, prompts), WavePane(run, prompts)} {}

  WavePane& Pane(PaneId id) { return m_panes[static_cast<size_t>(id)]; }
  WavePane& Active() { return Pane(m_active); }
  PaneId ActivePane() const { return m_active; }
  void SetActivePane(PaneId id) { m_active = id; }

  // Sync mode: zooms (and, with syncHScroll, scrolls) of one pane follow in the other.
  void SetSync(bool sync, bool syncHScroll) {
    m_sync = sync;
    m_syncHScroll = syncHScroll;
  }

  PointerShape Hover(PaneId pane, double x, const PaneRect& rect);
  void Press(PaneId pane, double x, bool shift, const PaneRect& rect);
  void Drag(double x, const PaneRect& rect);
  // Ends the press (a release without one, as after a double click, does nothing). True when
  // it completed a Shift rubber band, which the caller then zooms into.
  bool Release(double x, const PaneRect& rect);
  void DoubleClick(PaneId pane, double x, const PaneRect& rect);
  bool ShiftBandSelection() const { return m_shiftBand; }
  bool Dragging() const { return m_drag != DragKind::None; }

  // Zoom commands on the active pane, followed by the other in sync mode. The band's size
  // counts only right after a Shift rubber band.
  void ZoomIn(double bandFraction = 0, double bandCentre = 0);
  void ZoomOut();
  void ZoomOutFull();
  // A pane's horizontal scroll bar; the other pane follows with syncHScroll.
  void ScrollLines(PaneId pane, int lines);
  void ScrollPages(PaneId pane, int pages);
  void ScrollTo(PaneId pane, int position);
  // Transport: the start or the end of the active pane's file at the same width.
  void Rewind();
  void FastForward();

 private:
  enum class DragKind { None, Band, SelectionStart, SelectionEnd, Marker };
  int MarkerNear(WavePane& pane, double x, const PaneRect& rect, double pixels);
  void FollowView(PaneId from);
  void FollowScroll(PaneId from);

  WavePane m_panes[2];
  PaneId m_active = PaneId::Source;
  DragKind m_drag = DragKind::None;
  int m_dragMarker = -1;
  double m_pressX = 0;
  bool m_moved = false;
  bool m_shiftBand = false;
  bool m_sync = false;
  bool m_syncHScroll = false;
};

}  // namespace ztlive
