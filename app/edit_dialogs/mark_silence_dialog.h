// The "Find and Mark silence" dialog: the "Threshold" (-100 ... 0 dB) below which the sound
// counts as silence and the "Minimum Interval" (1 ... 100 tenths of a second, shown in
// seconds) a silent passage must last to be marked. OK runs the search through the function
// given, stores both values and closes. Pressed while a run or playback goes on, OK only asks
// it to stop (its text reads "Stop" during the dialog's own search).
#pragma once

#include <QDialog>
#include <functional>

#include "core/run_state.h"
#include "document/edit_settings.h"
#include "platform/settings_store.h"

class QLabel;
class QPushButton;
class QSlider;

namespace ztlive {

class MarkSilenceDialog : public QDialog {
  Q_OBJECT

 public:
  using SearchFunction = std::function<void(const MarkSilenceSettings&)>;
  using BusyCheck = std::function<bool()>;

  MarkSilenceDialog(SettingsStore& settings, RunState& run, SearchFunction search, QWidget* parent = nullptr);

  // What else counts as a run going on (a filter run of another window); playback and
  // pause of the device engine always do.
  void SetBusyCheck(BusyCheck busy) { m_busy = std::move(busy); }

  MarkSilenceSettings Settings() const;
  void ShowSettings(const MarkSilenceSettings& mark);
  bool Searching() const { return m_searching; }

  // OK: the search, or a stop request while something runs.
  void SearchOrStop();

  QSlider& ThresholdSlider() { return *m_threshold; }
  QSlider& IntervalSlider() { return *m_interval; }
  QLabel& ThresholdText() { return *m_thresholdText; }
  QLabel& IntervalText() { return *m_intervalText; }
  QPushButton& OkButton() { return *m_ok; }
  QPushButton& CancelButton() { return *m_cancel; }

  // During the search closing only asks it to stop; the dialog closes when the search ends.
  void reject() override;

 private:
  bool SomethingRuns() const;
  void ShowValueTexts();

  SettingsStore& m_settings;
  RunState& m_run;
  SearchFunction m_search;
  BusyCheck m_busy;
  bool m_searching = false;
  QSlider* m_threshold;
  QSlider* m_interval;
  QLabel* m_thresholdText;
  QLabel* m_intervalText;
  QPushButton* m_ok;
  QPushButton* m_cancel;
};

}  // namespace ztlive
