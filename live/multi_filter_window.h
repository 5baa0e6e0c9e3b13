// The "Multi-Filter" window: the filter chain built by mouse and run as one filter.
//
//   +--------------+---------------------------------------------------+
//   | filter list  | graph: Input --- filter 1 --- ... --- Output      |
//   | (icons)      +---------------------------------------------------+
//   |              | Run Filter  Preview  Live Preview   [ ] Bypass    |
//   |              | [ ] Log to disk  Log Filename: [.......] Browse...|
//   |              | [preset combo box     v] Save  Delete      Close  |
//   +--------------+---------------------------------------------------+
//
// A list item double-clicked goes in front of Output; dragged onto the graph it goes in front
// of the first node right of where it is let go. A double click on a filter node opens that
// filter's settings window bound to the node's engine. Opening loads the chain preset
// "Default" when there is one; closing saves it when "AutoSaveDefault" is on and empties the
// chain. During a run the preset box and the list are disabled, "Run Filter", "Preview" and
// "Close" ask the run to stop, and "Bypass" acts at once.
#pragma once

#include <QDialog>
#include <QSet>

#include "live/chain_window_host.h"
#include "live/filter_chain.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace ztlive {

class ChainFilterListWidget;
class ChainGraphWidget;
class PresetComboWidget;
class PresetNameDialog;

class MultiFilterWindow : public QDialog {
  Q_OBJECT

 public:
  explicit MultiFilterWindow(ChainWindowHost& host, QWidget* parent = nullptr);
  ~MultiFilterWindow() override;

  FilterChain& Chain() { return m_chain; }
  // "Run Filter" and "Preview": the run's result (0 when it only asked a run to stop).
  int RunFilter() { return RunChainFromWindow(false); }
  int Preview() { return RunChainFromWindow(true); }
  bool RunInProgress() const { return m_running; }
  // Opens the settings window of a filter node bound to its engine; the Input node asks for
  // live input (liveRequested); the Output node does nothing.
  void OpenNodeWindow(ChainNode& node);
  // The log file's name, shown in the field and stored in the settings.
  void SetLogFileName(const QString& path);

  ChainFilterListWidget& FilterList() { return *m_list; }
  ChainGraphWidget& Graph() { return *m_graph; }
  PresetComboWidget& PresetBox() { return *m_presetBox; }
  PresetNameDialog& NameDialog() { return *m_nameDialog; }
  QPushButton& RunButton() { return *m_runButton; }
  QPushButton& PreviewButton() { return *m_previewButton; }
  QPushButton& LiveButton() { return *m_liveButton; }
  QPushButton& SaveButton() { return *m_saveButton; }
  QPushButton& DeleteButton() { return *m_deleteButton; }
  QPushButton& CloseButton() { return *m_closeButton; }
  QPushButton& BrowseButton() { return *m_browseButton; }
  QCheckBox& BypassBox() { return *m_bypassBox; }
  QCheckBox& LogBox() { return *m_logBox; }
  QLineEdit& LogNameField() { return *m_logName; }

 signals:
  // "Live Preview" or a double click on the Input node: live input from the sound card is
  // wanted (the recording window runs the chain on it).
  void liveRequested();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void Open();
  int RunChainFromWindow(bool preview);
  void EnableEditing(bool enabled);
  void DropItem(FilterTypeId type, QPoint globalPoint);
  void InsertBeforeOutput(FilterTypeId type);
  void ChooseLogFile();
  void LoadSelectedPreset();
  void SavePreset();
  void DeletePreset();
  // Clears the nodes' reference to a settings window that is destroyed.
  void WatchSettingsWindow(QDialog& window, RunDialog& dialog);

  ChainWindowHost& m_host;
  PresetNameDialog* m_nameDialog;
  FilterChain m_chain;
  ChainFilterListWidget* m_list;
  ChainGraphWidget* m_graph;
  QPushButton* m_runButton;
  QPushButton* m_previewButton;
  QPushButton* m_liveButton;
  QCheckBox* m_bypassBox;
  QCheckBox* m_logBox;
  QLineEdit* m_logName;
  QPushButton* m_browseButton;
  PresetComboWidget* m_presetBox;
  QPushButton* m_saveButton;
  QPushButton* m_deleteButton;
  QPushButton* m_closeButton;
  QSet<QObject*> m_watchedWindows;
  bool m_running = false;
};

}  // namespace ztlive
