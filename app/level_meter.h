// A horizontal input-level meter: the peak of the latest input buffer on a decibel scale from
// -60 dB to full scale, green up to -12 dB, yellow to -3 dB, red above.
#pragma once

#include <QWidget>

namespace ztlive {

class LevelMeter : public QWidget {
  Q_OBJECT

 public:
  explicit LevelMeter(QWidget* parent = nullptr);

  // peak: a magnitude in sample-value scale (full scale 8388607).
  void SetPeak(int peak);
  int Peak() const { return m_peak; }
  // The lit share of the bar, 0 ... 1.
  static double Level(int peak);

  QSize sizeHint() const override { return {220, 14}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int m_peak = 0;
};

}  // namespace ztlive
