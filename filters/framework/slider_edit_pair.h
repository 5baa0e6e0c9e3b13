// A value control of a settings window: a label, an edit field, and under them a vertical
// trackbar whose top is the maximum. Typing a number (Enter or leaving the field) and moving
// the trackbar keep the two in step; every change of the value emits valueChanged once.
#pragma once

#include <QWidget>
#include <cstdint>

#include "filters/framework/filter_descriptor.h"
#include "filters/framework/slider_mapping.h"

class QLabel;
class QLineEdit;
class QSlider;

namespace ztlive {

class SliderEditPair : public QWidget {
  Q_OBJECT

 public:
  explicit SliderEditPair(QWidget* parent = nullptr);

  void SetLabel(const QString& text);
  // A unit shown beside the edit; empty for none.
  void SetUnit(const QString& text);
  // A new range; the value is held inside it and shown again, without a signal.
  void SetRange(const SliderRange& range);
  const SliderRange& Range() const { return m_range; }
  // Shows a value, held inside the range, without a signal.
  void SetValue(int32_t value);
  int32_t Value() const { return m_value; }
  // The trackbar position: 0 at the top (the maximum) to 10000 at the bottom (the minimum).
  int Position() const;

  QLabel& Label() { return *m_label; }
  QLineEdit& Edit() { return *m_edit; }
  QSlider& Slider() { return *m_slider; }

 signals:
  void valueChanged(int value);

 private:
  void OnSliderMoved(int position);
  void OnEditFinished();
  void ShowText();
  void ShowPosition();

  SliderRange m_range{0, 1, false, 1};
  int32_t m_value = 0;
  QLabel* m_label;
  QLineEdit* m_edit;
  QLabel* m_unit;
  QSlider* m_slider;
};

// The trackbar range of a value's parameter record.
SliderRange RangeOf(const ParameterRecord& parameter);
// A pair for a value: labelled and ranged from its parameter record.
SliderEditPair* MakeSliderEditPair(const ParameterRecord& parameter, QWidget* parent);

}  // namespace ztlive
