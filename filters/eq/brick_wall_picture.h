// The brick wall window's picture of the chosen response: the magnitude of the filter the
// controls describe, in dB over a logarithmic frequency axis (20 Hz to 20 kHz, 0 to -80 dB),
// worked out from the same taps the engine uses, at 44100 Hz, with the pass band shaded.
#pragma once

#include <QWidget>
#include <vector>

#include "filters/eq/brick_wall_design.h"
#include "filters/framework/preset_values.h"

namespace ztlive {

class BrickWallPicture : public QWidget {
  Q_OBJECT

 public:
  static constexpr double kPictureRate = 44100.0;
  static constexpr int kPoints = 240;

  explicit BrickWallPicture(QWidget* parent = nullptr);

  // Designs the filter of the values and works out its response.
  void ShowDesign(const PresetValues& values);
  // The response in dB at kPoints frequencies, evenly spaced in log frequency.
  const std::vector<double>& ResponseDb() const { return m_db; }
  static double PointFrequency(int point);
  int Mode() const { return m_mode; }

  QSize sizeHint() const override { return {260, 150}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::vector<double> m_taps;
  std::vector<double> m_db;
  int m_mode = 0;
  double m_lowerHz = 0;  // the pass band (or for the band stop, the stop band)
  double m_upperHz = 0;
};

// The magnitude in dB of taps h at frequency hz for the sample rate fs.
double MagnitudeDb(const std::vector<double>& h, double hz, double fs);

}  // namespace ztlive
