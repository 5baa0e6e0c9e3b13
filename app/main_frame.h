// The main window: a multi-document area with one document window per open file, the menus,
// the transport tool bar, the status bar and the filter settings windows (one per filter
// type, modeless). It is the host every filter window runs its filter through.
#pragma once

#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <memory>

#include "app/recent_files.h"
#include "document/progress_model.h"
#include "filters/framework/filter_window_host.h"
#include "live/batch_window_host.h"
#include "live/chain_window_host.h"
#include "live/playlist_window_host.h"

class QMdiArea;
class QMenu;

namespace ztlive {

class AppCore;
class BatchWindow;
class CChildFrame;
class DisplayWindows;
class EditMenu;
class MultiFilterWindow;
class ProgressWindow;
class RecordingWindow;

class CMainFrame : public QMainWindow,
                   public FilterWindowHost,
                   public ChainWindowHost,
                   public PlaylistWindowHost,
                   public BatchWindowHost {
  Q_OBJECT

 public:
  explicit CMainFrame(AppCore& core, QWidget* parent = nullptr);
  ~CMainFrame() override;

  // Opens a wave file as a new document (an open one comes to the front); false when it cannot be read (the message has been
  // shown and the file leaves the recent list).
  bool OpenDocument(const QString& path);
  // Opens a temporary file left by an ended session as a document whose source is temporary:
  // closing it asks whether to save it. It does not join the recent list.
  bool OpenRecoveredDocument(const QString& path);
  // The document window the commands act on (the last active one), or null.
  CChildFrame* ActiveChild() const;
  // Tells in the status bar when a file's length was recovered from its size in reading.
  void ShowLengthRecovered(const std::string& path);
  QList<CChildFrame*> Children() const;
  // The settings window of a filter type, made on first use, with the given caption, in front.
  QDialog* OpenFilterWindow(FilterTypeId type, const QString& caption) override;
  // The "Multi-Filter" window, made when none is open, in front.
  MultiFilterWindow* OpenChainWindow() override;
  MultiFilterWindow* ChainWindow() const;
  // "Run a filter on multiple files": the "Batch Editor", made when none is open, in front.
  BatchWindow* OpenBatchWindow();
  BatchWindow* BatchEditor() const;
  // The "Record File" window, made when none is open, in front; live: in live layout beside
  // the chain window (if open).
  RecordingWindow* OpenRecordingWindow(bool live);
  RecordingWindow* RecordWindow() const;
  // The chain window's "Live Preview": the recording window in live layout, its "&Record"
  // pressed when input is not yet live, then the chain run on the live input.
  int StartLivePreview();
  QDialog* FilterWindow(FilterTypeId type) const;
  ProgressWindow* Progress() const;
  // A menu or tool bar command by its object name ("play", "saveDestinationAs", ...).
  QAction* Command(const QString& name) const;
  const RecentFiles& Recent() const { return m_recent; }

  // Transport.
  void PlayPause();
  void Stop();
  // Space: plays the active pane's selection (or from its caret), or stops what plays.
  void PlayStop();
  // Undoes entry index of the active document (0: the newest) and removes it.
  void ApplyUndoEntry(int index);
  void Rewind();
  void FastForward();

  // The destination commands of the active document.
  void SaveDestinationAs();
  void MakeDestinationTheSource();
  void DiscardDestination();

  // Before a document window closes: for a temporary source or a filtered temporary
  // destination not yet saved, asks whether to save it (Yes runs the save, No lets it be
  // deleted, Cancel keeps the window). False keeps the window open.
  bool ConfirmClose(CChildFrame& child);

  // Placement from "Settings"/"WindowPos" and the tool bar from "ToolbarPosition".
  void RestorePlacement();

  // FilterWindowHost
  int RunFilterFromWindow(FilterTypeId type, RunDialog* dialog, bool preview, const PresetValues& values) override;
  FileRunSettings& FileRun() override;
  RunState& Run() override;
  SettingsStore& Settings() override;
  Prompts& WindowPrompts() override;
  // PlaylistWindowHost (Run, Settings and WindowPrompts as above)
  DeviceEngine& Devices() override;
  // "Open Playlist...", and the playlist a chop at markers offers: asks for the list's name.
  void OpenPlaylist(const QStringList& files = {});
  EditMenu& Edits() { return *m_editMenu; }
  DisplayWindows& Displays() { return *m_displays; }
  // ChainWindowHost
  int RunChainOverDocument(FilterChain& chain, bool preview) override;
  bool RunBusy() override;
  // BatchWindowHost (OpenFilterWindow, OpenChainWindow, Devices, Run, Settings and
  // WindowPrompts as above)
  QWidget* OpenBatchDocument(const std::string& path, bool& openedNow) override;
  void ActivateBatchDocument(QWidget& document) override;
  BatchSource SourceOf(QWidget& document) override;
  void SelectInSource(QWidget& document, uint64_t start, uint64_t end) override;
  bool NormalizeSourceSelection(QWidget& document) override;
  bool SaveBatchDestination(QWidget& document, const std::string& path) override;
  void CloseBatchDocument(QWidget& document) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildMenus();
  void BuildTransport();
  QAction* AddCommand(QMenu* menu, const QString& name, const QString& text, const QString& statusTip);
  bool OpenDocumentWindow(const QString& path, bool recovered);
  // The save flows for one document; false when cancelled or failed.
  bool SaveDestinationOf(CChildFrame& child);
  bool SaveRecoveredSource(CChildFrame& child);
  void OpenFileCommand();
  void FillRecentMenu();
  void FillUndoMenu();
  void UpdateCommands();
  void SavePlacement();
  void ShowProgress(ProgressModel* model);
  QString AskFileName(const QString& caption, const QString& suggestion, bool saving, int* bitsPerSample);
  void RememberPath(const QString& path);
  // Document windows that show the log file read it again (a live run appended to it).
  void RefreshLogDocuments();
  bool LiveInputRunning();
  // While the recording window is open, Play, Pause and Stop act on it.
  bool TransportActsOnRecording();

  AppCore& m_core;
  QMdiArea* m_area = nullptr;
  RecentFiles m_recent;
  QMenu* m_recentMenu = nullptr;
  QMenu* m_undoMenu = nullptr;
  EditMenu* m_editMenu = nullptr;
  DisplayWindows* m_displays = nullptr;
  QMap<QString, QAction*> m_commands;
  QMap<FilterTypeId, QPointer<QDialog>> m_filterWindows;
  QPointer<ProgressWindow> m_progress;
  QPointer<MultiFilterWindow> m_chainWindow;
  QPointer<RecordingWindow> m_recordingWindow;
  QPointer<BatchWindow> m_batchWindow;
  bool m_closing = false;  // the destructor has begun taking the document windows down
};

}  // namespace ztlive
