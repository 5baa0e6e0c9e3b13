// The edit commands of the main window: the clipboard, the level edits, silence, reverse,
// interpolation and the marker commands, on the active pane of the active document. Each
// command stops playback, refuses to run beside a filter run (one writer per file), asks for
// its values in its dialog, runs the Qt-free edit command, and rebuilds and redraws what
// changed.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QKeySequence>
#include <functional>
#include <optional>
#include <span>

#include "document/document_view_state.h"
#include "document/edit_commands.h"

class QAction;
class QMenu;
class QWidget;

namespace ztlive {

class AppCore;
class CChildFrame;

class EditMenu : public QObject {
  Q_OBJECT

 public:
  using AddCommandFunction = std::function<QAction*(QMenu*, const QString& name, const QString& text,
                                                    const QString& statusTip)>;
  using ActiveChildFunction = std::function<CChildFrame*()>;
  // Opens the playlist editor on the files a chop made.
  using PlaylistFunction = std::function<void(const QStringList& files)>;

  EditMenu(AppCore& core, QWidget* window, ActiveChildFunction activeChild, PlaylistFunction openPlaylist);

  // Adds the edit commands to edit (and a "Markers" submenu) through addCommand, with their keys.
  void Build(QMenu* edit, const AddCommandFunction& addCommand);
  // Enables the commands for the active document; the paste commands also need a wave on the
  // clipboard.
  void UpdateCommands();

  void Cut();
  void Copy();
  void PasteInsert();
  void PasteOver();
  void PasteMix();
  void Crossfade();
  void Mute();
  void Fade();
  void Normalize(bool scalingDialog);
  void Interpolate();
  void InsertSilenceCommand();
  void Reverse();

  void AddMarkerAtCursor();
  void AddMarkerAtSelectionStart();
  void DropMarkerAtPlayPosition();
  void DeleteSelectedMarker();
  void RemoveMarkersAtCursor();
  void RemoveAllMarkersCommand();
  void GotoMarker(bool next);
  void SelectBetweenMarkers();
  void ZoomToMarkers();
  void QuantizeForCd();
  void Chop();
  void FindSilence();

 private:
  // One command of a menu table; a null name stands for a separator.
  struct CommandEntry {
    const char* name;
    const char* text;
    const char* tip;
    QKeySequence keys;
    std::function<void()> command;
    bool paste;  // needs a wave on the clipboard
  };
  void AddCommands(QMenu* menu, std::span<const CommandEntry> entries, const AddCommandFunction& addCommand);
  // The active document and its active pane's file and selection; nothing when no file is
  // shown or a filter run is going on. Stops playback.
  struct Active {
    CChildFrame* child;
    PaneId pane;
    EditTarget target;
  };
  std::optional<Active> ActiveTarget();
  // Rebuilds and redraws what an edit changed.
  void Finish(const Active& active, const EditOutcome& outcome);
  // The clipboard's wave as a local file; empty (after the message) when there is none.
  std::string ClipboardWave();
  void MarkersChanged();

  AppCore& m_core;
  QWidget* m_window;
  ActiveChildFunction m_activeChild;
  PlaylistFunction m_openPlaylist;
  QList<QAction*> m_documentCommands;
  QList<QAction*> m_pasteCommands;
};

}  // namespace ztlive
