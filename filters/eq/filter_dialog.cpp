#include "filters/eq/filter_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <vector>

#include "filters/eq/averaging_filter.h"
#include "filters/eq/band_pass_filter.h"
#include "filters/eq/high_pass_filter.h"
#include "filters/eq/low_pass_filter.h"
#include "filters/eq/median_filter.h"
#include "filters/eq/notch_filter.h"

namespace ztlive {

namespace {

constexpr FilterTypeId kLowPassType = 19;
constexpr int kSlope = 0;
constexpr int kLastSlope = 2;

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

const std::array<const FilterDescriptor*, 6>& ModeList() {
  static const std::array<const FilterDescriptor*, 6> modes{
      &LowPassProcessor::Descriptor(), &HighPassProcessor::Descriptor(),  &BandPassProcessor::Descriptor(),
      &NotchProcessor::Descriptor(),   &AveragingProcessor::Descriptor(), &MedianProcessor::Descriptor()};
  return modes;
}

// One record for every value any mode has (the first mode's that has it): the window makes
// its controls from these once, and each mode then takes over the ones it uses.
std::vector<ParameterRecord> EveryModesRecords() {
  std::vector<ParameterRecord> records;
  for (const FilterDescriptor* mode : ModeList())
    for (const ParameterRecord& record : mode->parameters)
      if (std::none_of(records.begin(), records.end(),
                       [&](const ParameterRecord& known) { return known.index == record.index; }))
        records.push_back(record);
  return records;
}

}  // namespace

FilterDialog::FilterDialog(FilterWindowHost& host, QWidget* parent)
    : FilterSettingsDialog(host, parent), m_mode(FindMode(kLowPassType)), m_typeId(kLowPassType) {
  setWindowTitle(QStringLiteral("Filter"));
  const ValueControls& controls = MakeValueControls(EveryModesRecords());

  auto* options = new QVBoxLayout;
  options->addWidget(controls.Widget(kSlope));  // the slope group
  options->addWidget(controls.Widget(3));  // the slot box
  options->addStretch(1);
  auto* row = new QHBoxLayout(&Content());
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(controls.Widget(1));
  row->addWidget(controls.Widget(2));
  row->addLayout(options);
  row->addStretch(1);
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
  if (!Controls().Retarget(mode->parameters)) return false;
  m_mode = mode;
  m_typeId = type;
  setWindowTitle(Text(mode->windowTitle));
  if (isVisible()) LoadPresetsOnOpening();  // a hidden window loads when it is shown
  return true;
}

QRadioButton& FilterDialog::SlopeButton(int slope) {
  return *Controls().Button(kSlope, std::clamp(slope, 0, kLastSlope));
}

PresetValues FilterDialog::ShownValues() const {
  PresetValues values = FilterSettingsDialog::ShownValues();
  values.p[kSlope] = std::max(Controls().Buttons(kSlope)->checkedId(), 0);
  return values;
}

void FilterDialog::ShowValues(const PresetValues& stored) {
  FilterSettingsDialog::ShowValues(stored);
  if (m_mode->Parameter(kSlope) != nullptr) return;
  PresetValues values = ShownValues();
  m_mode->presetRecord.Load(stored, values);
  SlopeButton(values.p[kSlope]).setChecked(true);  // hidden, so no edit of the mode's values
}

}  // namespace ztlive
