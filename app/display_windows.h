// The main window's displays of the played sound and its times: the docked level meter, the
// spectrum analyzer, the XY display and the cursor time display, their View commands, the
// status bar's position and selection times, and the time ruler toggle. Every played buffer of
// the device engine reaches the open displays through one feed.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "analysis/gui/display_feed.h"
#include "analysis/gui/spectrum_window.h"
#include "analysis/gui/time_display_window.h"
#include "analysis/gui/xy_window.h"
#include "core/device_engine.h"
#include "platform/settings_store.h"

class QAction;
class QDockWidget;
class QLabel;
class QMainWindow;
class QMenu;

namespace ztlive {

class CChildFrame;
class LevelMeterBar;

class DisplayWindows : public QObject {
  Q_OBJECT

 public:
  using ActiveChild = std::function<CChildFrame*()>;
  using AddCommand = std::function<QAction*(QMenu* menu, const QString& name, const QString& text, const QString& tip)>;

  DisplayWindows(QMainWindow& frame, DeviceEngine& engine, SettingsStore& settings, ActiveChild activeChild);
  ~DisplayWindows() override;

  // The View commands: level meter, spectrum analyzer, XY display, time display, time ruler.
  void AddCommands(QMenu* view, const AddCommand& add);
  // A new document window: its pane changes update the times, its panes get the ruler choice.
  void WatchChild(CChildFrame* child);
  // The status bar and the time display from the active pane (also while playing).
  void UpdateTimes();
  // Opens the time display if it was open when the program last ended.
  void RestoreTimeDisplay();

  void OpenSpectrum();
  void OpenXy();
  void OpenTimeDisplay();
  void SetRulerShown(bool shown);

  DisplayFeed& Feed() { return *m_feed; }
  LevelMeterBar& Meter() { return *m_meter; }
  QDockWidget& MeterDock() { return *m_meterDock; }
  SpectrumWindow* Spectrum() const { return m_spectrum; }
  XyWindow* Xy() const { return m_xy; }
  TimeDisplayWindow* TimeDisplay() const { return m_timeDisplay; }
  QLabel& PositionLabel() { return *m_position; }
  QLabel& SelectionLabel() { return *m_selection; }

 private:
  void OnCaretTyped(qint64 offset);
  void OnSelectionTyped(qint64 start, qint64 end);

  QMainWindow& m_frame;
  SettingsStore& m_settings;
  ActiveChild m_activeChild;
  DisplayFeed* m_feed = nullptr;
  LevelMeterBar* m_meter = nullptr;
  QDockWidget* m_meterDock = nullptr;
  QPointer<SpectrumWindow> m_spectrum;
  QPointer<XyWindow> m_xy;
  QPointer<TimeDisplayWindow> m_timeDisplay;
  QLabel* m_position = nullptr;
  QLabel* m_selection = nullptr;
  bool m_rulerShown = true;
};

}  // namespace ztlive
