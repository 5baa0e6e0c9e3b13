// The paragraphic equalizer's "Frequency Response" graph: a log frequency axis from 10 Hz to
// half the sample rate, a linear gain axis from -20 dB to +20 dB, the combined response curve,
// and one handle per band at (frequency, gain) that the user drags with the mouse. Pressing
// near a handle selects its band; dragging moves it inside the axes and reports the band's new
// frequency and gain; the readout shows the position as "%8.1fHz, %8.2fdB".
#pragma once

#include <QWidget>

#include "filters/eq/paragraphic_bands.h"
#include "filters/eq/paragraphic_response.h"

namespace ztlive {

class ResponseGraph : public QWidget {
  Q_OBJECT

 public:
  static constexpr double kLowestHz = 10.0;
  static constexpr double kRangeDb = 20.0;

  explicit ResponseGraph(QWidget* parent = nullptr);

  void SetSampleRate(double fs);
  double SampleRate() const { return m_fs; }
  void SetBands(const ParagraphicBands& bands);
  void SetSelected(int band);
  int Selected() const { return m_selected; }
  const QString& ReadoutText() const { return m_readout; }

  // Where a band's handle is drawn, and the frequency and gain of a point of the plot.
  QPointF HandlePosition(int band) const;
  double HzAt(double x) const;
  double DbAt(double y) const;

 signals:
  void bandSelected(int band);
  // The dragged band's new frequency (Hz) and gain (dB).
  void bandDragged(int band, double hz, double db);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QRectF Plot() const;
  double XOf(double hz) const;
  double YOf(double db) const;
  void ShowReadout(double hz, double db);

  double m_fs = 44100;
  ParagraphicBands m_bands = ParagraphicBands::Initial();
  ResponseCurve m_curve;
  int m_selected = 0;
  int m_dragged = -1;
  QString m_readout;
};

}  // namespace ztlive
