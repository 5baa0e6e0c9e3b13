#include "app/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "app/app_core.h"
#include "app/child_frame.h"
#include "app/display_windows.h"
#include "app/edit_menu.h"
#include "app/filter_windows.h"
#include "app/progress_window.h"
#include "app/recording_window.h"
#include "app/save_destination_dialog.h"
#include "app/window_placement.h"
#include "core/peak_file.h"
#include "core/temp_files.h"
#include "core/wave_stream.h"
#include "document/destination_files.h"
#include "document/file_checks.h"
#include "filters/filter_icons.h"
#include "document/edit_commands.h"
#include "live/batch_window.h"
#include "live/chain_runner.h"
#include "live/multi_filter_window.h"
#include "live/playlist_window.h"
#include "platform/file_ops.h"
#include "platform/folders.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

constexpr const char* kToolbarSection = "ToolbarPosition";
constexpr const char* kToolbarKey = "State";

QString Qs(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

CMainFrame::CMainFrame(AppCore& core, QWidget* parent)
    : QMainWindow(parent), m_core(core), m_recent(core.Settings()) {
  setWindowTitle(QStringLiteral("ZT-Live"));
  setObjectName(QStringLiteral("mainFrame"));
  m_area = new QMdiArea(this);
  m_area->setViewMode(QMdiArea::SubWindowView);
  setCentralWidget(m_area);
  setAcceptDrops(true);
  m_displays = new DisplayWindows(*this, m_core.Engine(), m_core.Settings(),
                                  [this] { return m_closing ? nullptr : ActiveChild(); });
  BuildMenus();
  BuildTransport();
  statusBar()->showMessage(QStringLiteral("Ready"));
  connect(m_area, &QMdiArea::subWindowActivated, this, [this] {
    UpdateCommands();
    if (!m_closing) m_displays->UpdateTimes();
  });
  m_core.Filters().SetProgressWindowHook([this](ProgressModel* model) { ShowProgress(model); });
  resize(1000, 700);
  UpdateCommands();
  m_displays->RestoreTimeDisplay();
}

CMainFrame::~CMainFrame() {
  m_core.Filters().SetProgressWindowHook(nullptr);
  // The batch, chain and recording windows go while this window is whole: what they signal on
  // the way out (the chain letting go of the settings windows' engines, the commands updated)
  // is handled by a main window that still exists.
  delete m_batchWindow.data();
  delete m_chainWindow.data();
  delete m_recordingWindow.data();
  // The document windows go first, while this window's members still exist; what they
  // signal on the way out is not acted on.
  m_closing = true;
  delete m_area;
  // The filter windows hold the host; close them before it goes.
  for (const QPointer<QDialog>& window : m_filterWindows)
    if (window != nullptr) delete window.data();
}

QAction* CMainFrame::AddCommand(QMenu* menu, const QString& name, const QString& text, const QString& statusTip) {
  auto* action = new QAction(text, this);
  action->setObjectName(name);
  action->setStatusTip(statusTip);
  if (menu != nullptr) menu->addAction(action);
  m_commands.insert(name, action);
  return action;
}

QAction* CMainFrame::Command(const QString& name) const { return m_commands.value(name, nullptr); }

void CMainFrame::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  connect(AddCommand(file, "open", "&Open...", "Open an existing wave file"), &QAction::triggered, this,
          &CMainFrame::OpenFileCommand);
  Command("open")->setShortcut(QKeySequence::Open);
  connect(AddCommand(file, "close", "&Close", "Close the active document"), &QAction::triggered, this, [this] {
    if (QMdiSubWindow* window = m_area->currentSubWindow(); window != nullptr) window->close();
  });
  file->addSeparator();
  connect(AddCommand(file, "saveDestinationAs", "Save Destination &As...", "Save the destination under a new name"),
          &QAction::triggered, this, &CMainFrame::SaveDestinationAs);
  connect(AddCommand(file, "makeDestinationTheSource", "&Make Destination the Source",
                     "Open the destination as a document of its own"),
          &QAction::triggered, this, &CMainFrame::MakeDestinationTheSource);
  connect(AddCommand(file, "discardDestination", "&Discard Destination",
                     "Close the destination; a temporary one is deleted"),
          &QAction::triggered, this, &CMainFrame::DiscardDestination);
  file->addSeparator();
  connect(AddCommand(file, "recordFile", "&Record File...", "Record the sound card's input into a wave file"),
          &QAction::triggered, this, [this] {
            if (m_recordingWindow == nullptr) OpenRecordingWindow(false);  // one window at a time
          });
  Command("recordFile")->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  connect(AddCommand(file, "openPlaylist", "Open &Playlist...", "Edit and play a list of wave files"),
          &QAction::triggered, this, [this] { OpenPlaylist(); });
  file->addSeparator();
  m_recentMenu = file->addMenu(QStringLiteral("Recent &Files"));
  connect(m_recentMenu, &QMenu::aboutToShow, this, &CMainFrame::FillRecentMenu);
  FillRecentMenu();
  file->addSeparator();
  connect(AddCommand(file, "exit", "E&xit", "Quit the application"), &QAction::triggered, this, &QWidget::close);

  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  m_undoMenu = edit->addMenu(QStringLiteral("&Undo"));
  connect(m_undoMenu, &QMenu::aboutToShow, this, &CMainFrame::FillUndoMenu);
  FillUndoMenu();
  connect(AddCommand(edit, "undoLast", "Undo &Last Edit", "Undo the newest edit of the active document"),
          &QAction::triggered, this, [this] { ApplyUndoEntry(0); });
  Command("undoLast")->setShortcut(QKeySequence::Undo);
  edit->addSeparator();
  connect(AddCommand(edit, "selectAll", "Select &All", "Select the whole file of the active pane"),
          &QAction::triggered, this, [this] {
            if (CChildFrame* child = ActiveChild(); child != nullptr) child->View().SelectAll();
          });
  Command("selectAll")->setShortcut(QKeySequence::SelectAll);
  edit->addSeparator();
  m_editMenu = new EditMenu(m_core, this, [this] { return ActiveChild(); },
                            [this](const QStringList& files) { OpenPlaylist(files); });
  m_editMenu->Build(edit, [this](QMenu* menu, const QString& name, const QString& text, const QString& tip) {
    return AddCommand(menu, name, text, tip);
  });
  edit->addSeparator();
  QAction* sync = AddCommand(edit, "syncMode", "&Sync Mode", "The destination mirrors the source's positions");
  sync->setCheckable(true);
  connect(sync, &QAction::triggered, this, [this] {
    if (CChildFrame* child = ActiveChild(); child != nullptr) {
      child->Document().ToggleSyncMode();
      child->View().SetSync(child->Document().SyncMode() != 0);
    }
    UpdateCommands();
  });

  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  connect(AddCommand(view, "zoomIn", "Zoom &In", "Show the selection"), &QAction::triggered, this, [this] {
    if (CChildFrame* child = ActiveChild(); child != nullptr) child->View().ZoomIn();
  });
  connect(AddCommand(view, "zoomOut", "Zoom &Out", "Show the view before the last zoom"), &QAction::triggered, this,
          [this] {
            if (CChildFrame* child = ActiveChild(); child != nullptr) child->View().ZoomOut();
          });
  connect(AddCommand(view, "zoomOutFull", "Zoom Out &Full", "Show the whole file"), &QAction::triggered, this,
          [this] {
            if (CChildFrame* child = ActiveChild(); child != nullptr) child->View().ZoomOutFull();
          });
  Command("zoomIn")->setShortcuts({QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal)});
  Command("zoomOut")->setShortcuts({QKeySequence(Qt::Key_Minus)});
  view->addSeparator();
  connect(AddCommand(view, "caretToStart", "Go to &Start", "Move the caret to the start of the file"),
          &QAction::triggered, this, [this] {
            if (CChildFrame* child = ActiveChild(); child != nullptr) child->View().CaretToStart();
          });
  Command("caretToStart")->setShortcut(QKeySequence(Qt::Key_Home));
  connect(AddCommand(view, "caretToEnd", "Go to &End", "Move the caret to the end of the file"),
          &QAction::triggered, this, [this] {
            if (CChildFrame* child = ActiveChild(); child != nullptr) child->View().CaretToEnd();
          });
  Command("caretToEnd")->setShortcut(QKeySequence(Qt::Key_End));
  m_displays->AddCommands(view, [this](QMenu* menu, const QString& name, const QString& text, const QString& tip) {
    return AddCommand(menu, name, text, tip);
  });

  QMenu* filters = menuBar()->addMenu(QStringLiteral("F&ilters"));
  for (const FilterWindowEntry& entry : FilterWindowEntries()) {
    const FilterTypeId type = entry.typeId;
    const QString caption = Qs(std::string(entry.caption));
    QAction* command = AddCommand(filters, Qs("filter" + std::to_string(type)), Qs(std::string(entry.menuCommand)),
                                  Qs(std::string(entry.statusTip)));
    command->setIcon(FilterIcon(type));
    connect(command, &QAction::triggered, this, [this, type, caption] { OpenFilterWindow(type, caption); });
  }
  filters->addSeparator();
  QAction* chain = AddCommand(filters, "multiFilter", "LI&VE! Multi Filter...",
                              "Run several filters in a row as one filter");
  chain->setIcon(FilterIcon(kMultiFilter));
  connect(chain, &QAction::triggered, this, [this] { OpenChainWindow(); });
  connect(AddCommand(filters, "batchEditor", "Run a filter on multiple files",
                     "Run one filter with one preset over a list of wave files"),
          &QAction::triggered, this, [this] { OpenBatchWindow(); });
}

void CMainFrame::BuildTransport() {
  QMenu* transport = menuBar()->addMenu(QStringLiteral("&Transport"));
  QToolBar* bar = addToolBar(QStringLiteral("Transport"));
  bar->setObjectName(QStringLiteral("transport"));
  const struct {
    const char* name;
    const char* text;
    const char* tip;
    QStyle::StandardPixmap icon;
    void (CMainFrame::*command)();
  } buttons[] = {
      {"play", "&Play/Pause", "Play the selection of the active pane, or pause", QStyle::SP_MediaPlay,
       &CMainFrame::PlayPause},
      {"stop", "&Stop", "Stop playback or the filter run", QStyle::SP_MediaStop, &CMainFrame::Stop},
      {"rewind", "&Rewind", "Show the start of the file", QStyle::SP_MediaSkipBackward, &CMainFrame::Rewind},
      {"fastForward", "&Fast Forward", "Show the end of the file", QStyle::SP_MediaSkipForward,
       &CMainFrame::FastForward},
  };
  for (const auto& button : buttons) {
    QAction* action = AddCommand(transport, button.name, button.text, button.tip);
    action->setIcon(style()->standardIcon(button.icon));
    bar->addAction(action);
    connect(action, &QAction::triggered, this, button.command);
  }
  transport->addSeparator();
  connect(AddCommand(transport, "playStop", "Play/S&top", "Play the active pane, or stop what plays"),
          &QAction::triggered, this, &CMainFrame::PlayStop);
  Command("playStop")->setShortcut(QKeySequence(Qt::Key_Space));
}

bool CMainFrame::OpenDocument(const QString& path) { return OpenDocumentWindow(path, false); }

bool CMainFrame::OpenRecoveredDocument(const QString& path) { return OpenDocumentWindow(path, true); }

bool CMainFrame::OpenDocumentWindow(const QString& path, bool recovered) {
  const QString absolute = QFileInfo(path).absoluteFilePath();
  for (CChildFrame* child : Children()) {
    if (Qs(child->Document().SourceName()) == absolute) {
      m_area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(child->parentWidget()));
      return true;
    }
  }
  auto* child = new CChildFrame(m_core, absolute.toStdString());
  if (!child->Opened()) {
    delete child;
    if (!recovered) m_recent.Remove(absolute.toStdString());
    return false;
  }
  child->Document().SetSourceIsTemporary(recovered);
  child->SetCloseGuard([this](CChildFrame& closing) { return m_closing || ConfirmClose(closing); });
  QMdiSubWindow* window = m_area->addSubWindow(child);
  connect(child, &CChildFrame::statusText, this, [this](const QString& text) {
    if (text.isEmpty())
      statusBar()->showMessage(QStringLiteral("Ready"));
    else
      statusBar()->showMessage(text);
    statusBar()->repaint();
  });
  connect(child, &CChildFrame::documentChanged, this, &CMainFrame::UpdateCommands);
  m_displays->WatchChild(child);
  // The panes' context menu: "Copy", "Paste Over" and "Mute" on the active pane's selection.
  connect(&child->View(), &DocumentView::editRequested, this, [this](const QString& command) {
    if (command == QLatin1String("Copy"))
      m_editMenu->Copy();
    else if (command == QLatin1String("Paste Over"))
      m_editMenu->PasteOver();
    else if (command == QLatin1String("Mute"))
      m_editMenu->Mute();
  });
  connect(child, &QObject::destroyed, this, [this] { UpdateCommands(); });
  window->resize(m_area->size() * 0.9);
  window->show();
  window->showMaximized();
  if (!recovered) {
    m_recent.Add(absolute.toStdString());
    RememberPath(absolute);
  }
  UpdateCommands();
  ShowLengthRecovered(absolute.toStdString());
  return true;
}

void CMainFrame::ShowLengthRecovered(const std::string& path) {
  // A file left by a writer that was killed opens with the length it holds; say so.
  WaveStream probe(64, 0, m_core.Run());
  if (probe.Open(path, kOpenRead) == kStreamOk && probe.LengthRecovered())
    statusBar()->showMessage(Qs(std::string(StringText(StringId::kLengthRecovered))));
  probe.Close();
}

CChildFrame* CMainFrame::ActiveChild() const {
  QMdiSubWindow* window = m_area->currentSubWindow();
  if (window == nullptr) {
    const QList<QMdiSubWindow*> windows = m_area->subWindowList();
    if (windows.isEmpty()) return nullptr;
    window = windows.back();
  }
  return qobject_cast<CChildFrame*>(window->widget());
}

QList<CChildFrame*> CMainFrame::Children() const {
  QList<CChildFrame*> children;
  for (QMdiSubWindow* window : m_area->subWindowList())
    if (auto* child = qobject_cast<CChildFrame*>(window->widget()); child != nullptr) children.push_back(child);
  return children;
}

QDialog* CMainFrame::FilterWindow(FilterTypeId type) const {
  const FilterTypeId shared = SharedFilterWindowType(type);
  const QPointer<QDialog> window = m_filterWindows.value(shared);
  return window.data();
}

QDialog* CMainFrame::OpenFilterWindow(FilterTypeId type, const QString& caption) {
  const FilterTypeId shared = SharedFilterWindowType(type);
  QDialog* window = FilterWindow(type);
  if (window == nullptr) {
    window = MakeFilterWindow(type, *this, this);
    if (window == nullptr) return nullptr;
    m_filterWindows.insert(shared, window);
  }
  SwitchFilterWindow(*window, type);
  if (!caption.isEmpty()) window->setWindowTitle(caption);
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

MultiFilterWindow* CMainFrame::OpenChainWindow() {
  if (m_chainWindow == nullptr) {
    m_chainWindow = new MultiFilterWindow(*this, this);
    m_chainWindow->setAttribute(Qt::WA_DeleteOnClose);
    // The Input node (and "Live Preview", first) opens the recording window in live layout;
    // "Live Preview" then starts live input and runs the chain on it.
    connect(m_chainWindow, &MultiFilterWindow::liveRequested, this, [this] { OpenRecordingWindow(true); });
    connect(&m_chainWindow->LiveButton(), &QPushButton::clicked, this, [this] { StartLivePreview(); });
    connect(m_chainWindow, &QDialog::finished, this, [this] {
      if (m_recordingWindow != nullptr && m_recordingWindow->LiveLayout()) m_recordingWindow->close();
    });
  }
  m_chainWindow->show();
  m_chainWindow->raise();
  m_chainWindow->activateWindow();
  return m_chainWindow.data();
}

MultiFilterWindow* CMainFrame::ChainWindow() const { return m_chainWindow.data(); }

BatchWindow* CMainFrame::OpenBatchWindow() {
  if (m_batchWindow == nullptr) {
    m_batchWindow = new BatchWindow(*this, this);
    m_batchWindow->setAttribute(Qt::WA_DeleteOnClose);
  }
  m_batchWindow->show();
  m_batchWindow->raise();
  m_batchWindow->activateWindow();
  return m_batchWindow.data();
}

BatchWindow* CMainFrame::BatchEditor() const { return m_batchWindow.data(); }

QWidget* CMainFrame::OpenBatchDocument(const std::string& path, bool& openedNow) {
  const QString absolute = QFileInfo(Qs(path)).absoluteFilePath();
  const auto find = [this, &absolute]() -> CChildFrame* {
    for (CChildFrame* child : Children())
      if (Qs(child->Document().SourceName()) == absolute) return child;
    return nullptr;
  };
  openedNow = find() == nullptr;
  if (!OpenDocument(absolute)) return nullptr;
  // Opening makes the document the active one, whatever its source's spelling became.
  CChildFrame* child = find();
  return child != nullptr ? child : ActiveChild();
}

void CMainFrame::ActivateBatchDocument(QWidget& document) {
  if (auto* window = qobject_cast<QMdiSubWindow*>(document.parentWidget()); window != nullptr)
    m_area->setActiveSubWindow(window);
}

BatchSource CMainFrame::SourceOf(QWidget& document) {
  auto* child = qobject_cast<CChildFrame*>(&document);
  if (child == nullptr) return {};
  const WavePane& source = child->View().State().Pane(PaneId::Source);
  const auto blockAlign = static_cast<uint32_t>(source.BlockAlign());
  return {source.DataLength(), source.SampleRate() * blockAlign, blockAlign};
}

void CMainFrame::SelectInSource(QWidget& document, uint64_t start, uint64_t end) {
  auto* child = qobject_cast<CChildFrame*>(&document);
  if (child == nullptr) return;
  child->View().State().Pane(PaneId::Source).SetSelection(start, end);
  child->View().SetActivePane(PaneId::Source);
  child->View().PanesChanged();
}

bool CMainFrame::NormalizeSourceSelection(QWidget& document) {
  auto* child = qobject_cast<CChildFrame*>(&document);
  if (child == nullptr) return false;
  const WavePane& source = child->View().State().Pane(PaneId::Source);
  const EditTarget target{child->Document(), kPaneSource, source.FileName(), source.SelectionStart(),
                          source.SelectionEnd()};
  // The batch asked its one question; each file is raised to 0 dB without the plain one.
  const EditOutcome outcome = NormalizeSelection(target, NormalizeSettings{true, 0.0});
  if (outcome.changed)
    child->View().RebuildPane(PaneId::Source, outcome.rebuildFrom, outcome.lengthChanged ? 0 : outcome.rebuildTo);
  UpdateCommands();
  return !outcome.failed;
}

bool CMainFrame::SaveBatchDestination(QWidget& document, const std::string& path) {
  auto* child = qobject_cast<CChildFrame*>(&document);
  if (child == nullptr || child->Document().DestinationName().empty()) return false;
  // At the destination's own width: a copy, whole or not at all.
  const bool saved = ztlive::SaveDestinationAs(child->Document(), path, 0, m_core.Run()) == 1;
  child->ShowDocumentFiles();
  UpdateCommands();
  return saved;
}

void CMainFrame::CloseBatchDocument(QWidget& document) {
  if (auto* window = qobject_cast<QMdiSubWindow*>(document.parentWidget()); window != nullptr) window->close();
}

RecordingWindow* CMainFrame::OpenRecordingWindow(bool live) {
  if (m_recordingWindow == nullptr) {
    m_recordingWindow =
        new RecordingWindow(m_core.Environment(), m_core.Run(), m_core.Settings(), m_core.GetPrompts(), this);
    m_recordingWindow->setAttribute(Qt::WA_DeleteOnClose);
    m_recordingWindow->SetDocumentOpener([this](const std::string& path) { return OpenDocument(Qs(path)); });
    // A widget signals its destruction before the pointer to it is cleared; it is cleared
    // here first, so that nothing reaches the half-destroyed window through it.
    connect(m_recordingWindow, &QObject::destroyed, this, [this] {
      m_recordingWindow.clear();
      UpdateCommands();
    });
  }
  m_recordingWindow->show();  // shown first, so that its frame counts in the placing
  if (live) m_recordingWindow->SetLiveMode(true, m_chainWindow.data());
  m_recordingWindow->raise();
  UpdateCommands();
  return m_recordingWindow.data();
}

RecordingWindow* CMainFrame::RecordWindow() const { return m_recordingWindow.data(); }

int CMainFrame::StartLivePreview() {
  MultiFilterWindow* chain = m_chainWindow.data();
  if (chain == nullptr || chain->RunInProgress() || m_core.Filters().RunBusy()) return 0;
  RecordingWindow* recording = OpenRecordingWindow(true);
  if (!LiveInputRunning()) recording->Record();
  if (!LiveInputRunning()) return 0;  // the recording window has said why
  return chain->RunFilter();
}

bool CMainFrame::LiveInputRunning() { return m_core.Run().liveInput != 0 && m_core.Engine().InputOpen(); }

void CMainFrame::RefreshLogDocuments() {
  const std::string log = m_core.Settings().Read(setting::kLogFileName);
  if (log.empty() || !FileExists(log)) return;
  bool peaksBuilt = false;
  for (CChildFrame* child : Children()) {
    const CZantoDoc& document = child->Document();
    if (!SameFile(document.SourceName(), log) && !SameFile(document.DestinationName(), log)) continue;
    if (!peaksBuilt) {
      PeakFile(log, m_core.Run(), m_core.GetPrompts()).Build(0, 0);
      peaksBuilt = true;
    }
    child->RefreshAll();
  }
}

int CMainFrame::RunChainOverDocument(FilterChain& chain, bool preview) {
  if (LiveInputRunning()) {
    // Live input runs: the chain runs on it, to the output device and the log file.
    const bool logging = m_core.Run().logToFile != 0;
    const int result = RunChain(m_core.Filters(), chain, nullptr, false);
    if (logging) RefreshLogDocuments();
    UpdateCommands();
    return result;
  }
  CChildFrame* child = ActiveChild();
  if (child == nullptr) return 0;
  CZantoDoc& document = child->Document();
  // As for a single filter: a destination that does not exist yet is written as a new file.
  const bool fresh = !preview && (document.DestinationName().empty() || !FileExists(document.DestinationName()));
  const int syncMode = document.SyncMode();
  if (fresh) document.SetSyncMode(0);
  const int result = RunChain(m_core.Filters(), chain, child, preview);
  if (fresh) document.SetSyncMode(syncMode);
  if (result == 1 && !preview) child->ShowDocumentFiles();
  UpdateCommands();
  return result;
}

bool CMainFrame::RunBusy() { return m_core.Filters().RunBusy(); }

int CMainFrame::RunFilterFromWindow(FilterTypeId type, RunDialog* dialog, bool preview, const PresetValues& values) {
  // While live input runs, "Run Filter" runs the filter live.
  if (LiveInputRunning()) return m_core.Filters().RunFilter(nullptr, type, dialog, false, -1, values);
  CChildFrame* child = ActiveChild();
  if (child == nullptr) return 0;
  CZantoDoc& document = child->Document();
  // A destination that does not exist yet has no positions to mirror: the first run writes
  // the region as a new file, whatever the sync mode.
  const bool fresh = !preview && (document.DestinationName().empty() || !FileExists(document.DestinationName()));
  const int syncMode = document.SyncMode();
  if (fresh) document.SetSyncMode(0);
  const int result = m_core.Filters().RunFilter(child, type, dialog, preview, -1, values);
  if (fresh) document.SetSyncMode(syncMode);
  if (result == 1 && !preview) child->ShowDocumentFiles();
  UpdateCommands();
  return result;
}

ProgressWindow* CMainFrame::Progress() const { return m_progress.data(); }

FileRunSettings& CMainFrame::FileRun() { return m_core.Filters().FileRun(); }
RunState& CMainFrame::Run() { return m_core.Run(); }
SettingsStore& CMainFrame::Settings() { return m_core.Settings(); }
Prompts& CMainFrame::WindowPrompts() { return m_core.GetPrompts(); }

void CMainFrame::ShowProgress(ProgressModel* model) {
  if (model == nullptr) {
    delete m_progress.data();
    return;
  }
  delete m_progress.data();
  m_progress = new ProgressWindow(*model, m_core.Run(), this);
  m_progress->setAttribute(Qt::WA_DeleteOnClose);
  m_progress->show();
}

bool CMainFrame::TransportActsOnRecording() {
  // A filter run over a file is stopped by the transport as ever; a live run is the
  // recording window's.
  return m_recordingWindow != nullptr && !(m_core.Filters().RunBusy() && !LiveInputRunning());
}

void CMainFrame::PlayPause() {
  if (TransportActsOnRecording()) {
    // Play acts as "&Record", Pause as "&Preview" (recording or live input pauses).
    const int state = m_core.Run().engineState;
    if (m_core.Engine().InputOpen() && (state == 183 || state == 237))
      m_recordingWindow->Preview();
    else
      m_recordingWindow->Record();
    return;
  }
  RunState& run = m_core.Run();
  DeviceEngine& engine = m_core.Engine();
  if (m_core.Filters().RunBusy()) {
    m_core.Filters().RequestStop();
    return;
  }
  CChildFrame* child = ActiveChild();
  if (run.engineState == kEnginePlaying) {
    engine.PauseOutput();
    return;
  }
  if (run.engineState == kEnginePaused) {
    engine.RestartOutput();
    if (child != nullptr) child->View().StartCursorTimer();
    return;
  }
  if (child == nullptr) return;
  const WavePane& pane = child->View().State().Active();
  if (pane.FileName().empty() || pane.SelectionEnd() <= pane.SelectionStart()) return;
  run.stopRequested.store(0);  // a stop left by an earlier playback must not end this one
  if (engine.PlayFileRegion(pane.FileName(), static_cast<uint32_t>(pane.SelectionStart()),
                            static_cast<uint32_t>(pane.SelectionEnd())) == 0)
    child->View().StartCursorTimer();
}

void CMainFrame::PlayStop() {
  const int state = m_core.Run().engineState;
  const bool playing = state == kEnginePlaying || state == kEnginePaused;
  if (playing || m_core.Filters().RunBusy() || (TransportActsOnRecording() && m_core.Engine().InputOpen())) {
    Stop();
    return;
  }
  // With the recording window open, Space never starts a recording by itself.
  if (TransportActsOnRecording()) return;
  if (CChildFrame* child = ActiveChild(); child != nullptr) child->View().PlaySelection();
}

void CMainFrame::Stop() {
  if (TransportActsOnRecording()) {
    m_recordingWindow->Stop();  // also ends a live run
    return;
  }
  if (m_core.Filters().RunBusy()) {
    m_core.Filters().RequestStop();
    return;
  }
  if (CChildFrame* child = ActiveChild(); child != nullptr) {
    child->View().StopPlayback();
    return;
  }
  m_core.Run().stopRequested.store(1);
  m_core.Engine().CloseOutput();
}

void CMainFrame::Rewind() {
  if (m_recordingWindow != nullptr) {
    m_recordingWindow->Rewind();
    return;
  }
  if (CChildFrame* child = ActiveChild(); child != nullptr) child->View().Rewind();
}

void CMainFrame::FastForward() {
  if (CChildFrame* child = ActiveChild(); child != nullptr) child->View().FastForward();
}

QString CMainFrame::AskFileName(const QString& caption, const QString& suggestion, bool saving, int* bitsPerSample) {
  if (saving) {
    SaveDestinationDialog dialog(this, caption, suggestion, bitsPerSample != nullptr ? *bitsPerSample : 16,
                                 bitsPerSample != nullptr);
    if (dialog.exec() != QDialog::Accepted) return QString();
    if (bitsPerSample != nullptr) *bitsPerSample = dialog.BitsPerSample();
    return dialog.ChosenPath();
  }
  QFileDialog dialog(this, caption, suggestion, QStringLiteral("Wave files (*.wav);;All files (*)"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().front();
}

void CMainFrame::RememberPath(const QString& path) { m_core.Settings().Write(setting::kLastPath, path.toStdString()); }

void CMainFrame::OpenFileCommand() {
  const QString last = Qs(m_core.Settings().Read(setting::kLastPath));
  const QString path = AskFileName(QStringLiteral("Open"), last.isEmpty() ? QString() : QFileInfo(last).path(),
                                   false, nullptr);
  if (!path.isEmpty()) OpenDocument(path);
}

void CMainFrame::FillRecentMenu() {
  m_recentMenu->clear();
  int number = 1;
  for (const std::string& file : m_recent.Files()) {
    const QString path = Qs(file);
    QAction* action = m_recentMenu->addAction(QStringLiteral("&%1 %2").arg(number++).arg(path));
    connect(action, &QAction::triggered, this, [this, path] { OpenDocument(path); });
  }
  m_recentMenu->setEnabled(!m_recent.Files().empty());
}

void CMainFrame::FillUndoMenu() {
  m_undoMenu->clear();
  CChildFrame* child = ActiveChild();
  if (child == nullptr) {
    m_undoMenu->addAction(QStringLiteral("No Undo's Available"))->setEnabled(false);
    return;
  }
  for (const UndoMenuItem& item : child->Document().Undo().MenuItems()) {
    QAction* action = m_undoMenu->addAction(Qs(item.text));
    action->setEnabled(item.enabled && item.routed);
    const int index = item.commandId - UndoStore::kFirstCommandId;
    connect(action, &QAction::triggered, this, [this, index] { ApplyUndoEntry(index); });
  }
}

void CMainFrame::ApplyUndoEntry(int index) {
  CChildFrame* child = ActiveChild();
  if (child == nullptr) return;
  UndoStore& undo = child->Document().Undo();
  if (index < 0 || index >= undo.Count()) return;
  const UndoEntry entry = undo.Entry(index);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  uint32_t start = 0;
  uint32_t end = 0;
  const int action = undo.ApplyUndo(index, start, end);
  if (action >= 0) undo.RemoveUndoEntry(index);
  QApplication::restoreOverrideCursor();
  if (action < 0) return;
  // A restored cut, and a run whose growth was cut off, change the length from the start on.
  const bool lengthChanged = action == kUndoCut || action == kUndoPasteInsert || action == kUndoFilter;
  // The pane that shows the restored file (the destination may have changed since).
  for (const PaneId pane : {PaneId::Source, PaneId::Destination})
    if (child->View().State().Pane(pane).FileName() == entry.target)
      child->View().RebuildPane(pane, start, lengthChanged ? 0 : end);
  UpdateCommands();
}

DeviceEngine& CMainFrame::Devices() { return m_core.Engine(); }

void CMainFrame::OpenPlaylist(const QStringList& files) {
  if (files.isEmpty()) {
    RunPlaylistEditor(*this, this);
    return;
  }
  const QString path = AskPlaylistPath(this, QFileInfo(files.front()).absolutePath());
  if (!path.isEmpty()) RunPlaylistEditor(*this, path, files, this);
}

void CMainFrame::UpdateCommands() {
  if (m_closing) return;
  m_editMenu->UpdateCommands();
  CChildFrame* child = ActiveChild();
  const bool hasDocument = child != nullptr;
  const bool hasDestination = hasDocument && !child->Document().DestinationName().empty() &&
                              FileExists(child->Document().DestinationName());
  for (const char* name : {"close", "zoomIn", "zoomOut", "zoomOutFull", "rewind", "fastForward", "syncMode",
                           "selectAll", "caretToStart", "caretToEnd", "playStop"})
    Command(name)->setEnabled(hasDocument);
  if (m_recordingWindow != nullptr) Command("rewind")->setEnabled(true);  // resets its elapsed time
  for (const char* name : {"saveDestinationAs", "makeDestinationTheSource", "discardDestination"})
    Command(name)->setEnabled(hasDestination);
  Command("syncMode")->setChecked(hasDocument && child->Document().SyncMode() != 0);
}

void CMainFrame::SaveDestinationAs() {
  if (CChildFrame* child = ActiveChild(); child != nullptr) SaveDestinationOf(*child);
}

bool CMainFrame::SaveDestinationOf(CChildFrame& child) {
  CZantoDoc& document = child.Document();
  if (document.DestinationName().empty()) return false;
  const WavePane& destination = child.View().State().Pane(PaneId::Destination);
  int bits = destination.Channels() > 0 ? 8 * destination.BlockAlign() / destination.Channels() : 16;
  const QString path =
      AskFileName(QStringLiteral("Save Destination As"), Qs(SuggestDestinationName(document)), true, &bits);
  if (path.isEmpty()) return false;
  RememberPath(path);
  const bool saved = ztlive::SaveDestinationAs(document, path.toStdString(), bits, m_core.Run()) == 1;
  child.ShowDocumentFiles();
  UpdateCommands();
  return saved;
}

bool CMainFrame::SaveRecoveredSource(CChildFrame& child) {
  CZantoDoc& document = child.Document();
  const QString last = Qs(m_core.Settings().Read(setting::kLastPath));
  const QString folder = last.isEmpty() ? QDir::homePath() : QFileInfo(last).path();
  const std::string suggestion = MakeNumberedName(JoinPath(folder.toStdString(), "recovered.wav"), 1);
  const QString path = AskFileName(Qs(std::string(StringText(StringId::kSaveRecoveredCaption))), Qs(suggestion),
                                   true, nullptr);
  if (path.isEmpty()) return false;
  const bool saved = SaveTemporarySource(document, path.toStdString()) == 1;
  child.ShowDocumentFiles();
  UpdateCommands();
  return saved;
}

bool CMainFrame::ConfirmClose(CChildFrame& child) {
  CZantoDoc& document = child.Document();
  const auto ask = [this](StringId question, const std::string& name) {
    return m_core.GetPrompts().Ask(FormatText(question, {name}),
                                   std::string(StringText(StringId::kCaptionUnsavedAudio)),
                                   PromptButtons::YesNoCancel, PromptIcon::Question);
  };
  if (document.SourceIsTemporary() && FileExists(document.SourceName())) {
    const PromptAnswer answer = ask(StringId::kCloseSaveRecovered, document.SourceName());
    if (answer == PromptAnswer::Cancel) return false;
    if (answer == PromptAnswer::Yes && !SaveRecoveredSource(child)) return false;
  }
  if (document.DestinationIsTemporary() && FileExists(document.DestinationName())) {
    const PromptAnswer answer = ask(StringId::kCloseSaveDestination, document.SourceName());
    if (answer == PromptAnswer::Cancel) return false;
    if (answer == PromptAnswer::Yes && !SaveDestinationOf(child)) return false;
  }
  return true;  // what is still temporary goes with the window
}

void CMainFrame::MakeDestinationTheSource() {
  CChildFrame* child = ActiveChild();
  if (child == nullptr || child->Document().DestinationName().empty()) return;
  CZantoDoc& document = child->Document();
  std::string path;
  if (document.DestinationIsTemporary()) {
    const QString chosen =
        AskFileName(QStringLiteral("Make Destination the Source"), Qs(SuggestDestinationName(document)), true, nullptr);
    if (chosen.isEmpty()) return;
    RememberPath(chosen);
    path = chosen.toStdString();
  }
  const std::string opened = ztlive::MakeDestinationTheSource(document, path);
  child->ShowDocumentFiles();
  if (!opened.empty()) OpenDocument(Qs(opened));
  UpdateCommands();
}

void CMainFrame::DiscardDestination() {
  CChildFrame* child = ActiveChild();
  if (child == nullptr) return;
  ztlive::DiscardDestination(child->Document());
  child->ShowDocumentFiles();
  UpdateCommands();
}

void CMainFrame::RestorePlacement() {
  const std::string text = m_core.Settings().Read(setting::kWindowPos);
  if (const std::optional<WindowPlacement> placement = ParseWindowPlacement(text); placement.has_value()) {
    const QRect normal(placement->left, placement->top, placement->right - placement->left,
                       placement->bottom - placement->top);
    if (normal.width() > 0 && normal.height() > 0) setGeometry(normal);
    if (placement->showState == WindowPlacement::kShowMaximized) setWindowState(Qt::WindowMaximized);
  }
  const std::string toolbars = m_core.Settings().ReadText(kToolbarSection, kToolbarKey, "");
  if (!toolbars.empty()) restoreState(QByteArray::fromBase64(QByteArray::fromStdString(toolbars)));
}

void CMainFrame::SavePlacement() {
  if (isMinimized()) return;
  const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
  WindowPlacement placement;
  placement.showState = isMaximized() ? WindowPlacement::kShowMaximized : WindowPlacement::kShowNormal;
  placement.left = normal.left();
  placement.top = normal.top();
  placement.right = normal.left() + normal.width();
  placement.bottom = normal.top() + normal.height();
  m_core.Settings().Write(setting::kWindowPos, FormatWindowPlacement(placement));
  m_core.Settings().WriteText(kToolbarSection, kToolbarKey, saveState().toBase64().toStdString());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (m_batchWindow != nullptr && m_batchWindow->Running()) {
    // The batch ends after its current file (whose run is asked to stop too); the window
    // closes when asked again.
    m_batchWindow->RequestStop();
    if (m_core.Filters().RunBusy()) m_core.Filters().RequestStop();
    event->ignore();
    return;
  }
  if (m_core.Filters().RunBusy()) {
    // The run returns to this loop first; the window closes when asked again.
    m_core.Filters().RequestStop();
    event->ignore();
    return;
  }
  // A recording not yet saved is asked about first; keeping it keeps the program running.
  if (m_recordingWindow != nullptr && !m_recordingWindow->close()) {
    event->ignore();
    return;
  }
  SavePlacement();
  m_core.Run().stopRequested.store(1);
  m_core.Engine().CloseOutput();
  m_area->closeAllSubWindows();
  // A document whose unsaved audio the user kept stops the quit.
  if (!m_area->subWindowList().isEmpty()) {
    event->ignore();
    return;
  }
  event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) OpenDocument(url.toLocalFile());
  event->acceptProposedAction();
}

}  // namespace ztlive
