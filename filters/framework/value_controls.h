// The value controls of a settings window, made from the filter's parameter records: one
// control per record, of the record's kind, captioned, ranged and with its choices.
//
//   LinearSlider, LogSlider  a SliderEditPair
//   RadioChoice              a QGroupBox titled with the record's group, one QRadioButton per
//                            choice (button id = choice)
//   ListChoice               a QLabel and a QComboBox of the choices, side by side
//   Check                    a QCheckBox with the label
//   Spin                     a QLabel and a QSpinBox over the range, side by side
//
// The controls start at the records' starting values. They are children of the given parent;
// the window lays out Widget(index) where its layout wants it. Values() and Show() speak the
// engine's order and touch only the values that have a record. Every change the user makes
// emits edited(index) once; Show() emits nothing.
#pragma once

#include <QObject>
#include <span>
#include <vector>

#include "filters/framework/filter_descriptor.h"
#include "filters/framework/preset_values.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;
class QSpinBox;
class QWidget;

namespace ztlive {

class SliderEditPair;

class ValueControls : public QObject {
  Q_OBJECT

 public:
  ValueControls(std::span<const ParameterRecord> records, QWidget* parent);
  ~ValueControls() override;

  // Points the controls at another filter's records, keeping the widgets and their places:
  // each record's control takes the record's label, range and choices and shows; a control
  // without a record hides and is no longer read or set. False, and nothing changes, when a
  // record has no control of its kind and number of choices.
  bool Retarget(std::span<const ParameterRecord> records);
  // The records the controls serve now.
  std::span<const ParameterRecord> Records() const { return m_records; }

  // The shown values in the engine's order; values without a record are 0.
  PresetValues Values() const;
  // Sets the recorded values, each held inside its range; a list choice outside its range
  // shows the record's start. Values without a record are ignored.
  void Show(const PresetValues& values);

  // What a window lays out for the value (the pair, group box, check box, or the label and
  // list or spin box together); null for an index without a control.
  QWidget* Widget(int index) const;
  SliderEditPair* Pair(int index) const;
  QGroupBox* Group(int index) const;
  QButtonGroup* Buttons(int index) const;
  QRadioButton* Button(int index, int choice) const;
  QCheckBox* Box(int index) const;
  QComboBox* Combo(int index) const;
  QSpinBox* Spin(int index) const;
  // The caption beside a list or spin box.
  QLabel* Label(int index) const;

 signals:
  void edited(int index);

 private:
  struct Control;

  const Control* Find(int index) const;
  Control* Find(int index);
  void Make(const ParameterRecord& record, QWidget* parent);
  // Sets the control's captions and range from a record of its kind.
  void Configure(Control& control, const ParameterRecord& record);
  void UserChanged(int index);

  std::vector<ParameterRecord> m_records;
  std::vector<Control> m_controls;
  bool m_showing = false;  // Show() is setting the controls: no edit to report
};

}  // namespace ztlive
