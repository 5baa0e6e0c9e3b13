// The "Play List Editor": edits a playlist (.wls), shows its total playing time, auditions
// one file and plays the whole list one file after another.
//
//   Playlist Name: [/path/to/list.wls                         ]
//   +------------------------------------------+  [Add Files  ]
//   | file                           length    |  [Delete File]
//   | /music/side1.wav               03:12.500 |  [MOVEUP     ]
//   | ...                                      |  [MOVEDOWN   ]
//   +------------------------------------------+  [Audition   ]
//   Total Time: 45:1.250                          [Play List  ]
//                                                 [Save] [Close]
//
// A double click on a file shows its format, length and path. Closing a modified list asks
// whether to save it first; a save that fails keeps the window open.
#pragma once

#include <QDialog>
#include <QStringList>
#include <QTimer>
#include <functional>

#include "live/playlist.h"
#include "live/playlist_player.h"
#include "live/playlist_window_host.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace ztlive {

class PlaylistWindow : public QDialog {
  Q_OBJECT

 public:
  // Asks for the files to add ("Add Files"); empty when cancelled.
  using FileChooser = std::function<QStringList()>;

  explicit PlaylistWindow(PlaylistWindowHost& host, QWidget* parent = nullptr);
  ~PlaylistWindow() override;

  // Takes path as the playlist and reads it; when it does not exist, the files given make the
  // new list. False when the file cannot be opened (the message was shown): the editor closes.
  bool Load(const QString& path, const QStringList& files = {});

  void SetFileChooser(FileChooser chooser) { m_chooseFiles = std::move(chooser); }

  // The buttons' actions.
  void AddFiles();
  void DeleteFile();
  void MoveUp();
  void MoveDown();
  void Audition();
  void PlayList();
  bool Save();
  // Shows the format, length and path of the entry's file.
  void ShowFileInformation(int index);

  Playlist& List() { return m_list; }
  const PlaylistPlayer& Player() const { return m_player; }
  int SelectedIndex() const;
  void SelectIndex(int index);
  QLineEdit& NameField() { return *m_name; }
  QTreeWidget& Entries() { return *m_entries; }
  QLabel& TotalLabel() { return *m_total; }
  QPushButton& AddButton() { return *m_addButton; }
  QPushButton& DeleteButton() { return *m_deleteButton; }
  QPushButton& MoveUpButton() { return *m_upButton; }
  QPushButton& MoveDownButton() { return *m_downButton; }
  QPushButton& AuditionButton() { return *m_auditionButton; }
  QPushButton& PlayListButton() { return *m_playButton; }
  QPushButton& SaveButton() { return *m_saveButton; }
  QPushButton& CloseButton() { return *m_closeButton; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  // Fills the list from the playlist, keeping the entry at selected selected, and shows the total.
  void ShowEntries(int selected);
  QStringList AskFiles();
  void OnPollTimer();

  PlaylistWindowHost& m_host;
  Playlist m_list;
  PlaylistPlayer m_player;
  FileChooser m_chooseFiles;
  QTimer m_pollTimer;
  QLineEdit* m_name;
  QTreeWidget* m_entries;
  QLabel* m_total;
  QPushButton* m_addButton;
  QPushButton* m_deleteButton;
  QPushButton* m_upButton;
  QPushButton* m_downButton;
  QPushButton* m_auditionButton;
  QPushButton* m_playButton;
  QPushButton* m_saveButton;
  QPushButton* m_closeButton;
};

// Asks for the playlist file (a missing one may be named: it is made); empty when cancelled.
QString AskPlaylistPath(QWidget* parent, const QString& folder);

// "Open Playlist...": asks for the playlist and edits it in the modal editor.
void RunPlaylistEditor(PlaylistWindowHost& host, QWidget* parent);
// The editor on a given playlist; when it does not exist, the files make the new list (the
// files a split at markers created).
void RunPlaylistEditor(PlaylistWindowHost& host, const QString& path, const QStringList& files, QWidget* parent);

}  // namespace ztlive
