// The "Record File" window: records the sound card's input into a temporary wave file, shows
// the input levels, the elapsed time and the free disk space, and saves the recording under a
// chosen name, opening it in a document window. With "FeedThru Mode" its "&Record" starts
// live input for a live run instead of a recording.
//
//   +-----------------------------------------------------------+
//   | L [=========      ]   00:12     Status: Recording         |   upper part: the
//   | R [=======        ]                                       |   only part shown
//   | &Record  &Preview  Stop  &Save  &Close                    |   in live layout
//   | Channels ( ) S&tereo ( ) &Mono   Resolution [16 Bit v]    |
//   | Rate ( ) 48&kHz ( ) 44.10kHz ( ) 22.05kHz ( ) 11.025kHz   |
//   |      ( ) Custom [48000]      [ ] FeedThru Mode            |
//   | Recording device [................................ v]     |
//   +-----------------------------------------------------------+
//   | Free disk space  12.34GB   Available Recording Time ...   |
//   | [=================                   ]                    |
//   +-----------------------------------------------------------+
//
// The logic is RecordingSession's; this window mirrors its controls into it and shows what it
// reports. No input-levels mixer exists, so there is no "Set Levels" button.
#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>

#include "document/recording_session.h"

class QButtonGroup;
class QComboBox;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace ztlive {

class LevelMeter;

class RecordingWindow : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kMeterMs = 40;
  static constexpr int kElapsedMs = 1000;

  RecordingWindow(RunEnvironment& environment, RunState& run, SettingsStore& settings, Prompts& prompts,
                  QWidget* parent = nullptr);
  ~RecordingWindow() override;

  RecordingSession& Session() { return *m_session; }
  // The save-file dialog (tests answer it themselves) and the open-document operation.
  void SetSaveNameAsker(RecordingSession::AskSaveName asker) { m_askName = std::move(asker); }
  void SetDocumentOpener(RecordingSession::OpenDocument opener) { m_open = std::move(opener); }

  // Live layout: "FeedThru Mode" set and only the upper part shown, the window placed left of
  // the chain window (when given) with the tops level. Off: the whole window, normal mode.
  void SetLiveMode(bool on, QWidget* chainWindow = nullptr);
  bool LiveLayout() const { return m_liveLayout; }

  // The buttons and the main window's transport commands.
  void Record();
  void Preview();
  void Stop();
  void Rewind();
  void Save();

  QPushButton& RecordButton() { return *m_record; }
  QPushButton& PreviewButton() { return *m_preview; }
  QPushButton& StopButton() { return *m_stop; }
  QPushButton& SaveButton() { return *m_save; }
  QPushButton& CloseButton() { return *m_close; }
  QRadioButton& ChannelButton(int choice);
  QRadioButton& RateButton(int choice);
  QComboBox& ResolutionList() { return *m_resolution; }
  QLineEdit& CustomRateField() { return *m_customRate; }
  QComboBox& DeviceList() { return *m_devices; }
  QCheckBox& FeedThruBox() { return *m_feedThru; }
  QLabel& StatusField() { return *m_status; }
  QLabel& ElapsedField() { return *m_elapsed; }
  QLabel& FreeSpaceField() { return *m_freeSpace; }
  QLabel& AvailableTimeField() { return *m_availableTime; }
  QWidget& LowerPart() { return *m_lower; }
  bool TimersRunning() const { return m_meterTimer.isActive(); }

  // Shows the session's state in the controls (also after a live run stopped the input).
  void RefreshControls();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void BuildControls();
  void ShowChoices(const RecordChoices& choices);
  RecordChoices ChoicesFromControls() const;
  void FormatControlChanged();
  void ShowDiskSpace();
  void TickMeters();
  void TickElapsed();

  std::unique_ptr<RecordingSession> m_session;
  RecordingSession::AskSaveName m_askName;
  RecordingSession::OpenDocument m_open;
  QTimer m_meterTimer;
  QTimer m_elapsedTimer;
  bool m_liveLayout = false;
  bool m_showing = false;  // the controls are being set from the session, not by the user

  LevelMeter* m_left = nullptr;
  LevelMeter* m_right = nullptr;
  QLabel* m_elapsed = nullptr;
  QLabel* m_status = nullptr;
  QPushButton* m_record = nullptr;
  QPushButton* m_preview = nullptr;
  QPushButton* m_stop = nullptr;
  QPushButton* m_save = nullptr;
  QPushButton* m_close = nullptr;
  QButtonGroup* m_channels = nullptr;
  QButtonGroup* m_rates = nullptr;
  QComboBox* m_resolution = nullptr;
  QLineEdit* m_customRate = nullptr;
  QCheckBox* m_feedThru = nullptr;
  QComboBox* m_devices = nullptr;
  QWidget* m_upper = nullptr;
  QWidget* m_lower = nullptr;
  QLabel* m_freeSpace = nullptr;
  QLabel* m_availableTime = nullptr;
  QProgressBar* m_diskBar = nullptr;
};

}  // namespace ztlive
