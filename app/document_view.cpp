#include "app/document_view.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

namespace ztlive {

namespace {

constexpr int kEngineRecording = 183;
constexpr int kEngineRecordingAndPlaying = 237;

QColor SettingColour(const SettingsStore& settings, const IntSetting& red, const IntSetting& green,
                     const IntSetting& blue) {
  return QColor(std::clamp(settings.Read(red), 0, 255), std::clamp(settings.Read(green), 0, 255),
                std::clamp(settings.Read(blue), 0, 255));
}

uint32_t DeviceOffset(uint64_t offset) {
  return static_cast<uint32_t>(std::min<uint64_t>(offset, std::numeric_limits<uint32_t>::max()));
}

}  // namespace

DocumentView::DocumentView(RunState& run, Prompts& prompts, DeviceEngine& devices, SettingsStore& settings,
                           QWidget* parent)
    : QWidget(parent), m_run(run), m_prompts(prompts), m_devices(devices), m_settings(settings), m_state(run, prompts) {
  auto* splitter = new QSplitter(Qt::Vertical, this);
  m_splitter = splitter;
  splitter->setChildrenCollapsible(false);
  for (const PaneId id : {PaneId::Source, PaneId::Destination}) {
    auto* pane = new WavePaneWidget(m_state, id, splitter);
    m_panes[static_cast<size_t>(id)] = pane;
    splitter->addWidget(pane);
    connect(pane, &WavePaneWidget::pressStarting, this, &DocumentView::StopPlayback);
    connect(pane, &WavePaneWidget::interacted, this, &DocumentView::PanesChanged);
    connect(pane, &WavePaneWidget::contextMenuRequested, this,
            [this, id](quint64 offset, QPoint where) { OnContextMenu(id, offset, where); });
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(splitter);

  m_cursorTimer.setInterval(kCursorTimerMs);
  connect(&m_cursorTimer, &QTimer::timeout, this, &DocumentView::OnCursorTimer);
  BuildMenu();
  ApplyDisplaySettings();
  PanesChanged();
}

// The panes use the state this view owns: they go before it does.
DocumentView::~DocumentView() { delete m_splitter; }

void DocumentView::BuildMenu() {
  m_menu = new QMenu(this);
  const auto add = [this](const QString& text, auto slot) {
    connect(m_menu->addAction(text), &QAction::triggered, this, slot);
  };
  add("Play from here", [this] { PlayFrom(m_contextOffset); });
  m_menu->addSeparator();
  add("Zoom In", [this] { ZoomIn(); });
  add("Zoom Out", [this] { ZoomOut(); });
  add("Zoom Out Full", [this] { ZoomOutFull(); });
  m_menu->addSeparator();
  for (const char* command : {"Copy", "Paste Over", "Mute"})
    add(command, [this, command] { emit editRequested(QString::fromLatin1(command)); });
  m_menu->addSeparator();
  add("Add a Marker", [this] { AddMarker(m_contextOffset); });
  add("Delete Marker", [this] { DeleteMarker(); });
}

QAction* DocumentView::MenuAction(const QString& text) const {
  for (QAction* action : m_menu->actions())
    if (action->text() == text) return action;
  return nullptr;
}

void DocumentView::ApplyDisplaySettings() {
  PaneColours colours;
  colours.background = SettingColour(m_settings, setting::kBkColorR, setting::kBkColorG, setting::kBkColorB);
  colours.highlight = SettingColour(m_settings, setting::kFgColorR, setting::kFgColorG, setting::kFgColorB);
  const bool clean = m_settings.Read(setting::kCleanDisp) != 0;
  for (WavePaneWidget* pane : m_panes) {
    pane->SetColours(colours);
    pane->SetCleanDisplay(clean);
  }
}

void DocumentView::SetActivePane(PaneId id) {
  m_state.SetActivePane(id);
  PanesChanged();
}

void DocumentView::ShowFiles(const std::string& source, const std::string& destination) {
  const std::array<const std::string*, 2> names{&source, &destination};
  for (const PaneId id : {PaneId::Source, PaneId::Destination}) {
    WavePane& pane = m_state.Pane(id);
    const std::string& name = *names[static_cast<size_t>(id)];
    if (!name.empty() && name == pane.FileName())
      pane.Reload();
    else
      pane.Open(name);
  }
  // The active pane should be one that shows a file.
  if (m_state.Active().FileName().empty() && !m_state.Pane(PaneId::Source).FileName().empty())
    m_state.SetActivePane(PaneId::Source);
  PanesChanged();
}

void DocumentView::RefreshPane(PaneId id) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  m_state.Pane(id).Reload();
  QApplication::restoreOverrideCursor();
  PanesChanged();
}

void DocumentView::RebuildPane(PaneId id, uint64_t from, uint64_t to) {
  const std::string& file = m_state.Pane(id).FileName();
  if (!file.empty()) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    PeakFile(file, m_run, m_prompts).Build(from, to);
    QApplication::restoreOverrideCursor();
  }
  RefreshPane(id);
}

void DocumentView::RefreshPanes() {
  RefreshPane(PaneId::Source);
  RefreshPane(PaneId::Destination);
}

void DocumentView::SetSync(bool syncMode) { m_state.SetSync(syncMode, m_settings.Read(setting::kSyncHScroll) != 0); }

void DocumentView::StartCursorTimer() { m_cursorTimer.start(); }

void DocumentView::StopCursorTimer() { m_cursorTimer.stop(); }

bool DocumentView::PlaybackActive() const {
  const int state = m_run.engineState;
  return state == kEnginePlaying || state == kEnginePaused || state == kEngineRecordingAndPlaying;
}

void DocumentView::StopPlayback() {
  if (!PlaybackActive()) return;
  const bool recording = m_run.engineState == kEngineRecordingAndPlaying;
  m_run.stopRequested = 1;
  m_devices.CloseOutput();
  // Closing the output leaves the engine idle; a recording that was running goes on.
  if (recording) m_run.engineState = kEngineRecording;
  StopCursorTimer();
}

void DocumentView::OnCursorTimer() {
  if (!PlaybackActive() || !m_devices.CheckOutput() || !m_devices.OutputOpen()) {
    StopCursorTimer();
    return;
  }
  m_state.Active().SetCursor(m_devices.PlayPosition());
  PanesChanged();
}

int DocumentView::PlayFrom(uint64_t offset) {
  const WavePane& pane = m_state.Active();
  if (pane.FileName().empty() || offset >= pane.DataLength()) return -1;
  StopPlayback();
  m_run.stopRequested = 0;  // a stop of an earlier playback must not hold this one
  const int result = m_devices.PlayFileRegion(pane.FileName(), DeviceOffset(offset), 0);
  if (result == 0) StartCursorTimer();
  return result;
}

int DocumentView::PlaySelection() {
  const WavePane& pane = m_state.Active();
  if (pane.FileName().empty()) return -1;
  if (pane.SelectionEnd() <= pane.SelectionStart())
    return pane.Cursor() >= 0 ? PlayFrom(static_cast<uint64_t>(pane.Cursor())) : -1;
  StopPlayback();
  m_run.stopRequested = 0;
  const int result =
      m_devices.PlayFileRegion(pane.FileName(), DeviceOffset(pane.SelectionStart()), DeviceOffset(pane.SelectionEnd()));
  if (result == 0) StartCursorTimer();
  return result;
}

void DocumentView::Rewind() {
  m_state.Rewind();
  PanesChanged();
}

void DocumentView::FastForward() {
  m_state.FastForward();
  PanesChanged();
}

void DocumentView::ZoomIn() {
  m_state.ZoomIn();
  PanesChanged();
}

void DocumentView::ZoomOut() {
  m_state.ZoomOut();
  PanesChanged();
}

void DocumentView::ZoomOutFull() {
  m_state.ZoomOutFull();
  PanesChanged();
}

void DocumentView::SelectAll() {
  WavePane& pane = m_state.Active();
  pane.SetSelection(0, pane.DataLength());
  PanesChanged();
}

void DocumentView::CaretToStart() {
  m_state.Rewind();
  m_state.Active().SetCursor(0);
  PanesChanged();
}

void DocumentView::CaretToEnd() {
  m_state.FastForward();
  WavePane& pane = m_state.Active();
  pane.SetCursor(static_cast<int64_t>(pane.DataLength()));
  PanesChanged();
}

void DocumentView::AddMarker(uint64_t offset) {
  WavePane& pane = m_state.Active();
  PeakFile* markers = pane.Markers();
  if (markers == nullptr) return;
  const auto position = DeviceOffset(std::min(offset, pane.DataLength()) / static_cast<uint64_t>(pane.BlockAlign()) *
                                     static_cast<uint64_t>(pane.BlockAlign()));
  // Adding sorts the table: the selection follows its marker to the marker's new index.
  const int selected = pane.SelectedMarker();
  const bool hasSelected = selected >= 0 && selected < markers->MarkerCount();
  const uint32_t selectedAt = hasSelected ? markers->MarkerPosition(selected) : 0;
  if (markers->AddMarker(position) == 1 && hasSelected && position < selectedAt) pane.SetSelectedMarker(selected + 1);
  PanesChanged();
}

void DocumentView::DeleteMarker() {
  WavePane& pane = m_state.Active();
  PeakFile* markers = pane.Markers();
  // Index -1 would clear the whole table: without a selected marker nothing is deleted.
  if (markers == nullptr || pane.SelectedMarker() < 0 || pane.SelectedMarker() >= markers->MarkerCount()) return;
  markers->RemoveMarker(pane.SelectedMarker());
  pane.SetSelectedMarker(-1);
  PanesChanged();
}

void DocumentView::OnContextMenu(PaneId id, quint64 offset, QPoint globalPosition) {
  StopPlayback();
  m_state.SetActivePane(id);
  m_contextOffset = offset;
  const WavePane& pane = m_state.Pane(id);
  const bool hasFile = !pane.FileName().empty();
  for (QAction* action : m_menu->actions()) action->setEnabled(hasFile);
  if (QAction* remove = MenuAction("Delete Marker")) remove->setEnabled(hasFile && pane.SelectedMarker() >= 0);
  PanesChanged();
  m_menu->popup(globalPosition);
}

void DocumentView::PanesChanged() {
  const PaneId active = m_state.ActivePane();
  bool selection = false;
  bool cursor = false;
  for (const PaneId id : {PaneId::Source, PaneId::Destination}) {
    const WavePane& pane = m_state.Pane(id);
    PaneMarks& last = m_lastMarks[static_cast<size_t>(id)];
    selection = selection || pane.SelectionStart() != last.selectionStart || pane.SelectionEnd() != last.selectionEnd;
    cursor = cursor || pane.Cursor() != last.cursor;
    last = {pane.SelectionStart(), pane.SelectionEnd(), pane.Cursor()};
    WavePaneWidget& widget = PaneWidget(id);
    widget.SetActive(id == active);
    widget.SyncFromPane();
  }
  const bool activeChanged = active != m_lastActive;
  m_lastActive = active;
  if (activeChanged) emit activePaneChanged();
  if (selection) emit selectionChanged();
  if (cursor) emit cursorChanged();
}

}  // namespace ztlive
