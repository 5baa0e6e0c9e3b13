// The dynamic noise filter's settings window, "Dynamic Noise Filter":
//
//   [Noise Threshold] [Filter Freq (Hz)] [Attack time] [Release time] [Gain (dB)]
//                                                              [ ] Enhancer Mode
//                                                              [ ] Keep Residue
//
// Any change sends (threshold, frequency, attack, release, 0, gain, enhancer) to the engines.
// Presets are stored as (attack, release, threshold, frequency, gain, enhancer), the window's
// own order, which puts the enhancer one place before where the engine reads it. Keep residue
// is not stored: it reaches the attached engine at once and a run when it starts.
#pragma once

#include "filters/framework/filter_settings_dialog.h"
#include "filters/framework/slider_edit_pair.h"

class QCheckBox;

namespace ztlive {

class DynamicNoiseDialog : public FilterSettingsDialog {
  Q_OBJECT

 public:
  static constexpr FilterTypeId kType = 18;

  explicit DynamicNoiseDialog(FilterWindowHost& host, QWidget* parent = nullptr);

  SliderEditPair& ThresholdPair() { return *Controls().Pair(0); }
  SliderEditPair& FrequencyPair() { return *Controls().Pair(1); }
  SliderEditPair& AttackPair() { return *Controls().Pair(2); }
  SliderEditPair& ReleasePair() { return *Controls().Pair(3); }
  SliderEditPair& GainPair() { return *Controls().Pair(5); }
  QCheckBox& EnhancerBox() { return *Controls().Box(6); }
  QCheckBox& KeepResidueBox() { return *m_keepResidue; }

 protected:
  const FilterDescriptor& Descriptor() const override;
  bool RunStarting(bool preview) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ApplyKeepResidueShown();

  QCheckBox* m_keepResidue;
};

}  // namespace ztlive
