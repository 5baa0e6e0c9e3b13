#include "app/edit_menu.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QWidget>

#include "app/app_core.h"
#include "app/child_frame.h"
#include "app/edit_dialogs/crossfade_dialog.h"
#include "app/edit_dialogs/fade_dialog.h"
#include "app/edit_dialogs/insert_silence_dialog.h"
#include "app/edit_dialogs/interpolate_channels_dialog.h"
#include "app/edit_dialogs/mark_silence_dialog.h"
#include "app/edit_dialogs/normalize_scaling_dialog.h"
#include "app/edit_dialogs/paste_mix_dialog.h"
#include "app/wave_clipboard.h"
#include "document/marker_commands.h"
#include "platform/settings_store.h"

namespace ztlive {

namespace {

// The wait cursor for as long as an edit changes the file.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

UndoPane UndoPaneOf(PaneId id) { return id == PaneId::Source ? kPaneSource : kPaneDestination; }

// The marker commands work around the caret, or the selection start without one.
uint64_t MarkerReference(const WavePane& pane) {
  return pane.Cursor() >= 0 ? static_cast<uint64_t>(pane.Cursor()) : pane.SelectionStart();
}

}  // namespace

EditMenu::EditMenu(AppCore& core, QWidget* window, ActiveChildFunction activeChild, PlaylistFunction openPlaylist)
    : QObject(window),
      m_core(core),
      m_window(window),
      m_activeChild(std::move(activeChild)),
      m_openPlaylist(std::move(openPlaylist)) {
  if (QClipboard* clipboard = QGuiApplication::clipboard(); clipboard != nullptr)
    connect(clipboard, &QClipboard::dataChanged, this, &EditMenu::UpdateCommands);
}

void EditMenu::Build(QMenu* edit, const AddCommandFunction& addCommand) {
  const CommandEntry editCommands[] = {
      {"cut", "Cu&t", "Delete the selection", QKeySequence::Cut, [this] { Cut(); }, false},
      {"copy", "&Copy", "Copy the selection to the clipboard", QKeySequence::Copy, [this] { Copy(); }, false},
      {"pasteInsert", "&Paste Insert", "Insert the clipboard's audio at the selection start", QKeySequence::Paste,
       [this] { PasteInsert(); }, true},
      {"pasteOver", "Paste &Over", "Write the clipboard's audio over the selection", {}, [this] { PasteOver(); },
       true},
      {"pasteMix", "Paste &Mix...", "Mix the clipboard's audio into the selection", {}, [this] { PasteMix(); }, true},
      {"crossfade", "Cross&fade...", "Fade the clipboard's audio, or the source's selection, into the file", {},
       [this] { Crossfade(); }, false},
      {nullptr, nullptr, nullptr, {}, {}, false},
      {"mute", "M&ute", "Silence the selection", {}, [this] { Mute(); }, false},
      {"fade", "Fade/&Gain Change...", "Change the level of the selection along a curve", {}, [this] { Fade(); },
       false},
      {"normalize", "Gain &Normalize", "Raise the selection so that the file's peak is at 0 dB", {},
       [this] { Normalize(false); }, false},
      {"normalizeTo", "Normali&ze To...", "Raise the selection so that the file's peak is at a chosen level", {},
       [this] { Normalize(true); }, false},
      {"interpolate", "&Interpolate", "Rebuild a short selection from the audio around it", {},
       [this] { Interpolate(); }, false},
      {"insertSilence", "Insert &Silence...", "Insert seconds of silence", {}, [this] { InsertSilenceCommand(); },
       false},
      {"reverse", "&Reverse", "Play the selection backwards", {}, [this] { Reverse(); }, false},
  };
  AddCommands(edit, editCommands, addCommand);

  const CommandEntry markerCommands[] = {
      {"markerAtCursor", "Add Marker at &Cursor", "Add a marker at the caret", QKeySequence(Qt::Key_M),
       [this] { AddMarkerAtCursor(); }, false},
      {"markerAtSelection", "Add Marker at &Selection Start", "Add a marker where the selection starts", {},
       [this] { AddMarkerAtSelectionStart(); }, false},
      {"dropMarker", "&Drop a Marker", "Add a marker where playback is, less the reaction time",
       QKeySequence(Qt::SHIFT | Qt::Key_M), [this] { DropMarkerAtPlayPosition(); }, false},
      {nullptr, nullptr, nullptr, {}, {}, false},
      {"deleteMarker", "D&elete Marker", "Delete the selected marker", {}, [this] { DeleteSelectedMarker(); }, false},
      {"removeMarkersAtCursor", "Remove Marker at C&aret", "Delete the markers at the caret", {},
       [this] { RemoveMarkersAtCursor(); }, false},
      {"removeAllMarkers", "Remove &All Markers", "Delete every marker of the file", {},
       [this] { RemoveAllMarkersCommand(); }, false},
      {nullptr, nullptr, nullptr, {}, {}, false},
      {"nextMarker", "Goto &Next Marker", "Move the caret to the next marker", QKeySequence(Qt::CTRL | Qt::Key_Right),
       [this] { GotoMarker(true); }, false},
      {"previousMarker", "Goto &Previous Marker", "Move the caret to the previous marker",
       QKeySequence(Qt::CTRL | Qt::Key_Left), [this] { GotoMarker(false); }, false},
      {"selectBetweenMarkers", "Select &Between Markers", "Select the stretch between the markers around the caret",
       {}, [this] { SelectBetweenMarkers(); }, false},
      {"zoomToMarkers", "&Zoom to Markers", "Show the stretch between the markers around the caret", {},
       [this] { ZoomToMarkers(); }, false},
      {nullptr, nullptr, nullptr, {}, {}, false},
      {"quantizeMarkers", "&Quantize Markers for CD", "Move every marker to the start of its CD sector", {},
       [this] { QuantizeForCd(); }, false},
      {"chopAtMarkers", "C&hop at Markers...", "Split the file into one file per stretch between markers", {},
       [this] { Chop(); }, false},
      {"findSilence", "&Find and Mark Silence...", "Put a marker into every silent passage of the source", {},
       [this] { FindSilence(); }, false},
  };
  AddCommands(edit->addMenu(QStringLiteral("Mar&kers")), markerCommands, addCommand);
}

void EditMenu::AddCommands(QMenu* menu, std::span<const CommandEntry> entries, const AddCommandFunction& addCommand) {
  for (const CommandEntry& entry : entries) {
    if (entry.name == nullptr) {
      menu->addSeparator();
      continue;
    }
    QAction* action = addCommand(menu, entry.name, entry.text, entry.tip);
    if (!entry.keys.isEmpty()) action->setShortcut(entry.keys);
    connect(action, &QAction::triggered, this, entry.command);
    m_documentCommands.append(action);
    if (entry.paste) m_pasteCommands.append(action);
  }
}

void EditMenu::UpdateCommands() {
  const bool hasDocument = m_activeChild() != nullptr;
  for (QAction* action : m_documentCommands) action->setEnabled(hasDocument);
  if (!hasDocument) return;
  const bool hasWave = m_core.Clipboard().HasWave();
  for (QAction* action : m_pasteCommands) action->setEnabled(hasWave);
}

std::optional<EditMenu::Active> EditMenu::ActiveTarget() {
  CChildFrame* child = m_activeChild();
  if (child == nullptr || m_core.Filters().RunBusy()) return std::nullopt;
  child->View().StopPlayback();
  const PaneId id = child->View().ActivePane();
  const WavePane& pane = child->View().State().Pane(id);
  if (pane.FileName().empty()) return std::nullopt;
  return Active{child, id,
                EditTarget{child->Document(), UndoPaneOf(id), pane.FileName(), pane.SelectionStart(),
                           pane.SelectionEnd()}};
}

void EditMenu::Finish(const Active& active, const EditOutcome& outcome) {
  if (outcome.changed)
    active.child->View().RebuildPane(active.pane, outcome.rebuildFrom, outcome.lengthChanged ? 0 : outcome.rebuildTo);
  UpdateCommands();
}

std::string EditMenu::ClipboardWave() { return m_core.Clipboard().FetchWave(); }

void EditMenu::Cut() {
  if (auto active = ActiveTarget(); active && active->target.end > active->target.start) {
    WaitCursor wait;
    Finish(*active, CutSelection(active->target));
  }
}

void EditMenu::Copy() {
  if (auto active = ActiveTarget(); active && active->target.end > active->target.start) {
    WaitCursor wait;
    m_core.Clipboard().Copy(active->target.file, active->target.start, active->target.end);
    UpdateCommands();
  }
}

void EditMenu::PasteInsert() {
  auto active = ActiveTarget();
  if (!active) return;
  const std::string clip = ClipboardWave();
  if (clip.empty()) return;
  WaitCursor wait;
  Finish(*active, ztlive::PasteInsert(active->target, clip));
}

void EditMenu::PasteOver() {
  auto active = ActiveTarget();
  if (!active || active->target.end <= active->target.start) return;
  const std::string clip = ClipboardWave();
  if (clip.empty()) return;
  WaitCursor wait;
  Finish(*active, ztlive::PasteOver(active->target, clip));
}

void EditMenu::PasteMix() {
  auto active = ActiveTarget();
  if (!active || active->target.end <= active->target.start) return;
  const std::optional<MixSettings> mix = PasteMixDialog::Ask(m_core.Settings(), m_window);
  if (!mix) return;
  const std::string clip = ClipboardWave();
  if (clip.empty()) return;
  WaitCursor wait;
  Finish(*active, ztlive::PasteMix(active->target, clip, *mix));
}

void EditMenu::Crossfade() {
  auto active = ActiveTarget();
  if (!active) return;
  CChildFrame* child = active->child;
  const bool hasDestination = !child->View().State().Pane(PaneId::Destination).FileName().empty();
  RunEnvironment& environment = m_core.Environment();
  auto perform = [&](const CrossfadeSettings& settings) {
    CrossfadeControl control{&environment.Queue(), &m_core.Run(), nullptr, nullptr};
    if (settings.fileForm) {
      DocumentViewState& state = child->View().State();
      const WavePane& source = state.Pane(PaneId::Source);
      const WavePane& destination = state.Pane(PaneId::Destination);
      if (destination.FileName().empty()) return false;
      if (settings.preview) {
        control.devices = &environment.Devices();
        control.playStream = &environment.OutputStream();
      }
      const EditTarget from{child->Document(), kPaneSource, source.FileName(), source.SelectionStart(),
                            source.SelectionEnd()};
      const EditTarget into{child->Document(), kPaneDestination, destination.FileName(),
                            destination.SelectionStart(), destination.SelectionEnd()};
      const EditOutcome outcome = CrossfadeSourceIntoDestination(from, into, settings, control);
      if (outcome.changed)
        child->View().RebuildPane(PaneId::Destination, outcome.rebuildFrom,
                                  outcome.lengthChanged ? 0 : outcome.rebuildTo);
      return !outcome.failed && m_core.Run().stopRequested.load() == 0;
    }
    const std::string clip = ClipboardWave();
    if (clip.empty()) return false;
    const EditOutcome outcome = CrossfadeClipboard(active->target, clip, settings, control);
    Finish(*active, outcome);
    return !outcome.failed && m_core.Run().stopRequested.load() == 0;
  };
  CrossfadeDialog dialog(m_core.Settings(), m_core.Run(), perform, hasDestination, m_window);
  dialog.exec();
}

void EditMenu::Mute() {
  if (auto active = ActiveTarget(); active && active->target.end > active->target.start) {
    WaitCursor wait;
    Finish(*active, MuteSelection(active->target));
  }
}

void EditMenu::Fade() {
  auto active = ActiveTarget();
  if (!active || active->target.end <= active->target.start) return;
  const std::optional<FadeSettings> fade = FadeDialog::Ask(m_core.GetPrompts(), m_window);
  if (!fade) return;
  WaitCursor wait;
  Finish(*active, FadeSelection(active->target, *fade));
}

void EditMenu::Normalize(bool scalingDialog) {
  auto active = ActiveTarget();
  if (!active || active->target.end <= active->target.start) return;
  NormalizeSettings settings;
  if (scalingDialog) {
    const std::optional<NormalizeSettings> chosen = NormalizeScalingDialog::Ask(m_core.Settings(), m_window);
    if (!chosen) return;
    settings = *chosen;
  }
  WaitCursor wait;
  Finish(*active, NormalizeSelection(active->target, settings));
}

void EditMenu::Interpolate() {
  auto active = ActiveTarget();
  if (!active || active->target.end <= active->target.start) return;
  InterpolateChannels channels = InterpolateChannels::Both;
  if (active->child->View().State().Pane(active->pane).Channels() == 2) {
    const std::optional<InterpolateChannels> chosen = InterpolateChannelsDialog::Ask(m_window);
    if (!chosen) return;
    channels = *chosen;
  }
  WaitCursor wait;
  Finish(*active, InterpolateSelection(active->target, channels));
}

void EditMenu::InsertSilenceCommand() {
  auto active = ActiveTarget();
  if (!active) return;
  const std::optional<SilenceSettings> silence = InsertSilenceDialog::Ask(m_core.Settings(), m_window);
  if (!silence) return;
  WaitCursor wait;
  Finish(*active, InsertSilence(active->target, *silence));
}

void EditMenu::Reverse() {
  if (auto active = ActiveTarget(); active && active->target.end > active->target.start) {
    WaitCursor wait;
    Finish(*active, ReverseSelection(active->target));
  }
}

void EditMenu::MarkersChanged() {
  if (CChildFrame* child = m_activeChild(); child != nullptr) child->View().PanesChanged();
}

void EditMenu::AddMarkerAtCursor() {
  CChildFrame* child = m_activeChild();
  if (child == nullptr) return;
  WavePane& pane = child->View().State().Active();
  if (pane.Cursor() >= 0)
    AddMarkerAt(pane, static_cast<uint64_t>(pane.Cursor()));
  else
    ztlive::AddMarkerAtSelectionStart(pane);
  MarkersChanged();
}

void EditMenu::AddMarkerAtSelectionStart() {
  if (CChildFrame* child = m_activeChild(); child != nullptr) {
    ztlive::AddMarkerAtSelectionStart(child->View().State().Active());
    MarkersChanged();
  }
}

void EditMenu::DropMarkerAtPlayPosition() {
  CChildFrame* child = m_activeChild();
  if (child == nullptr || !child->View().PlaybackActive()) return;
  DropMarker(child->View().State().Active(), m_core.Engine().PlayPosition(),
             m_core.Settings().Read(setting::kReactionTime));
  MarkersChanged();
}

void EditMenu::DeleteSelectedMarker() {
  if (CChildFrame* child = m_activeChild(); child != nullptr) child->View().DeleteMarker();
}

void EditMenu::RemoveMarkersAtCursor() {
  CChildFrame* child = m_activeChild();
  if (child == nullptr) return;
  const PaneId id = child->View().ActivePane();
  ztlive::RemoveMarkersAtCursor(child->View().State().Pane(id), child->View().PaneWidget(id).MouseRect());
  MarkersChanged();
}

void EditMenu::RemoveAllMarkersCommand() {
  if (CChildFrame* child = m_activeChild(); child != nullptr) {
    RemoveAllMarkers(child->View().State().Active());
    MarkersChanged();
  }
}

void EditMenu::GotoMarker(bool next) {
  if (CChildFrame* child = m_activeChild(); child != nullptr) {
    WavePane& pane = child->View().State().Active();
    if (next)
      GotoNextMarker(pane);
    else
      GotoPreviousMarker(pane);
    MarkersChanged();
  }
}

void EditMenu::SelectBetweenMarkers() {
  if (CChildFrame* child = m_activeChild(); child != nullptr) {
    WavePane& pane = child->View().State().Active();
    pane.SelectBetweenMarkers(MarkerReference(pane));
    MarkersChanged();
  }
}

void EditMenu::ZoomToMarkers() {
  if (CChildFrame* child = m_activeChild(); child != nullptr) {
    WavePane& pane = child->View().State().Active();
    pane.SelectBetweenMarkers(MarkerReference(pane));
    child->View().ZoomIn();  // the other pane follows in sync mode
  }
}

void EditMenu::QuantizeForCd() {
  if (CChildFrame* child = m_activeChild(); child != nullptr) {
    if (PeakFile* markers = child->View().State().Active().Markers(); markers != nullptr)
      QuantizeMarkersForCd(*markers, m_core.Settings());
    MarkersChanged();
  }
}

void EditMenu::Chop() {
  auto active = ActiveTarget();
  if (!active) return;
  PeakFile* markers = active->child->View().State().Pane(active->pane).Markers();
  if (markers == nullptr) return;
  ChopOutcome outcome;
  {
    WaitCursor wait;
    outcome = ChopAtMarkers(active->target.file, *markers, m_core.GetPrompts());
  }
  // Without keeping the original, the pane's file now holds the first piece under a new name.
  if (const std::string& renamed = outcome.result.renamedOriginal; !renamed.empty()) {
    CZantoDoc& document = active->child->Document();
    if (active->pane == PaneId::Source)
      document.SetSourceName(renamed);
    else
      document.SetDestinationName(renamed, document.DestinationIsTemporary());
    active->child->ShowDocumentFiles();
  }
  if (outcome.askedToKeep) active->child->View().RefreshPane(active->pane);
  if (outcome.makePlaylist && !outcome.result.created.empty()) {
    QStringList files;
    for (const std::string& file : outcome.result.created) files.append(QString::fromStdString(file));
    m_openPlaylist(files);
  }
}

void EditMenu::FindSilence() {
  CChildFrame* child = m_activeChild();
  if (child == nullptr) return;
  auto search = [this, child](const MarkSilenceSettings& values) {
    PeakFile* markers = child->View().State().Pane(PaneId::Source).Markers();
    if (markers == nullptr) return;
    FindAndMarkSilence(m_core.Filters(), m_core.Run(), *child, *markers, values, m_core.Settings(),
                       m_core.GetPrompts());
    child->View().PanesChanged();
  };
  MarkSilenceDialog dialog(m_core.Settings(), m_core.Run(), search, m_window);
  dialog.SetBusyCheck([this] { return m_core.Filters().RunBusy(); });
  dialog.exec();
}

}  // namespace ztlive
