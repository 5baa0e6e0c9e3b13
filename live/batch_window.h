// The "Batch Editor": one filter with one preset over a list of wave files.
//
//   Choose Filter you want to run      Select Filter Preset [Default          v]
//   +------------------------------+   (o) Entire File
//   | [icon] Impulse Filter        |   ( ) Last  [ 3.0 ]   ( ) First [ 3.0 ]
//   | [icon] Continuous Noise ...  |   ( ) Range [ 0.0 ] to [ 999.0 ]
//   +------------------------------+
//   Files to run this filter on.
//   +------------------------------+   [&Add Files] [&Delete File] [&Remove All] [A&udition]
//   | /music/side1.wav             |
//   +------------------------------+
//   [x] Use Destination Directory: [/music/restored          ] [Browse]
//   [x] Close each file's document once its result is saved
//   File 2 of 40: /music/side2.wav
//   [&Save Batch] [&Load Batch] [&Run Batch] [&Close]
//
// The job shown is kept in a BatchJob: the controls are read into it before a save or a run
// and shown from it after a load. While a batch runs, the controls that change the job are
// disabled and "&Run Batch" reads "Stop": pressing it ends the batch once the current file is
// done. "UseDestDir" and "DestDir" are read when the window is made and written when it closes.
#pragma once

#include <QDialog>
#include <QStringList>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>

#include "live/batch_job.h"
#include "live/batch_window_host.h"
#include "live/playlist.h"
#include "live/playlist_player.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace ztlive {

class BatchWindow : public QDialog {
  Q_OBJECT

 public:
  // "&Add Files": the chosen files (empty when cancelled).
  using FilesChooser = std::function<QStringList()>;
  // "&Save Batch" (saving) and "&Load Batch": the chosen file, empty when cancelled.
  using BatchFileChooser = std::function<QString(bool saving)>;
  // "Browse": the chosen directory, empty when cancelled.
  using DirectoryChooser = std::function<QString()>;

  explicit BatchWindow(BatchWindowHost& host, QWidget* parent = nullptr);
  ~BatchWindow() override;

  void SetFilesChooser(FilesChooser chooser) { m_chooseFiles = std::move(chooser); }
  void SetBatchFileChooser(BatchFileChooser chooser) { m_chooseBatchFile = std::move(chooser); }
  void SetDirectoryChooser(DirectoryChooser chooser) { m_chooseDirectory = std::move(chooser); }

  // The job as last read from (or shown in) the controls.
  const BatchJob& Job() const { return m_job; }
  // Reads the controls into the job. A time field outside 0 ... 32000 shows the range message
  // and keeps its last accepted value: false.
  bool ReadControls();
  // Shows the job in the controls.
  void ShowJob(const BatchJob& job);

  // The buttons' actions.
  void AddFiles();
  void DeleteFile();
  void RemoveAll();
  void Audition();
  void Browse();
  bool SaveBatch();
  bool LoadBatch();
  // Loads path (a batch file, or a playlist's files when its extension is "wls").
  bool LoadBatchFrom(const QString& path);
  // Runs the batch; while one runs, asks it to stop after the current file.
  void RunBatch();
  bool Running() const { return m_running; }
  // Ends a running batch once its current file is done.
  void RequestStop();
  // A double click on a filter row.
  void OpenFilterOfRow(int row);
  // A click on a filter row: its presets fill the combo box, the first selected.
  void FillPresets(int row);

  QListWidget& FilterList() { return *m_filters; }
  QComboBox& PresetBox() { return *m_presets; }
  QRadioButton& ModeButton(int mode) { return *m_modes[static_cast<size_t>(mode)]; }
  // 0 first seconds, 1 last seconds, 2 range from, 3 range to.
  QLineEdit& TimeField(int field) { return *m_times[static_cast<size_t>(field)]; }
  QListWidget& FileList() { return *m_files; }
  QCheckBox& DestinationBox() { return *m_useDestination; }
  QLineEdit& DestinationField() { return *m_destination; }
  QCheckBox& CloseDocumentsBox() { return *m_closeDocuments; }
  QLabel& StatusLabel() { return *m_status; }
  QPushButton& AddButton() { return *m_addButton; }
  QPushButton& DeleteButton() { return *m_deleteButton; }
  QPushButton& RemoveAllButton() { return *m_removeAllButton; }
  QPushButton& AuditionButton() { return *m_auditionButton; }
  QPushButton& BrowseButton() { return *m_browseButton; }
  QPushButton& SaveButton() { return *m_saveButton; }
  QPushButton& LoadButton() { return *m_loadButton; }
  QPushButton& RunButton() { return *m_runButton; }
  QPushButton& CloseButton() { return *m_closeButton; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void BuildControls();
  // The time fields of the chosen mode are enabled, the others disabled.
  void EnableTimeFields();
  void EnableJobControls(bool enabled);
  void ShowFiles(int selected);
  QStringList AskFiles();
  QString AskBatchFile(bool saving);
  QString AskDirectory();
  void OnPollTimer();

  BatchWindowHost& m_host;
  BatchJob m_job;
  Playlist m_auditionList;  // the player's list; an audition plays one file without it
  PlaylistPlayer m_player;
  QTimer m_pollTimer;
  bool m_running = false;
  bool m_stopRequested = false;
  FilesChooser m_chooseFiles;
  BatchFileChooser m_chooseBatchFile;
  DirectoryChooser m_chooseDirectory;

  QListWidget* m_filters = nullptr;
  QComboBox* m_presets = nullptr;
  std::array<QRadioButton*, 4> m_modes{};
  std::array<QLineEdit*, 4> m_times{};
  QListWidget* m_files = nullptr;
  QCheckBox* m_useDestination = nullptr;
  QLineEdit* m_destination = nullptr;
  QCheckBox* m_closeDocuments = nullptr;
  QLabel* m_status = nullptr;
  QPushButton* m_addButton = nullptr;
  QPushButton* m_deleteButton = nullptr;
  QPushButton* m_removeAllButton = nullptr;
  QPushButton* m_auditionButton = nullptr;
  QPushButton* m_browseButton = nullptr;
  QPushButton* m_saveButton = nullptr;
  QPushButton* m_loadButton = nullptr;
  QPushButton* m_runButton = nullptr;
  QPushButton* m_closeButton = nullptr;
};

}  // namespace ztlive
