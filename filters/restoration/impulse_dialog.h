// The impulse filter's settings window, "Impulse Filter Parameters":
//
//   [Threshold] [Size] [Tracking]   +- Recording Type -+  +- Optimization -+
//                                   | o 78's           |  | o Speed        |
//                                   | o Vinyl LP       |  | o Accuracy     |
//                                   | o HQ Mode        |  +----------------+
//                                   | o Model-Based    |
//                                   +------------------+
//                                   [ ] Keep Residue
//
// Any change sends (p[0] threshold, p[1] size, p[2] recording type, p[3] 0, p[4] tracking,
// p[5] quality) to the engines. Keep residue (p[3], and the engine flag with it) goes only to
// a run started with "Run Filter", and stays for the whole of that run, so that the file it
// writes is all residue or none. Presets are stored in the engine's order (threshold, size,
// tracking, recording type, quality), so ShowValues takes that order.
//
// The 78's and model-based detectors use the threshold, the two high-pass ones the tracking;
// switching between the two kinds remembers the control the new kind leaves unused in the
// settings section "Impulse2" and sets it to 1.
#pragma once

#include "filters/framework/filter_settings_dialog.h"
#include "filters/framework/slider_edit_pair.h"

class QCheckBox;
class QRadioButton;

namespace ztlive {

class ImpulseDialog : public FilterSettingsDialog {
  Q_OBJECT

 public:
  static constexpr FilterTypeId kType = 15;
  enum RecordingType { k78s = 0, kVinylLp = 1, kHqMode = 2, kModelBased = 3 };
  enum Quality { kSpeed = 0, kAccuracy = 1 };

  explicit ImpulseDialog(FilterWindowHost& host, QWidget* parent = nullptr);

  SliderEditPair& ThresholdPair() { return *Controls().Pair(0); }
  SliderEditPair& SizePair() { return *Controls().Pair(1); }
  SliderEditPair& TrackingPair() { return *Controls().Pair(4); }
  QRadioButton& TypeButton(int type);
  QRadioButton& QualityButton(int quality);
  QCheckBox& KeepResidueBox() { return *Controls().Box(3); }

 protected:
  const FilterDescriptor& Descriptor() const override;
  // The engine's order; p[3] is set only for a run started with "Run Filter".
  PresetValues ShownValues() const override;
  // Takes a preset record (the stored order). Keep residue is never stored: its box stays as
  // the user left it. On opening, the control the loaded type does not use is set to 1.
  void ShowValues(const PresetValues& stored) override;
  // A change of the recording type may swap the threshold and tracking controls; keep
  // residue reaches the engines only with a run.
  void ControlEdited(int index) override;

  // Keep residue goes with a "Run Filter" run only, and is cleared when the run ends.
  bool RunStarting(bool preview) override;
  void RunEnded(bool preview) override;

  void showEvent(QShowEvent* event) override;

 private:
  void TypeChanged(int type);
  // Sets the control that the type does not use to 1.
  void ClearUnusedControl(int type);

  FilterWindowHost& m_host;
  int m_type = k78s;                 // the type the controls were last set for
  bool m_opening = false;            // the window is loading its "Default"
  bool m_runKeepsResidue = false;    // a "Run Filter" run with keep residue is starting or running
};

}  // namespace ztlive
