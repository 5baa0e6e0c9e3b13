// The graphic equalizer's window, "Graphic Equalizer": ten band trackbars (0 at the top is
// +12 dB's end, 50 flat) under their centre frequencies, the "Gain" trackbar, "Reset Levels",
// the "Overload" lamp and the shared buttons and presets ("Run Eq" runs over the selection).
// Trackbar moves reach the engines at most once every 100 ms: the last position counts.
#pragma once

#include <QTimer>
#include <array>

#include "filters/eq/graphic_equalizer.h"
#include "filters/eq/overload_lamp.h"
#include "filters/framework/filter_settings_dialog.h"

class QSlider;

namespace ztlive {

class GraphicEqDialog : public FilterSettingsDialog {
  Q_OBJECT

 public:
  static constexpr FilterTypeId kType = 20;
  static constexpr int kApplyIntervalMs = 100;

  explicit GraphicEqDialog(FilterWindowHost& host, QWidget* parent = nullptr);

  // Trackbar 0..9: the bands from 31 Hz up; 10: "Gain".
  QSlider& Trackbar(int index) { return *m_trackbars[static_cast<size_t>(index)]; }
  QPushButton& ResetButton() { return *m_resetButton; }
  OverloadLamp& Lamp() { return *m_lamp; }

 protected:
  const FilterDescriptor& Descriptor() const override { return GraphicEqProcessor::Descriptor(); }
  PresetValues ShownValues() const override;
  void ShowValues(const PresetValues& stored) override;
  bool RunStarting(bool preview) override;

 private:
  void TrackbarMoved();
  void ApplyPending();
  void ResetLevels();

  std::array<QSlider*, 11> m_trackbars{};
  QPushButton* m_resetButton;
  OverloadLamp* m_lamp;
  QTimer m_applyTimer;
  bool m_pending = false;
};

}  // namespace ztlive
