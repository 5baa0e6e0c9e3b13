#include "filters/framework/value_controls.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "filters/framework/slider_edit_pair.h"

namespace ztlive {

namespace {

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

bool IsSlider(ControlKind kind) { return kind == ControlKind::LinearSlider || kind == ControlKind::LogSlider; }

// Kinds that one widget can show: a pair serves both slider kinds.
bool SameWidgetKind(ControlKind a, ControlKind b) { return a == b || (IsSlider(a) && IsSlider(b)); }

int32_t Hold(const ParameterRecord& record, int32_t value) { return std::clamp(value, record.minimum, record.maximum); }

// A label and a field side by side, as one widget to lay out.
QWidget* LabelledField(QLabel*& label, QWidget* field, QWidget* parent) {
  auto* row = new QWidget(parent);
  label = new QLabel(row);
  label->setBuddy(field);
  field->setParent(row);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(label);
  layout->addWidget(field);
  return row;
}

}  // namespace

struct ValueControls::Control {
  int index = 0;
  ControlKind kind = ControlKind::LinearSlider;
  bool active = true;  // it has a record now
  QWidget* widget = nullptr;
  SliderEditPair* pair = nullptr;
  QGroupBox* group = nullptr;
  QButtonGroup* buttons = nullptr;
  QCheckBox* box = nullptr;
  QComboBox* combo = nullptr;
  QSpinBox* spin = nullptr;
  QLabel* label = nullptr;
};

ValueControls::ValueControls(std::span<const ParameterRecord> records, QWidget* parent)
    : QObject(parent) {
  m_controls.reserve(records.size());
  for (const ParameterRecord& record : records) {
    // A record outside the eleven values, or a second one for a value, gets no control.
    if (record.index < 0 || record.index >= kPresetValueCount || Find(record.index) != nullptr) continue;
    Make(record, parent);
    m_records.push_back(record);
  }
  PresetValues starts;
  for (const ParameterRecord& record : m_records) starts.p[static_cast<size_t>(record.index)] = record.start;
  Show(starts);
}

ValueControls::~ValueControls() = default;

void ValueControls::Make(const ParameterRecord& record, QWidget* parent) {
  Control control;
  control.index = record.index;
  control.kind = record.kind;
  const int index = record.index;
  switch (record.kind) {
    case ControlKind::LinearSlider:
    case ControlKind::LogSlider:
      control.pair = MakeSliderEditPair(record, parent);
      control.widget = control.pair;
      connect(control.pair, &SliderEditPair::valueChanged, this, [this, index] { UserChanged(index); });
      break;
    case ControlKind::RadioChoice: {
      control.group = new QGroupBox(parent);
      control.buttons = new QButtonGroup(control.group);
      auto* column = new QVBoxLayout(control.group);
      for (size_t choice = 0; choice < record.choices.size(); ++choice) {
        auto* button = new QRadioButton(control.group);
        control.buttons->addButton(button, static_cast<int>(choice));
        column->addWidget(button);
      }
      control.widget = control.group;
      connect(control.buttons, &QButtonGroup::idToggled, this, [this, index](int, bool checked) {
        if (checked) UserChanged(index);
      });
      break;
    }
    case ControlKind::ListChoice:
      control.combo = new QComboBox;
      control.widget = LabelledField(control.label, control.combo, parent);
      connect(control.combo, &QComboBox::currentIndexChanged, this, [this, index] { UserChanged(index); });
      break;
    case ControlKind::Check:
      control.box = new QCheckBox(parent);
      control.widget = control.box;
      connect(control.box, &QCheckBox::toggled, this, [this, index] { UserChanged(index); });
      break;
    case ControlKind::Spin:
      control.spin = new QSpinBox;
      control.widget = LabelledField(control.label, control.spin, parent);
      connect(control.spin, &QSpinBox::valueChanged, this, [this, index] { UserChanged(index); });
      break;
  }
  m_controls.push_back(control);
  m_showing = true;  // the first setting of a new control is no edit
  Configure(m_controls.back(), record);
  m_showing = false;
}

void ValueControls::Configure(Control& control, const ParameterRecord& record) {
  control.kind = record.kind;
  switch (record.kind) {
    case ControlKind::LinearSlider:
    case ControlKind::LogSlider:
      control.pair->SetLabel(Text(record.label));
      control.pair->SetRange(RangeOf(record));
      break;
    case ControlKind::RadioChoice:
      control.group->setTitle(Text(record.group));
      for (size_t choice = 0; choice < record.choices.size(); ++choice)
        control.buttons->button(static_cast<int>(choice))->setText(Text(record.choices[choice]));
      if (control.buttons->checkedId() < 0 && !record.choices.empty()) control.buttons->button(0)->setChecked(true);
      break;
    case ControlKind::ListChoice: {
      control.label->setText(Text(record.label));
      const int shown = control.combo->currentIndex();
      control.combo->clear();
      for (const std::string_view choice : record.choices) control.combo->addItem(Text(choice));
      control.combo->setCurrentIndex(shown >= 0 && shown < control.combo->count() ? shown : 0);
      break;
    }
    case ControlKind::Check:
      control.box->setText(Text(record.label));
      break;
    case ControlKind::Spin:
      control.label->setText(Text(record.label));
      control.spin->setRange(record.minimum, record.maximum);
      break;
  }
}

bool ValueControls::Retarget(std::span<const ParameterRecord> records) {
  for (const ParameterRecord& record : records) {
    const Control* control = Find(record.index);
    if (control == nullptr || !SameWidgetKind(control->kind, record.kind)) return false;
    if (record.kind == ControlKind::RadioChoice &&
        control->buttons->buttons().size() != static_cast<qsizetype>(record.choices.size()))
      return false;
  }
  m_records.assign(records.begin(), records.end());
  m_showing = true;
  for (Control& control : m_controls) {
    const auto record = std::find_if(records.begin(), records.end(),
                                     [&](const ParameterRecord& r) { return r.index == control.index; });
    control.active = record != records.end();
    if (control.active) Configure(control, *record);
    control.widget->setVisible(control.active);
  }
  m_showing = false;
  return true;
}

PresetValues ValueControls::Values() const {
  PresetValues values;
  for (const Control& control : m_controls) {
    if (!control.active) continue;
    int32_t& value = values.p[static_cast<size_t>(control.index)];
    switch (control.kind) {
      case ControlKind::LinearSlider:
      case ControlKind::LogSlider:
        value = control.pair->Value();
        break;
      case ControlKind::RadioChoice:
        value = std::max(control.buttons->checkedId(), 0);
        break;
      case ControlKind::ListChoice:
        value = std::max(control.combo->currentIndex(), 0);
        break;
      case ControlKind::Check:
        value = control.box->isChecked() ? 1 : 0;
        break;
      case ControlKind::Spin:
        value = control.spin->value();
        break;
    }
  }
  return values;
}

void ValueControls::Show(const PresetValues& values) {
  m_showing = true;
  for (const ParameterRecord& record : m_records) {
    Control& control = *Find(record.index);
    const int32_t value = values.p[static_cast<size_t>(record.index)];
    switch (record.kind) {
      case ControlKind::LinearSlider:
      case ControlKind::LogSlider:
        control.pair->SetValue(value);
        break;
      case ControlKind::RadioChoice: {
        const int last = static_cast<int>(control.buttons->buttons().size()) - 1;
        if (last < 0) break;
        control.buttons->button(std::clamp(Hold(record, value), 0, last))->setChecked(true);
        break;
      }
      case ControlKind::ListChoice: {
        const bool listed = record.Contains(value) && value >= 0 && value < control.combo->count();
        control.combo->setCurrentIndex(listed ? value : Hold(record, record.start));
        break;
      }
      case ControlKind::Check:
        control.box->setChecked(Hold(record, value) != 0);
        break;
      case ControlKind::Spin:
        control.spin->setValue(Hold(record, value));
        break;
    }
  }
  m_showing = false;
}

void ValueControls::UserChanged(int index) {
  const Control* control = Find(index);
  if (m_showing || control == nullptr || !control->active) return;
  emit edited(index);
}

const ValueControls::Control* ValueControls::Find(int index) const {
  for (const Control& control : m_controls)
    if (control.index == index) return &control;
  return nullptr;
}

ValueControls::Control* ValueControls::Find(int index) {
  for (Control& control : m_controls)
    if (control.index == index) return &control;
  return nullptr;
}

QWidget* ValueControls::Widget(int index) const {
  const Control* control = Find(index);
  return control != nullptr ? control->widget : nullptr;
}

SliderEditPair* ValueControls::Pair(int index) const {
  const Control* control = Find(index);
  return control != nullptr ? control->pair : nullptr;
}

QGroupBox* ValueControls::Group(int index) const {
  const Control* control = Find(index);
  return control != nullptr ? control->group : nullptr;
}

QButtonGroup* ValueControls::Buttons(int index) const {
  const Control* control = Find(index);
  return control != nullptr ? control->buttons : nullptr;
}

QRadioButton* ValueControls::Button(int index, int choice) const {
  const QButtonGroup* buttons = Buttons(index);
  return buttons != nullptr ? static_cast<QRadioButton*>(buttons->button(choice)) : nullptr;
}

QCheckBox* ValueControls::Box(int index) const {
  const Control* control = Find(index);
  return control != nullptr ? control->box : nullptr;
}

QComboBox* ValueControls::Combo(int index) const {
  const Control* control = Find(index);
  return control != nullptr ? control->combo : nullptr;
}

QSpinBox* ValueControls::Spin(int index) const {
  const Control* control = Find(index);
  return control != nullptr ? control->spin : nullptr;
}

QLabel* ValueControls::Label(int index) const {
  const Control* control = Find(index);
  return control != nullptr ? control->label : nullptr;
}

}  // namespace ztlive
