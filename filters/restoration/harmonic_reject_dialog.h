// The harmonic reject filter's settings window, "Harmonic Reject Filter":
//
//   [Frequency] [Attenuation (dB)]  Maximum Harmonic [  ]   +- Filter Harmonics -+
//                                   Fine Tuning [  ] mHz   | o Odd Only         |
//                                   [ Find ]               | o Even Only        |
//                                   Method [Spectral v]    | o All              |
//                                   [Notch Width]          +--------------------+
//                                                          [ ] Keep Residue
//
// Any change sends the values to the engines, keep residue with them (p[4] and the engine's
// flag). "Find" estimates the mains fundamental from the active document's selection (or its
// first 20 seconds) and sets the frequency and the fine tuning to it. The notch width only
// matters for the narrow notch method and is enabled with it.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "filters/framework/filter_settings_dialog.h"
#include "filters/framework/slider_edit_pair.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;

namespace ztlive {

class HarmonicRejectDialog : public FilterSettingsDialog {
  Q_OBJECT

 public:
  static constexpr FilterTypeId kType = 22;

  // The stretch "Find" listens to.
  struct Stretch {
    std::string path;
    uint64_t from = 0;  // data byte offsets
    uint64_t to = 0;    // 0: to the end
  };
  using StretchProvider = std::function<std::optional<Stretch>()>;

  explicit HarmonicRejectDialog(FilterWindowHost& host, QWidget* parent = nullptr);

  void SetStretchProvider(StretchProvider provider) { m_stretch = std::move(provider); }

  SliderEditPair& FrequencyPair() { return *Controls().Pair(0); }
  SliderEditPair& AttenuationPair() { return *Controls().Pair(1); }
  QSpinBox& MaximumHarmonicSpin() { return *Controls().Spin(2); }
  QCheckBox& KeepResidueBox() { return *Controls().Box(4); }
  QComboBox& MethodList() { return *Controls().Combo(5); }
  SliderEditPair& NotchWidthPair() { return *Controls().Pair(6); }
  QSpinBox& FineTuningSpin() { return *Controls().Spin(7); }
  QPushButton& FindButton() { return *m_find; }

  // "Find": true when the fundamental was found and set.
  bool FindFundamental();

 protected:
  const FilterDescriptor& Descriptor() const override;
  void ShowValues(const PresetValues& stored) override;
  void ControlEdited(int index) override;
  bool RunStarting(bool preview) override;
  QList<QWidget*> FieldsChangeableDuringRun() const override;

 private:
  void EnableNotchWidth();

  FilterWindowHost& m_host;
  QPushButton* m_find;
  StretchProvider m_stretch;
};

}  // namespace ztlive
