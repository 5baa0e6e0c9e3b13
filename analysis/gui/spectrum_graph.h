// The spectrum analyzer's graph: the shown levels over a logarithmic frequency axis from
// 10 Hz to the analyzer's top frequency, between the level floor and the offset, with the
// peak marker.
#pragma once

#include <QPolygonF>
#include <QWidget>

#include "analysis/spectrum_analyzer.h"

namespace ztlive {

class SpectrumGraph : public QWidget {
  Q_OBJECT

 public:
  static constexpr double kLowestHz = 10.0;

  SpectrumGraph(const SpectrumAnalyzer& analyzer, QWidget* parent = nullptr);
  // The level axis: from offset + floor (bottom) to offset (top), in dB.
  void SetLevelAxis(double bottomDb, double topDb);
  // Where a frequency and a level are drawn; the inner plot rectangle.
  double XOf(double hz) const;
  double YOf(double db) const;
  QRect Plot() const;

  QSize sizeHint() const override { return {520, 260}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const SpectrumAnalyzer& m_analyzer;
  double m_bottomDb = -100.0;
  double m_topDb = 0.0;
  QPolygonF m_line;  // sized once for the longest transform
};

}  // namespace ztlive
