#include "document/document_view_state.h"

#include <algorithm>
#include <cmath>

namespace ztlive {

int DocumentViewState::MarkerNear(WavePane& pane, double x, const PaneRect& rect, double pixels) {
  PeakFile* markers = pane.Markers();
  if (markers == nullptr) return -1;
  for (int i = 0; i < markers->MarkerCount(); ++i)
    if (std::abs(pane.PixelAt(markers->MarkerPosition(i), rect.left, rect.right) - x) <= pixels) return i;
  return -1;
}

PointerShape DocumentViewState::Hover(PaneId id, double x, const PaneRect& rect) {
  WavePane& pane = Pane(id);
  if (pane.FileName().empty()) return PointerShape::Arrow;
  if (MarkerNear(pane, x, rect, kGrabPixels) >= 0) return PointerShape::Marker;
  if (x < rect.right) {
    for (const uint64_t edge : {pane.SelectionStart(), pane.SelectionEnd()})
      if (std::abs(pane.PixelAt(edge, rect.left, rect.right) - x) <= kGrabPixels) return PointerShape::ResizeHorizontal;
  }
  return PointerShape::Arrow;
}

void DocumentViewState::Press(PaneId id, double x, bool shift, const PaneRect& rect) {
  m_active = id;
  WavePane& pane = Active();
  m_pressX = x;
  m_moved = false;
  m_shiftBand = false;
  m_dragMarker = MarkerNear(pane, x, rect, kGrabPixels);
  if (m_dragMarker >= 0) {
    m_drag = DragKind::Marker;
  } else if (std::abs(pane.PixelAt(pane.SelectionStart(), rect.left, rect.right) - x) <= kGrabPixels) {
    m_drag = DragKind::SelectionStart;
  } else if (std::abs(pane.PixelAt(pane.SelectionEnd(), rect.left, rect.right) - x) <= kGrabPixels) {
    m_drag = DragKind::SelectionEnd;
  } else {
    m_drag = DragKind::Band;
    m_shiftBand = shift;
  }
}

void DocumentViewState::Drag(double x, const PaneRect& rect) {
  if (m_drag == DragKind::None) return;
  WavePane& pane = Active();
  m_moved = m_moved || x != m_pressX;
  if (m_drag == DragKind::Band) {
    pane.SetSelection(pane.OffsetAt(std::min(m_pressX, x), rect.left, rect.right),
                      pane.OffsetAt(std::max(m_pressX, x), rect.left, rect.right));
  } else {
    pane.SetCursor(static_cast<int64_t>(pane.OffsetAt(x, rect.left, rect.right)));  // the caret follows
  }
}

bool DocumentViewState::Release(double x, const PaneRect& rect) {
  if (m_drag == DragKind::None) return false;
  WavePane& pane = Active();
  const uint64_t offset = pane.OffsetAt(x, rect.left, rect.right);
  const bool moved = m_moved || x != m_pressX;
  const DragKind drag = m_drag;
  m_drag = DragKind::None;
  if (!moved) {
    // A plain click: the cursor, and a marker near it is selected or let go.
    m_shiftBand = false;
    pane.SetCursor(static_cast<int64_t>(offset));
    pane.SetSelection(offset, offset);
    const int near = MarkerNear(pane, x, rect, kMarkerClickPixels);
    if (near >= 0) pane.SetSelectedMarker(pane.SelectedMarker() == near ? -1 : near);
    return false;
  }
  switch (drag) {
    case DragKind::SelectionStart:
      // Past the end, the old end becomes the start.
      pane.SetSelection(offset > pane.SelectionEnd() ? pane.SelectionEnd() : offset,
                        offset > pane.SelectionEnd() ? offset : pane.SelectionEnd());
      pane.SetCursor(-1);
      break;
    case DragKind::SelectionEnd:
      pane.SetSelection(offset < pane.SelectionStart() ? offset : pane.SelectionStart(),
                        offset < pane.SelectionStart() ? pane.SelectionStart() : offset);
      pane.SetCursor(-1);
      break;
    case DragKind::Marker:
      if (PeakFile* markers = pane.Markers()) {
        // Markers sit on whole frames.
        const auto position = static_cast<uint32_t>(offset - offset % static_cast<uint64_t>(pane.BlockAlign()));
        const bool wasSelected = pane.SelectedMarker() == m_dragMarker;
        markers->SetMarker(m_dragMarker, position);
        // Sorting may give the moved marker another index; a selection goes with it.
        if (wasSelected) {
          for (int i = 0; i < markers->MarkerCount(); ++i)
            if (markers->MarkerPosition(i) == position) {
              pane.SetSelectedMarker(i);
              break;
            }
        }
      }
      pane.SetCursor(-1);
      break;
    case DragKind::Band:
      pane.SetSelection(pane.OffsetAt(std::min(m_pressX, x), rect.left, rect.right),
                        pane.OffsetAt(std::max(m_pressX, x), rect.left, rect.right));
      return m_shiftBand;
    case DragKind::None:
      break;
  }
  return false;
}

void DocumentViewState::DoubleClick(PaneId id, double x, const PaneRect& rect) {
  m_active = id;
  WavePane& pane = Active();
  pane.SelectBetweenMarkers(pane.OffsetAt(x, rect.left, rect.right));
}

void DocumentViewState::FollowView(PaneId fromId) {
  if (!m_sync) return;
  WavePane& from = Pane(fromId);
  WavePane& to = Pane(fromId == PaneId::Source ? PaneId::Destination : PaneId::Source);
  if (to.FileName().empty() || from.FileName().empty()) return;
  // Byte offsets scale with the channel counts of the two files.
  const auto map = [&](uint64_t offset) { return offset * static_cast<uint64_t>(to.Channels()) / static_cast<uint64_t>(from.Channels()); };
  to.ShowRange(map(from.View().start), map(from.View().end));
}

void DocumentViewState::FollowScroll(PaneId from) {
  if (m_syncHScroll) FollowView(from);
}

void DocumentViewState::ZoomIn(double bandFraction, double bandCentre) {
  Active().ZoomIn(m_shiftBand ? bandFraction : 0, bandCentre);
  m_shiftBand = false;
  FollowView(m_active);
}

void DocumentViewState::ZoomOut() {
  Active().ZoomOut();
  FollowView(m_active);
}

void DocumentViewState::ZoomOutFull() {
  Active().ZoomOutFull();
  FollowView(m_active);
}

void DocumentViewState::ScrollLines(PaneId pane, int lines) {
  Pane(pane).ScrollLines(lines);
  FollowScroll(pane);
}

void DocumentViewState::ScrollPages(PaneId pane, int pages) {
  Pane(pane).ScrollPages(pages);
  FollowScroll(pane);
}

void DocumentViewState::ScrollTo(PaneId pane, int position) {
  Pane(pane).ScrollTo(position);
  FollowScroll(pane);
}

void DocumentViewState::Rewind() {
  Active().Rewind();
  FollowScroll(m_active);
}

void DocumentViewState::FastForward() {
  Active().FastForward();
  FollowScroll(m_active);
}

}  // namespace ztlive
