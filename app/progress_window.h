// The modeless progress window of a filter run ("ZA-nto Progress"): the total to process, the
// percent done with a bar, and for the click filters, under the heading "Total Clicks
// Detected", the total and the clicks per second.
// It ticks its model every 1200 ms; Cancel asks the run to stop and closes the window.
#pragma once

#include <QDialog>
#include <QTimer>

#include "core/run_state.h"
#include "document/progress_model.h"

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace ztlive {

class ProgressWindow : public QDialog {
  Q_OBJECT

 public:
  ProgressWindow(ProgressModel& model, RunState& run, QWidget* parent);

  QPushButton& CancelButton() { return *m_cancel; }
  // Ticks the model and shows its texts (the timer calls it).
  void Tick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowTexts();

  ProgressModel& m_model;
  RunState& m_run;
  QTimer m_timer;
  QLabel* m_percent = nullptr;
  QProgressBar* m_bar = nullptr;
  QGroupBox* m_clicks = nullptr;  // "Total Clicks Detected"
  QLabel* m_clicksPerSecond = nullptr;
  QLabel* m_totalClicks = nullptr;
  QPushButton* m_cancel = nullptr;
};

}  // namespace ztlive
