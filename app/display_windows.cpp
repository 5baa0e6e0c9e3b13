#include "app/display_windows.h"

#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QStatusBar>
#include <QStyle>
#include <algorithm>
#include <new>

#include "analysis/gui/level_meter_bar.h"
#include "analysis/gui/spectrum_window.h"
#include "analysis/gui/time_display_window.h"
#include "analysis/gui/xy_window.h"
#include "analysis/time_format.h"
#include "app/child_frame.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

QString Qs(const std::string& text) { return QString::fromStdString(text); }

TimeBase BaseOf(const WavePane& pane) {
  const int channels = std::max(1, pane.Channels());
  return TimeBase{static_cast<int>(pane.SampleRate()), channels, pane.BlockAlign() / channels * 8};
}

}  // namespace

DisplayWindows::DisplayWindows(QMainWindow& frame, DeviceEngine& engine, SettingsStore& settings,
                               ActiveChild activeChild)
    : QObject(&frame),
      m_frame(frame),
      m_settings(settings),
      m_activeChild(std::move(activeChild)),
      m_rulerShown(settings.Read(setting::kTimeRuler) != 0) {
  m_feed = new DisplayFeed(this);
  engine.AddOutputObserver(m_feed->MakeObserver());
  m_meter = new LevelMeterBar;
  m_meterDock = new QDockWidget(QStringLiteral("VU Meter"), &m_frame);
  m_meterDock->setObjectName(QStringLiteral("levelMeterDock"));
  m_meterDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
  m_meterDock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
  m_meterDock->setWidget(m_meter);
  m_frame.addDockWidget(Qt::LeftDockWidgetArea, m_meterDock);
  m_feed->Add(m_meter);
  m_position = new QLabel(&m_frame);
  m_position->setObjectName(QStringLiteral("positionTime"));
  m_selection = new QLabel(&m_frame);
  m_selection->setObjectName(QStringLiteral("selectionTime"));
  m_frame.statusBar()->addPermanentWidget(m_position);
  m_frame.statusBar()->addPermanentWidget(m_selection);
  UpdateTimes();
}

DisplayWindows::~DisplayWindows() {
  // The windows are the main window's children; they leave the feed before it goes.
  for (DisplaySink* sink : {static_cast<DisplaySink*>(m_spectrum.data()), static_cast<DisplaySink*>(m_xy.data())})
    if (sink != nullptr) m_feed->Remove(sink);
  m_feed->Remove(m_meter);
}

void DisplayWindows::AddCommands(QMenu* view, const AddCommand& add) {
  view->addSeparator();
  QAction* meter = add(view, "levelMeter", "&VU Meter", "Show or hide VuMeter\nToggle VuMeter");
  meter->setCheckable(true);
  meter->setChecked(true);
  connect(meter, &QAction::toggled, m_meterDock, &QDockWidget::setVisible);
  connect(m_meterDock, &QDockWidget::visibilityChanged, meter, [this, meter](bool) {
    if (!m_frame.isVisible()) return;  // hiding the main window does not hide the bar
    meter->setChecked(!m_meterDock->isHidden());
  });
  connect(add(view, "spectrumAnalyzer", "Spectrum &Analyzer...", "Show the spectrum of the sound being played"),
          &QAction::triggered, this, &DisplayWindows::OpenSpectrum);
  connect(add(view, "xyDisplay", "&XY Display...", "Show the audio in an XY viewer (left vs right)"), &QAction::triggered,
          this, &DisplayWindows::OpenXy);
  connect(add(view, "timeDisplay", "Time &Display", "Open the cursor time display window "), &QAction::triggered, this,
          &DisplayWindows::OpenTimeDisplay);
  QAction* ruler = add(view, "timeRuler", "Time &Ruler", "Show a time scale above the waves");
  ruler->setCheckable(true);
  ruler->setChecked(m_rulerShown);
  connect(ruler, &QAction::toggled, this, &DisplayWindows::SetRulerShown);
}

void DisplayWindows::WatchChild(CChildFrame* child) {
  DocumentView& view = child->View();
  for (const PaneId id : {PaneId::Source, PaneId::Destination}) view.PaneWidget(id).SetRulerShown(m_rulerShown);
  for (auto signal : {&DocumentView::cursorChanged, &DocumentView::selectionChanged, &DocumentView::activePaneChanged})
    connect(&view, signal, this, &DisplayWindows::UpdateTimes);
  connect(child, &QObject::destroyed, this, &DisplayWindows::UpdateTimes, Qt::QueuedConnection);
  UpdateTimes();
}

void DisplayWindows::SetRulerShown(bool shown) {
  m_rulerShown = shown;
  m_settings.Write(setting::kTimeRuler, shown ? 1 : 0);
  for (CChildFrame* child : m_frame.findChildren<CChildFrame*>())
    for (const PaneId id : {PaneId::Source, PaneId::Destination}) child->View().PaneWidget(id).SetRulerShown(shown);
}

void DisplayWindows::UpdateTimes() {
  CChildFrame* child = m_activeChild();
  const WavePane* pane = child != nullptr ? &child->View().State().Active() : nullptr;
  if (pane == nullptr || pane->FileName().empty()) {
    m_position->clear();
    m_selection->clear();
    if (m_timeDisplay != nullptr) m_timeDisplay->Clear();
    return;
  }
  const TimeBase base = BaseOf(*pane);
  m_position->setText(Qs(FormatText(StringId::kStatusPosition, {FormatClock(std::max<int64_t>(0, pane->Cursor()), base)})));
  const auto start = static_cast<int64_t>(pane->SelectionStart()), end = static_cast<int64_t>(pane->SelectionEnd());
  if (end > start)
    m_selection->setText(Qs(FormatText(StringId::kStatusSelection,
                                       {FormatClock(start, base), FormatClock(end, base), FormatClock(end - start, base)})));
  else
    m_selection->setText(Qs(std::string(StringText(StringId::kStatusNoSelection))));
  if (m_timeDisplay != nullptr) {
    m_timeDisplay->SetTimeBase(base, static_cast<TimeMode>(pane->TimeFormat()));
    m_timeDisplay->SetCursor(pane->Cursor());
    m_timeDisplay->SetSelection(start, end);
  }
}

void DisplayWindows::OpenSpectrum() {
  if (m_spectrum != nullptr) return;  // at most one; the command does nothing while it is open
  auto source = [this](int& rate, int& channels) {
    CChildFrame* child = m_activeChild();
    if (child == nullptr || child->View().State().Active().FileName().empty()) return false;
    const WavePane& pane = child->View().State().Active();
    rate = static_cast<int>(pane.SampleRate());
    channels = pane.Channels();
    return true;
  };
  try {
    m_spectrum = new SpectrumWindow(m_settings, source, &m_frame);
  } catch (const std::bad_alloc&) {
    QMessageBox::critical(&m_frame, QStringLiteral("Spectrum Analyzer"),
                          Qs(std::string(StringText(StringId::kSpectrumNoMemory))));
    return;
  }
  m_spectrum->setWindowFlag(Qt::Tool);
  SpectrumWindow* window = m_spectrum;
  connect(window, &QObject::destroyed, this, [this, window] { m_feed->Remove(window); });
  m_feed->Add(window);
  window->show();
}

void DisplayWindows::OpenXy() {
  if (m_xy == nullptr) {
    m_xy = new XyWindow(&m_frame);
    m_xy->setWindowFlag(Qt::Tool);
    XyWindow* window = m_xy;
    connect(window, &QObject::destroyed, this, [this, window] { m_feed->Remove(window); });
    m_feed->Add(window);
  }
  m_xy->show();
  m_xy->raise();
  m_xy->activateWindow();
}

void DisplayWindows::OpenTimeDisplay() {
  if (m_timeDisplay == nullptr) {
    m_timeDisplay = new TimeDisplayWindow(&m_frame);
    m_timeDisplay->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_timeDisplay, &TimeDisplayWindow::caretTyped, this, &DisplayWindows::OnCaretTyped);
    connect(m_timeDisplay, &TimeDisplayWindow::selectionTyped, this, &DisplayWindows::OnSelectionTyped);
    connect(m_timeDisplay, &TimeDisplayWindow::timeModeChosen, this, [this](int mode) {
      CChildFrame* child = m_activeChild();
      if (child == nullptr) return;
      child->View().State().Active().SetTimeFormat(mode);
      UpdateTimes();
    });
    connect(m_timeDisplay, &TimeDisplayWindow::closed, this, [this] { m_settings.Write(setting::kDispWindowLastState, 0); });
    // Right edge three scroll-bar widths left of the main window's, top two caption heights
    // and 5 pixels below its top.
    const QStyle* style = m_frame.style();
    const int bar = style->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int caption = style->pixelMetric(QStyle::PM_TitleBarHeight);
    const QRect main = m_frame.frameGeometry();
    m_timeDisplay->move(main.right() - 3 * bar - m_timeDisplay->width(), main.top() + 2 * caption + 5);
    UpdateTimes();
  }
  m_settings.Write(setting::kDispWindowLastState, 1);
  m_timeDisplay->show();
  m_timeDisplay->raise();
}

void DisplayWindows::RestoreTimeDisplay() {
  if (m_settings.Read(setting::kDispWindowLastState) == 1) OpenTimeDisplay();
}

void DisplayWindows::OnCaretTyped(qint64 offset) {
  CChildFrame* child = m_activeChild();
  if (child == nullptr) return;
  WavePane& pane = child->View().State().Active();
  if (pane.FileName().empty()) return;
  pane.SetCursor(std::min<int64_t>(offset, static_cast<int64_t>(pane.DataLength())));
  child->View().PanesChanged();
  UpdateTimes();
}

void DisplayWindows::OnSelectionTyped(qint64 start, qint64 end) {
  CChildFrame* child = m_activeChild();
  if (child == nullptr) return;
  WavePane& pane = child->View().State().Active();
  if (pane.FileName().empty()) return;
  pane.SetSelection(static_cast<uint64_t>(start), static_cast<uint64_t>(std::max(start, end)));
  child->View().PanesChanged();
  UpdateTimes();
}

}  // namespace ztlive
