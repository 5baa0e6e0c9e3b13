#include "filters/eq/filter_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "filters/eq/averaging_filter.h"
#include "filters/eq/band_pass_filter.h"
#include "filters/eq/high_pass_filter.h"
#include "filters/eq/low_pass_filter.h"
#include "filters/eq/median_filter.h"
#include "filters/eq/notch_filter.h"

namespace ztlive {

namespace {

constexpr FilterTypeId kLowPassType = 19;
constexpr const char* kSlopeTexts[] = {"6dB/Octave", "12dB/Octave", "18dB/Octave"};

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Shows the pair for the value, or hides it when the filter has no such value.
void ShowControl(SliderEditPair& pair, const ParameterRecord* parameter) {
  pair.setVisible(parameter != nullptr);
  if (parameter == nullptr) return;
  pair.SetLabel(Text(parameter->label));
  pair.SetRange(RangeOf(*parameter));
}

const std::array<const FilterDescriptor*, 6>& ModeList() {
  static const std::array<const FilterDescriptor*, 6> modes{
      &LowPassProcessor::Descriptor(), &HighPassProcessor::Descriptor(),  &BandPassProcessor::Descriptor(),
      &NotchProcessor::Descriptor(),   &AveragingProcessor::Descriptor(), &MedianProcessor::Descriptor()};
  return modes;
}

}  // namespace

FilterDialog::FilterDialog(FilterWindowHost& host, QWidget* parent)
    : FilterSettingsDialog(host, parent),
      m_mode(FindMode(kLowPassType)),
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

const FilterDescriptor* FilterDialog::FindMode(FilterTypeId type) {
  if (type == 7) type = 6;  // the second median type
  for (const FilterDescriptor* mode : ModeList())
    if (mode->typeId == type) return mode;
  return nullptr;
}

std::span<const FilterDescriptor* const> FilterDialog::Modes() { return ModeList(); }

bool FilterDialog::SetMode(FilterTypeId type) {
  const FilterDescriptor* mode = FindMode(type);
  // The running engine must not receive the values of another filter.
  if (mode == nullptr || RunInProgress()) return false;
  m_mode = mode;
  m_typeId = type;
  setWindowTitle(Text(mode->windowTitle));
  ShowControl(*m_first, mode->Parameter(1));
  ShowControl(*m_second, mode->Parameter(2));
  m_slopeGroup->setVisible(mode->Parameter(0) != nullptr);
  m_slotBox->setVisible(mode->Parameter(3) != nullptr);
  if (isVisible()) LoadPresetsOnOpening();  // a hidden window loads when it is shown
  return true;
}

QRadioButton& FilterDialog::SlopeButton(int slope) {
  return *static_cast<QRadioButton*>(m_slopes->button(std::clamp(slope, 0, 2)));
}

PresetValues FilterDialog::ShownValues() const {
  PresetValues values;
  values.p[0] = std::max(m_slopes->checkedId(), 0);
  if (m_mode->Parameter(1) != nullptr) values.p[1] = m_first->Value();
  if (m_mode->Parameter(2) != nullptr) values.p[2] = m_second->Value();
  if (m_mode->Parameter(3) != nullptr) values.p[3] = m_slotBox->isChecked() ? 1 : 0;
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

void FilterDialog::ControlChanged() {
  if (!m_showing) ValuesEdited();
}

}  // namespace ztlive
