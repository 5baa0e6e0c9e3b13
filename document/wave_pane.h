// One wave pane's state and rules, without pixels: the file it shows, the visible range,
// selection, cursor, selected marker, amplitude zoom and vertical offset, the zoom history,
// and the column peaks the widget draws. The widget only feeds it and paints what it holds.
// Positions are byte offsets into the data chunk.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/peak_file.h"
#include "core/run_state.h"
#include "platform/prompts.h"

namespace ztlive {

struct PaneView {
  uint64_t start = 0;
  uint64_t end = 0;
  int amplitudeZoom = 1;
  int verticalOffset = 0;
};

class WavePane {
 public:
  static constexpr int kHistoryDepth = 4;
  static constexpr int kScrollRange = 10000;
  static constexpr int kMaxColumns = 2048;
  static constexpr uint64_t kMinViewFrames = 16;  // the narrowest view a zoom makes

  WavePane(RunState& run, Prompts& prompts) : m_run(run), m_prompts(prompts) {}

  // Shows a file (an empty name empties the pane); false when it cannot be read.
  bool Open(const std::string& path);
  // Reads the same file again after a run or an edit changed it: its length, format and
  // markers, keeping the view (a view of the whole file grows with it), the selection, the
  // cursor and the zoom history, each held inside the new length. False when it cannot be read
  // any more (the pane is then empty).
  bool Reload();
  const std::string& FileName() const { return m_fileName; }
  uint64_t DataLength() const { return m_dataLength; }
  int Channels() const { return m_channels; }
  uint32_t SampleRate() const { return m_sampleRate; }
  int BlockAlign() const { return m_blockAlign; }

  const PaneView& View() const { return m_view; }
  uint64_t SelectionStart() const { return m_selectionStart; }
  uint64_t SelectionEnd() const { return m_selectionEnd; }
  int64_t Cursor() const { return m_cursor; }
  int SelectedMarker() const { return m_selectedMarker; }
  int HistoryDepth() const { return m_depth; }

  // Both ends kept within the data, start <= end.
  void SetSelection(uint64_t start, uint64_t end);
  void SetCursor(int64_t offset) { m_cursor = offset; }
  void SetSelectedMarker(int index) { m_selectedMarker = index; }
  // How the cursor time display shows this pane's times: 0 frames, 1 h:m:s (the default),
  // 2 seconds.
  int TimeFormat() const { return m_timeFormat; }
  void SetTimeFormat(int format) { m_timeFormat = format >= 0 && format <= 2 ? format : 1; }
  // The visible range, held inside the data; re-reads the column peaks.
  void ShowRange(uint64_t start, uint64_t end);
  void SetColumns(int columns);

  // bandFraction: the Shift rubber band's height over the pane's (0: no amplitude zoom),
  // bandCentre: its centre in [-1, 1] of the pane's height (0: the middle).
  void ZoomIn(double bandFraction = 0, double bandCentre = 0);
  void ZoomOut();
  void ZoomOutFull();
  void SelectBetweenMarkers(uint64_t offset);
  void ZoomToMarkers(uint64_t offset);

  // Horizontal scroll bar: lines of a tenth of the width, pages of the whole, the thumb.
  void ScrollLines(int lines);
  void ScrollPages(int pages);
  void ScrollTo(int position);
  int ScrollPosition() const;
  int ScrollPage() const;
  void StepAmplitudeZoom(int steps);
  void StepVerticalOffset(int steps);
  void Rewind();
  void FastForward();

  // Pixel mapping inside a drawing rectangle [left, right].
  uint64_t OffsetAt(double x, double left, double right) const;
  double PixelAt(uint64_t offset, double left, double right) const;

  // Markers of the pane's file (none for an empty pane).
  PeakFile* Markers() { return m_peaks.get(); }
  const std::vector<int16_t>& ColumnPeaks() const { return m_columnPeaks; }
  int Columns() const { return m_columnsRead; }

 private:
  // readPeaks: false when only the amplitude changed, which needs no new column peaks.
  void SetView(const PaneView& view, bool readPeaks = true);

  RunState& m_run;
  Prompts& m_prompts;
  std::string m_fileName;
  uint64_t m_dataLength = 0;
  int m_channels = 1;
  uint32_t m_sampleRate = 44100;
  int m_blockAlign = 2;
  PaneView m_view;
  uint64_t m_selectionStart = 0;
  uint64_t m_selectionEnd = 0;
  int64_t m_cursor = -1;
  int m_selectedMarker = -1;
  int m_timeFormat = 1;
  std::array<PaneView, kHistoryDepth> m_history{};
  int m_depth = 0;
  int m_columns = 512;
  int m_columnsRead = 0;
  std::vector<int16_t> m_columnPeaks;
  std::unique_ptr<PeakFile> m_peaks;
};

}  // namespace ztlive
