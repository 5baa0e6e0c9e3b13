// The level meter: a narrow bar with a left and a right channel bar, linear in amplitude, each
// with a falling peak-hold line, and a dB scale between them. Fed with every played block.
#pragma once

#include <QImage>
#include <QWidget>

#include "analysis/gui/display_feed.h"
#include "analysis/level_meter_state.h"

namespace ztlive {

class LevelMeterBar : public QWidget, public DisplaySink {
  Q_OBJECT

 public:
  explicit LevelMeterBar(QWidget* parent = nullptr);

  void TakeBlock(const PlayedBlock& block) override;
  void Refresh(int elapsedMs) override;
  const LevelMeterState& State() const { return m_state; }
  // The two bar rectangles, in this widget's coordinates.
  QRect LeftBar() const;
  QRect RightBar() const;

  QSize sizeHint() const override { return {64, 300}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void PaintBar(QPainter& painter, const QRect& bar, int level, int hold);
  void BuildImages();

  LevelMeterState m_state;
  QImage m_lit;
  QImage m_unlit;
  int m_sampleRate = 44100;
  int m_quietMs = 0;  // since the last played block
  bool m_dirty = false;
};

}  // namespace ztlive
