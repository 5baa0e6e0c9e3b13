#include "document/wave_pane.h"

#include <algorithm>
#include <cmath>

#include "core/wave_stream.h"

namespace ztlive {

bool WavePane::Open(const std::string& path) {
  m_fileName.clear();
  m_dataLength = 0;
  m_peaks.reset();
  m_columnPeaks.clear();
  m_columnsRead = 0;
  m_depth = 0;
  m_selectionStart = m_selectionEnd = 0;
  m_cursor = -1;
  m_selectedMarker = -1;
  m_view = PaneView();
  if (path.empty()) return true;
  WaveStream probe(64, 0, m_run);
  if (probe.Open(path, kOpenRead) != kStreamOk) return false;
  m_fileName = path;
  m_dataLength = probe.DataBytes();
  m_channels = probe.Format().channels;
  m_sampleRate = probe.Format().sampleRate;
  m_blockAlign = probe.Format().blockAlign;
  probe.Close();
  m_peaks = std::make_unique<PeakFile>(path, m_run, m_prompts);
  ShowRange(0, m_dataLength);
  return true;
}

bool WavePane::Reload() {
  if (m_fileName.empty()) return true;
  WaveStream probe(64, 0, m_run);
  if (probe.Open(m_fileName, kOpenRead) != kStreamOk) {
    Open("");
    return false;
  }
  const bool wholeFile = m_view.start == 0 && m_view.end == m_dataLength;
  m_dataLength = probe.DataBytes();
  m_channels = probe.Format().channels;
  m_sampleRate = probe.Format().sampleRate;
  m_blockAlign = probe.Format().blockAlign;
  probe.Close();
  m_peaks = std::make_unique<PeakFile>(m_fileName, m_run, m_prompts);
  SetSelection(m_selectionStart, m_selectionEnd);
  if (m_cursor > static_cast<int64_t>(m_dataLength)) m_cursor = static_cast<int64_t>(m_dataLength);
  if (m_selectedMarker >= m_peaks->MarkerCount()) m_selectedMarker = -1;
  PaneView view = m_view;
  if (wholeFile) view.end = m_dataLength;
  SetView(view);
  return true;
}

void WavePane::SetSelection(uint64_t start, uint64_t end) {
  start = std::min(start, m_dataLength);
  end = std::min(end, m_dataLength);
  if (start > end) std::swap(start, end);
  m_selectionStart = start;
  m_selectionEnd = end;
}

void WavePane::SetView(const PaneView& view, bool readPeaks) {
  m_view = view;
  m_view.end = std::min(m_view.end, m_dataLength);
  m_view.start = std::min(m_view.start, m_view.end);
  m_view.amplitudeZoom = std::clamp(m_view.amplitudeZoom, 1, 10);
  m_view.verticalOffset = std::clamp(m_view.verticalOffset, -32000, 32000);
  if (!readPeaks) return;
  m_columnPeaks.clear();
  m_columnsRead = 0;
  if (m_peaks != nullptr && m_view.end > m_view.start) {
    int columns = m_columns;
    if (m_peaks->ReadDisplayPeaks(m_columnPeaks, columns, m_view.start, m_view.end) == 1) m_columnsRead = columns;
  }
}

void WavePane::ShowRange(uint64_t start, uint64_t end) {
  PaneView view = m_view;
  view.start = start;
  view.end = end;
  SetView(view);
}

void WavePane::SetColumns(int columns) {
  m_columns = std::clamp(columns, 1, kMaxColumns);
  SetView(m_view);
}

void WavePane::ZoomIn(double bandFraction, double bandCentre) {
  if (m_depth < kHistoryDepth) m_history[static_cast<size_t>(m_depth++)] = m_view;
  PaneView view = m_view;
  if (bandFraction > 0) {
    // The band's height fills the pane, and its centre (in 16-bit sample units at the old
    // zoom) comes to the pane's centre, in the offset's steps of 1000.
    const double centre = bandCentre * 32768.0 / view.amplitudeZoom;
    view.amplitudeZoom = std::clamp(static_cast<int>(view.amplitudeZoom / bandFraction), 1, 10);
    view.verticalOffset = static_cast<int>(std::lround((view.verticalOffset - centre) / 1000.0)) * 1000;
  }
  if (m_selectionEnd > m_selectionStart) {
    view.start = m_selectionStart;
    view.end = m_selectionEnd;
  } else {
    // No selection: half the width around the selection's point.
    const uint64_t quarter = (m_view.end - m_view.start) / 4;
    view.start = m_selectionStart > quarter ? m_selectionStart - quarter : 0;
    view.end = std::min(m_selectionStart + quarter, m_dataLength);
  }
  // A view of a few bytes could be neither drawn nor scrolled: widen it around its middle.
  const uint64_t narrowest = std::min<uint64_t>(kMinViewFrames * static_cast<uint64_t>(m_blockAlign), m_dataLength);
  if (view.end - view.start < narrowest) {
    const uint64_t middle = view.start + (view.end - view.start) / 2;
    view.start = std::min(middle > narrowest / 2 ? middle - narrowest / 2 : 0, m_dataLength - narrowest);
    view.end = view.start + narrowest;
  }
  SetView(view);
  SetSelection(m_view.start, m_view.end);
}

void WavePane::ZoomOut() {
  if (m_depth > 0) {
    SetView(m_history[static_cast<size_t>(--m_depth)]);
    return;
  }
  // Four times as wide around the middle, inside the data.
  const uint64_t width = m_view.end - m_view.start;
  const uint64_t middle = m_view.start + width / 2;
  const uint64_t half = 4 * width / 2;
  PaneView view;
  view.start = middle > half ? middle - half : 0;
  view.end = std::min(middle + half, m_dataLength);
  SetView(view);
}

void WavePane::ZoomOutFull() {
  m_depth = 0;
  SetView(PaneView{0, m_dataLength, 1, 0});
}

void WavePane::SelectBetweenMarkers(uint64_t offset) {
  if (m_peaks == nullptr || m_peaks->MarkerCount() == 0) {
    SetSelection(m_view.start, m_view.end);
    return;
  }
  uint64_t start = 0;
  uint64_t end = m_dataLength;
  for (int i = 0; i < m_peaks->MarkerCount(); ++i) {
    const uint64_t position = m_peaks->MarkerPosition(i);
    if (position < offset) start = std::max(start, position);
    if (position >= offset) {
      end = std::min(end, position);
      break;
    }
  }
  SetSelection(start, end);
}

void WavePane::ZoomToMarkers(uint64_t offset) {
  SelectBetweenMarkers(offset);
  ZoomIn();
}

void WavePane::ScrollLines(int lines) {
  const auto width = static_cast<int64_t>(m_view.end - m_view.start);
  const int64_t start = std::clamp<int64_t>(static_cast<int64_t>(m_view.start) + lines * width / 10, 0,
                                            static_cast<int64_t>(m_dataLength) - width);
  ShowRange(static_cast<uint64_t>(start), static_cast<uint64_t>(start + width));
}

void WavePane::ScrollPages(int pages) { ScrollLines(10 * pages); }

void WavePane::ScrollTo(int position) {
  const uint64_t width = m_view.end - m_view.start;
  uint64_t start = m_dataLength * static_cast<uint64_t>(std::clamp(position, 0, kScrollRange)) / kScrollRange;
  start = std::min(start, m_dataLength - width);
  ShowRange(start, start + width);
}

int WavePane::ScrollPosition() const {
  return m_dataLength == 0 ? 0 : static_cast<int>(m_view.start * kScrollRange / m_dataLength);
}

int WavePane::ScrollPage() const {
  return m_dataLength == 0 ? kScrollRange : static_cast<int>((m_view.end - m_view.start) * kScrollRange / m_dataLength);
}

void WavePane::StepAmplitudeZoom(int steps) {
  PaneView view = m_view;
  view.amplitudeZoom += steps;
  SetView(view, false);
}

void WavePane::StepVerticalOffset(int steps) {
  PaneView view = m_view;
  view.verticalOffset += 1000 * steps;
  SetView(view, false);
}

void WavePane::Rewind() { ShowRange(0, m_view.end - m_view.start); }

void WavePane::FastForward() {
  const uint64_t width = m_view.end - m_view.start;
  ShowRange(m_dataLength - width, m_dataLength);
}

uint64_t WavePane::OffsetAt(double x, double left, double right) const {
  if (x <= left || right <= left) return m_view.start;
  if (x >= right) return m_view.end;
  return m_view.start + static_cast<uint64_t>((x - left) / (right - left) * double(m_view.end - m_view.start));
}

double WavePane::PixelAt(uint64_t offset, double left, double right) const {
  if (m_view.end <= m_view.start) return left;
  const double x = left + (double(offset) - double(m_view.start)) * (right - left) / double(m_view.end - m_view.start);
  return std::clamp(x, left, right);
}

}  // namespace ztlive
