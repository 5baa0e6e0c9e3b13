// The settings window of the classic filters, caption "Filter": one window for the low pass,
// high pass, band pass, notch, averaging and median filters. Its value controls are made once
// from the records of all six; the mode's descriptor decides the title, which of them show
// and their labels and ranges:
//
//   [p[1] pair] [p[2] pair]  +- Filter Slope -+
//                            | o 6dB/Octave   |
//                            | o 12dB/Octave  |
//                            | o 18dB/Octave  |
//                            +----------------+
//                            [ ] Slot Filter
//
// Any change sends (p[0] slope, p[1], p[2], p[3] slot, the rest 0) to the engines at once;
// values the mode has no record for are 0, except the slope: the notch, averaging and median
// carry the hidden slope choice as their p[0] and keep it in their presets.
#pragma once

#include <span>

#include "filters/framework/filter_settings_dialog.h"
#include "filters/framework/slider_edit_pair.h"

class QCheckBox;
class QGroupBox;
class QRadioButton;

namespace ztlive {

class FilterDialog : public FilterSettingsDialog {
  Q_OBJECT

 public:
  // Starts in the low pass mode.
  explicit FilterDialog(FilterWindowHost& host, QWidget* parent = nullptr);

  // Switches to the mode of a filter type (19, 12, 11, 13, 2, 6 or 7); an open window loads
  // the new filter's "Default" at once. False, and nothing changes, for any other type and
  // while a run of the window is in progress.
  bool SetMode(FilterTypeId type);
  const FilterDescriptor& Mode() const { return *m_mode; }
  // The descriptor of a filter this window serves (7 gives the median's), or null.
  static const FilterDescriptor* FindMode(FilterTypeId type);
  // The six filters, in menu order.
  static std::span<const FilterDescriptor* const> Modes();

  SliderEditPair& FirstPair() { return *Controls().Pair(1); }
  SliderEditPair& SecondPair() { return *Controls().Pair(2); }
  QGroupBox& SlopeGroup() { return *Controls().Group(0); }
  QRadioButton& SlopeButton(int slope);  // 0, 1, 2: 6, 12, 18 dB/octave
  QCheckBox& SlotBox() { return *Controls().Box(3); }

 protected:
  const FilterDescriptor& Descriptor() const override { return *m_mode; }
  FilterTypeId TypeId() const override { return m_typeId; }
  // The base's, with the slope choice as p[0] also where its group is hidden.
  PresetValues ShownValues() const override;
  void ShowValues(const PresetValues& stored) override;

 private:
  const FilterDescriptor* m_mode;
  FilterTypeId m_typeId;
};

}  // namespace ztlive
