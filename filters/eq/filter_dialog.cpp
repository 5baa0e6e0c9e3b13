#include "filters/eq/filter_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "filters/filter_factory.h"

namespace ztlive {

namespace {

constexpr FilterTypeId kLowPassType = 19;
constexpr const char* kSlopeTexts[] = {"6dB/Octave", "12dB/Octave", "18dB/Octave"};

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

SliderRange RangeOf(const ValueControl& control) {
  return {control.minimum, control.maximum, control.logarithmic, control.scale};
}

void ShowControl(SliderEditPair& pair, const ValueControl& control) {
  pair.setVisible(!control.label.empty());
  if (control.label.empty()) return;
  pair.SetLabel(Text(control.label));
  pair.SetRange(RangeOf(control));
}

}  // namespace

FilterDialog::FilterDialog(FilterWindowHost& host, QWidget* parent)
    : FilterSettingsDialog(host, parent),
      m_mode(FindFilterMode(kLowPassType)),
      m_typeId(kLowPassType),
      m_first(new SliderEditPair(&Content())),
      m_second(new SliderEditPair(&Content())),
      m_slopeGroup(new QGroupBox(QStringLiteral("Filter Slope"), &Content())),
      m_slopes(new QButtonGroup(this)),
      m_slotBox(new QCheckBox(QStringLiteral("Slot Filter"), &Content())) {
  setWindowTitle(QStringLiteral("Filter"));

  auto* slopeColumn = new QVBoxLayout(m_slopeGroup);
  for (int slope = 0; slope < 3; ++slope) {
    auto* button = new QRadioButton(QString::fromUtf8(kSlopeTexts[slope]), m_slopeGroup);
    m_slopes->addButton(button, slope);
    slopeColumn->addWidget(button);
  }
  SlopeButton(0).setChecked(true);

  auto* options = new QVBoxLayout;
  options->addWidget(m_slopeGroup);
  options->addWidget(m_slotBox);
  options->addStretch(1);
  auto* row = new QHBoxLayout(&Content());
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(m_first);
  row->addWidget(m_second);
  row->addLayout(options);
  row->addStretch(1);

  connect(m_first, &SliderEditPair::valueChanged, this, &FilterDialog::ControlChanged);
  connect(m_second, &SliderEditPair::valueChanged, this, &FilterDialog::ControlChanged);
  connect(m_slopes, &QButtonGroup::idToggled, this, [this](int, bool checked) {
    if (checked) ControlChanged();
  });
  connect(m_slotBox, &QCheckBox::toggled, this, &FilterDialog::ControlChanged);
  SetMode(kLowPassType);
}

bool FilterDialog::SetMode(FilterTypeId type) {
  const FilterModeInfo* mode = FindFilterMode(type);
  // The running engine must not receive the values of another filter.
  if (mode == nullptr || RunInProgress()) return false;
  m_mode = mode;
  m_typeId = type;
  setWindowTitle(Text(mode->title));
  ShowControl(*m_first, mode->first);
  ShowControl(*m_second, mode->second);
  m_slopeGroup->setVisible(mode->slopeShown);
  m_slotBox->setVisible(mode->slotShown);
  if (isVisible()) LoadPresetsOnOpening();  // a hidden window loads when it is shown
  return true;
}

QRadioButton& FilterDialog::SlopeButton(int slope) {
  return *static_cast<QRadioButton*>(m_slopes->button(std::clamp(slope, 0, 2)));
}

PresetValues FilterDialog::ShownValues() const {
  PresetValues values;
  values.p[0] = std::max(m_slopes->checkedId(), 0);
  if (!m_mode->first.label.empty()) values.p[1] = m_first->Value();
  if (!m_mode->second.label.empty()) values.p[2] = m_second->Value();
  if (m_mode->slotShown) values.p[3] = m_slotBox->isChecked() ? 1 : 0;
  return values;
}

void FilterDialog::ShowValues(const PresetValues& values) {
  m_showing = true;
  m_slopes->button(std::clamp(values.p[0], 0, 2))->setChecked(true);
  m_first->SetValue(values.p[1]);
  m_second->SetValue(values.p[2]);
  m_slotBox->setChecked(values.p[3] != 0);
  m_showing = false;
}

std::string_view FilterDialog::SectionBase() const {
  const FilterFactoryRow* row = FindFactoryRow(m_typeId);
  return row != nullptr ? row->sectionBase : std::string_view("None");
}

void FilterDialog::ControlChanged() {
  if (!m_showing) ValuesEdited();
}

}  // namespace ztlive
