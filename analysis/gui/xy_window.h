// The "X-Y Vector Display": the played sound as left against right inside a circle, with the
// "L Gain" and "R Gain" sliders. Keeps a copy of the latest played block and draws it on the
// feed's timer.
#pragma once

#include <QDialog>
#include <vector>

#include "analysis/gui/display_feed.h"
#include "analysis/xy_trace.h"

class QSlider;

namespace ztlive {

class XyPlot;

class XyWindow : public QDialog, public DisplaySink {
  Q_OBJECT

 public:
  explicit XyWindow(QWidget* parent = nullptr);

  void TakeBlock(const PlayedBlock& block) override;
  void Refresh(int elapsedMs) override;

  XyGains Gains() const;
  QWidget& Plot();
  QSlider& LeftGain() { return *m_left; }
  QSlider& RightGain() { return *m_right; }

 private:
  friend class XyPlot;
  XyPlot* m_plot = nullptr;
  QSlider* m_left = nullptr;
  QSlider* m_right = nullptr;
  std::vector<SampleValue> m_values;  // the latest block, room for a whole ring slot
  int m_valueCount = 0;
  int m_channels = 2;
  bool m_dirty = false;
};

}  // namespace ztlive
