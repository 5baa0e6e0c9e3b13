#include "filters/restoration/harmonic_reject_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "filters/analysis/hum_estimator.h"
#include "filters/analysis/mono_region.h"
#include "filters/restoration/harmonic_reject_filter.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

constexpr int kFrequency = 0;
constexpr int kAttenuation = 1;
constexpr int kMaximumHarmonic = 2;
constexpr int kSeries = 3;
constexpr int kKeepResidue = 4;
constexpr int kMethod = 5;
constexpr int kNotchWidth = 6;
constexpr int kFineTuning = 7;

}  // namespace

HarmonicRejectDialog::HarmonicRejectDialog(FilterWindowHost& host, QWidget* parent)
    : FilterSettingsDialog(host, parent), m_host(host), m_find(new QPushButton(QStringLiteral("F&ind"), &Content())) {
  setWindowTitle(QString::fromUtf8(Descriptor().windowTitle));
  const ValueControls& controls = MakeValueControls(Descriptor().parameters);

  auto* middle = new QVBoxLayout;
  middle->addWidget(controls.Widget(kMaximumHarmonic));
  middle->addWidget(controls.Widget(kFineTuning));
  middle->addWidget(m_find, 0, Qt::AlignLeft);
  middle->addWidget(controls.Widget(kMethod));
  middle->addStretch(1);
  auto* right = new QVBoxLayout;
  right->addWidget(controls.Widget(kSeries));
  right->addWidget(controls.Widget(kKeepResidue));
  right->addStretch(1);
  auto* row = new QHBoxLayout(&Content());
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(controls.Widget(kFrequency));
  row->addWidget(controls.Widget(kAttenuation));
  row->addWidget(controls.Widget(kNotchWidth));
  row->addSpacing(8);
  row->addLayout(middle);
  row->addSpacing(8);
  row->addLayout(right);

  FineTuningSpin().setSuffix(QStringLiteral(" mHz"));
  m_find->setToolTip(QString::fromUtf8(StringText(StringId::kHumFindTip)));
  connect(m_find, &QPushButton::clicked, this, [this] { FindFundamental(); });
  RunButton().setText(QStringLiteral("Run &Filter"));
  BypassBox().setText(QStringLiteral("&Bypass"));

  ShowValues(InitialValues());
}

const FilterDescriptor& HarmonicRejectDialog::Descriptor() const { return HarmonicRejectProcessor::Descriptor(); }

void HarmonicRejectDialog::ShowValues(const PresetValues& stored) {
  FilterSettingsDialog::ShowValues(stored);
  EnableNotchWidth();
}

void HarmonicRejectDialog::EnableNotchWidth() {
  NotchWidthPair().setEnabled(Controls().Values().p[kMethod] == HarmonicRejectProcessor::kNarrowNotches);
}

void HarmonicRejectDialog::ControlEdited(int index) {
  if (index == kMethod) EnableNotchWidth();
  if (index == kKeepResidue) Logic().ApplyKeepResidue(Controls().Values().p[kKeepResidue]);
  ValuesEdited();
}

bool HarmonicRejectDialog::RunStarting(bool) {
  // The file-run settings are shared by every window: a run of this one takes its own box.
  Logic().ApplyKeepResidue(Controls().Values().p[kKeepResidue]);
  return true;
}

QList<QWidget*> HarmonicRejectDialog::FieldsChangeableDuringRun() const { return {Controls().Spin(kMaximumHarmonic)}; }

bool HarmonicRejectDialog::FindFundamental() {
  Prompts& prompts = m_host.WindowPrompts();
  const std::optional<Stretch> stretch = m_stretch ? m_stretch() : std::nullopt;
  if (!stretch || stretch->path.empty()) {
    prompts.Show(std::string(StringText(StringId::kHumNoDocument)), "", PromptIcon::Warning);
    return false;
  }
  MonoRegion region;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const RegionReadResult read =
      ReadMonoRegion(stretch->path, stretch->from, stretch->to, kHumMaximumSeconds, region);
  std::optional<HumEstimate> hum;
  const bool longEnough = double(region.samples.size()) >= kHumMinimumSeconds * region.sampleRate;
  if (read == RegionReadResult::kRead && longEnough) hum = EstimateHumFundamental(region.samples, region.sampleRate);
  QApplication::restoreOverrideCursor();
  if (read != RegionReadResult::kRead) {
    prompts.Show(FormatText(StringId::kAnalyzeCannotRead, {stretch->path}), "", PromptIcon::Error);
    return false;
  }
  if (!longEnough) {
    prompts.Show(FormatText(StringId::kHumStretchTooShort, {std::to_string(int(kHumMinimumSeconds))}), "",
                 PromptIcon::Warning);
    return false;
  }
  if (!hum) {
    prompts.Show(std::string(StringText(StringId::kHumNotFound)), "", PromptIcon::Information);
    return false;
  }
  PresetValues values = Controls().Values();
  HarmonicRejectProcessor::SetFundamental(hum->fundamental, values);
  FrequencyPair().SetValue(values.p[kFrequency]);
  FineTuningSpin().setValue(values.p[kFineTuning]);
  ValuesEdited();
  return true;
}

}  // namespace ztlive
