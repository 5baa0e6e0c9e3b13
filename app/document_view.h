// The document window's view: the source pane above the destination pane, over the pane rules
// it owns. It stops playback before any press, plays the active pane's file, moves the cursor
// with the play position on an 80 ms timer, and offers the panes' context menu. The edit
// commands of the menu are handed on as requests; the view does not edit files itself.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <string>

#include "app/wave_pane_widget.h"
#include "core/device_engine.h"
#include "document/document_view_state.h"
#include "platform/settings_store.h"

class QAction;
class QMenu;

namespace ztlive {

class DocumentView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kCursorTimerMs = 80;

  DocumentView(RunState& run, Prompts& prompts, DeviceEngine& devices, SettingsStore& settings,
               QWidget* parent = nullptr);
  ~DocumentView() override;

  DocumentViewState& State() { return m_state; }
  WavePaneWidget& PaneWidget(PaneId id) { return *m_panes[static_cast<size_t>(id)]; }
  PaneId ActivePane() const { return m_state.ActivePane(); }
  void SetActivePane(PaneId id);

  // Opens both panes (an empty name empties a pane). A pane whose file is the one it already
  // shows keeps its view and is only read again.
  void ShowFiles(const std::string& source, const std::string& destination);
  // Reads a pane's file, peaks and markers again after a run or an edit, keeping the view.
  void RefreshPane(PaneId id);
  void RefreshPanes();
  // After an edit or an undo changed [from, to) of a pane's file (to = 0: up to its end):
  // rebuilds that range of the peak data, then reads the pane again.
  void RebuildPane(PaneId id, uint64_t from, uint64_t to);
  // The document's sync mode; whether scrolling follows too comes from "SyncHScroll".
  void SetSync(bool syncMode);
  // Colours and layout from the settings ("BkColor*", "FgColor*", "CleanDisp").
  void ApplyDisplaySettings();

  // While the engine plays or is paused, the active pane's cursor follows the play position
  // every 80 ms; the timer stops itself when playback has ended.
  void StartCursorTimer();
  void StopCursorTimer();
  bool CursorTimerRunning() const { return m_cursorTimer.isActive(); }
  // Playing, paused, or playing while recording.
  bool PlaybackActive() const;
  // Requests a stop and closes the output (recording, if any, goes on).
  void StopPlayback();

  // Plays the active pane's selection, or from its cursor to the end when the selection is
  // empty; 0, the engine's error, or -1 when there is nothing to play.
  int PlaySelection();
  // Plays the active pane's file from a data byte offset to its end.
  int PlayFrom(uint64_t offset);
  void Rewind();
  void FastForward();

  // Zoom commands on the active pane (the other follows in sync mode).
  void ZoomIn();
  void ZoomOut();
  void ZoomOutFull();
  // The whole file of the active pane becomes its selection.
  void SelectAll();
  // The caret to the start or the end of the active pane's file, which comes into view.
  void CaretToStart();
  void CaretToEnd();
  // Markers of the active pane's file, kept in its peak file. A marker lands on a whole frame;
  // deleting removes the selected marker and does nothing when none is selected.
  void AddMarker(uint64_t offset);
  void DeleteMarker();

  // Repaints both panes, sets their scroll bars and emits the signals of whatever changed
  // since the last call. The view's own commands call it; call it after changing State()
  // directly.
  void PanesChanged();

  // The panes' context menu and the data offset of the right click that opened it.
  QMenu& ContextMenu() { return *m_menu; }
  QAction* MenuAction(const QString& text) const;
  uint64_t ContextOffset() const { return m_contextOffset; }

 signals:
  void activePaneChanged();
  void selectionChanged();
  void cursorChanged();
  // "Copy", "Paste Over" or "Mute" from the context menu, on the active pane's selection.
  void editRequested(QString command);

 private:
  struct PaneMarks {
    uint64_t selectionStart = 0;
    uint64_t selectionEnd = 0;
    int64_t cursor = -1;
  };

  void BuildMenu();
  void OnContextMenu(PaneId id, quint64 offset, QPoint globalPosition);
  void OnCursorTimer();

  RunState& m_run;
  Prompts& m_prompts;
  DeviceEngine& m_devices;
  SettingsStore& m_settings;
  DocumentViewState m_state;
  QWidget* m_splitter = nullptr;  // holds the panes
  std::array<WavePaneWidget*, 2> m_panes{};
  QMenu* m_menu = nullptr;
  uint64_t m_contextOffset = 0;
  QTimer m_cursorTimer;
  PaneId m_lastActive = PaneId::Source;
  std::array<PaneMarks, 2> m_lastMarks{};
};

}  // namespace ztlive
