#include "filters/restoration/impulse_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "filters/restoration/impulse_filter.h"

namespace ztlive {

namespace {

// The high-pass detectors use tracking; the 78's and the model-based ones a threshold.
bool IsHighPass(int type) { return type == ImpulseDialog::kVinylLp || type == ImpulseDialog::kHqMode; }

constexpr int kThreshold = 0;
constexpr int kSize = 1;
constexpr int kRecordingType = 2;
constexpr int kKeepResidue = 3;
constexpr int kTracking = 4;
constexpr int kQuality = 5;

}  // namespace

ImpulseDialog::ImpulseDialog(FilterWindowHost& host, QWidget* parent)
    : FilterSettingsDialog(host, parent), m_host(host) {
  setWindowTitle(QStringLiteral("Impulse Filter Parameters"));
  const ValueControls& controls = MakeValueControls(Descriptor().parameters);

  auto* groups = new QHBoxLayout;
  groups->addWidget(controls.Widget(kRecordingType), 0, Qt::AlignTop);
  groups->addWidget(controls.Widget(kQuality), 0, Qt::AlignTop);
  auto* options = new QVBoxLayout;
  options->addLayout(groups);
  options->addWidget(controls.Widget(kKeepResidue));
  options->addStretch(1);
  auto* row = new QHBoxLayout(&Content());
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(controls.Widget(kThreshold));
  row->addWidget(controls.Widget(kSize));
  row->addWidget(controls.Widget(kTracking));
  row->addSpacing(8);
  row->addLayout(options);

  // This window's own labels for the shared buttons.
  RunButton().setText(QStringLiteral("&Run Filter"));
  BypassBox().setText(QStringLiteral("&Bypass"));

  ShowValues(InitialValues());
}

QRadioButton& ImpulseDialog::TypeButton(int type) { return *Controls().Button(kRecordingType, std::clamp(type, 0, 3)); }

QRadioButton& ImpulseDialog::QualityButton(int quality) {
  return *Controls().Button(kQuality, std::clamp(quality, 0, 1));
}

const FilterDescriptor& ImpulseDialog::Descriptor() const { return ImpulseProcessor::Descriptor(); }

PresetValues ImpulseDialog::ShownValues() const {
  PresetValues values = FilterSettingsDialog::ShownValues();
  values.p[kKeepResidue] = m_runKeepsResidue ? 1 : 0;
  return values;
}

void ImpulseDialog::ShowValues(const PresetValues& stored) {
  const bool keepResidue = KeepResidueBox().isChecked();
  FilterSettingsDialog::ShowValues(stored);
  KeepResidueBox().setChecked(keepResidue);  // reaches no engine: ControlEdited ignores it
  m_type = Controls().Values().p[kRecordingType];
  if (m_opening) ClearUnusedControl(m_type);
}

void ImpulseDialog::ControlEdited(int index) {
  if (index == kRecordingType)
    TypeChanged(Controls().Values().p[kRecordingType]);
  else if (index != kKeepResidue)
    ValuesEdited();
}

void ImpulseDialog::ClearUnusedControl(int type) {
  if (IsHighPass(type))
    ThresholdPair().SetValue(1);
  else
    TrackingPair().SetValue(1);
}

void ImpulseDialog::showEvent(QShowEvent* event) {
  // Opening loads "Default" through ShowValues, which then also clears the unused control.
  m_opening = !event->spontaneous();
  FilterSettingsDialog::showEvent(event);
  m_opening = false;
}

void ImpulseDialog::TypeChanged(int type) {
  // Only a switch between a threshold detector (78's, model-based) and the high-pass ones
  // swaps the controls; a switch within either pair keeps them, so that neither remembered value is
  // overwritten by the 1 the unused control holds.
  if (IsHighPass(type) != IsHighPass(m_type)) {
    SettingsStore& settings = m_host.Settings();
    if (IsHighPass(type)) {
      settings.Write(setting::kImpulse2Threshold, ThresholdPair().Value());
      ThresholdPair().SetValue(1);
      TrackingPair().SetValue(settings.Read(setting::kImpulse2Tracking));
    } else {
      settings.Write(setting::kImpulse2Tracking, TrackingPair().Value());
      TrackingPair().SetValue(1);
      ThresholdPair().SetValue(settings.Read(setting::kImpulse2Threshold));
    }
  }
  m_type = type;
  ValuesEdited();
}

bool ImpulseDialog::RunStarting(bool preview) {
  // The choice travels as p[3], and as the engine's flag too, which the engine reads. The
  // file-run settings are shared by every window: another one may have left the flag on.
  m_runKeepsResidue = !preview && KeepResidueBox().isChecked();
  Logic().ApplyKeepResidue(m_runKeepsResidue ? 1 : 0);
  return true;
}

void ImpulseDialog::RunEnded(bool) {
  m_runKeepsResidue = false;
  Logic().ApplyKeepResidue(0);
  ValuesEdited();  // the next run starts without keep residue again
}

}  // namespace ztlive
