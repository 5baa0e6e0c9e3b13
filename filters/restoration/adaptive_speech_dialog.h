// The adaptive speech filter's settings window, "Adaptive Filter":
//
//   [Convergence]  +- Reference Signal -+  Filter Length [ 32 ^v]
//                  | o Right Channel    |  Delay         [  1 ^v]
//                  | o Left Channel     |  [ ] Freeze
//                  | o Time Delay       |  [ ] Keep Residue
//                  +--------------------+
//
// Any change sends (convergence, 0, reference, length, delay, freeze) to the engines. The
// delay applies only to "Time Delay", so it is enabled only then. "Freeze" stops the attached
// and the running engine's adaptation at once and keeps what they learnt; any other change
// starts them afresh and so ends the freeze, and its box is cleared. A run always starts
// unfrozen. "Keep Residue" reaches the attached engine at once and a run when it starts; it
// is not stored. On opening a filter length below 32 is raised to 32, and a delay outside its
// range becomes 0.
#pragma once

#include "filters/framework/filter_settings_dialog.h"
#include "filters/framework/slider_edit_pair.h"

class QCheckBox;
class QRadioButton;
class QSpinBox;

namespace ztlive {

class AdaptiveSpeechDialog : public FilterSettingsDialog {
  Q_OBJECT

 public:
  static constexpr FilterTypeId kType = 30;
  static constexpr int32_t kOpeningLength = 32;

  explicit AdaptiveSpeechDialog(FilterWindowHost& host, QWidget* parent = nullptr);

  SliderEditPair& ConvergencePair() { return *Controls().Pair(0); }
  QRadioButton& ReferenceButton(int reference);
  QSpinBox& LengthSpin() { return *Controls().Spin(3); }
  QSpinBox& DelaySpin() { return *Controls().Spin(4); }
  QCheckBox& FreezeBox() { return *Controls().Box(5); }
  QCheckBox& KeepResidueBox() { return *m_keepResidue; }

 protected:
  const FilterDescriptor& Descriptor() const override;
  void ShowValues(const PresetValues& stored) override;
  void ControlEdited(int index) override;
  bool RunStarting(bool preview) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // The filter length and the delay stay changeable while a run reads the values.
  QList<QWidget*> FieldsChangeableDuringRun() const override;

 private:
  void ApplyKeepResidueShown();
  void EnableDelay();
  void ClearFreeze();

  QCheckBox* m_keepResidue;
  bool m_opening = false;  // the window is loading its "Default"
};

}  // namespace ztlive
