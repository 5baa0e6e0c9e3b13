// The graph of the continuous noise window's "Frequency Spectrum": the noise print's level
// in dB below full scale over a logarithmic frequency axis, drawn from the same curve the
// filter compares each frame with, with the 11 breakpoints marked. A stereo print whose
// channels differ shows the right channel as a second line.
#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

#include "filters/restoration/noise_print.h"

namespace ztlive {

class NoisePrintGraph : public QWidget {
  Q_OBJECT

 public:
  static constexpr double kTopDb = 0;       // the axis: 0 dB is a level of full scale
  static constexpr double kBottomDb = -160;  // below the lowest level a print can be shifted to
  static constexpr double kLowestHz = 20;

  explicit NoisePrintGraph(QWidget* parent = nullptr);

  // Shows a print (an empty one clears the graph) made for a source of the given rate.
  void SetPrint(const NoisePrint& print, uint32_t sampleRate);
  const NoisePrint& Print() const { return m_print; }
  uint32_t SampleRate() const { return m_sampleRate; }

  // The place of a frequency and a level in the widget, and the level a line is drawn at
  // for a frequency (in dB; below the axis when there is no print).
  double XOfHz(double hz) const;
  double YOfDb(double db) const;
  double CurveDbAt(double hz, bool right) const;
  QRect PlotArea() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  double HighestHz() const { return m_sampleRate / 2.0; }

  NoisePrint m_print;
  uint32_t m_sampleRate = 44100;
  std::vector<double> m_left;   // power per pair, as the filter builds it
  std::vector<double> m_right;
  bool m_channelsDiffer = false;
};

// A level in sample units as dB below full scale (8388608); very small levels give -400.
double LevelDb(double level);

}  // namespace ztlive
