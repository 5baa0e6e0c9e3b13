#include "filters/restoration/adaptive_speech_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "filters/restoration/adaptive_speech_filter.h"

namespace ztlive {

namespace {

constexpr int kConvergence = 0;
constexpr int kReference = 2;
constexpr int kLength = 3;
constexpr int kDelay = 4;
constexpr int kFreeze = 5;

}  // namespace

AdaptiveSpeechDialog::AdaptiveSpeechDialog(FilterWindowHost& host, QWidget* parent)
    : FilterSettingsDialog(host, parent), m_keepResidue(new QCheckBox(QStringLiteral("Keep\nResidue"), &Content())) {
  setWindowTitle(QString::fromUtf8(Descriptor().windowTitle));
  const ValueControls& controls = MakeValueControls(Descriptor().parameters);

  auto* options = new QVBoxLayout;
  options->addWidget(controls.Widget(kLength));
  options->addWidget(controls.Widget(kDelay));
  options->addWidget(controls.Widget(kFreeze));
  options->addWidget(m_keepResidue);
  options->addStretch(1);
  auto* row = new QHBoxLayout(&Content());
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(controls.Widget(kConvergence));
  row->addWidget(controls.Widget(kReference), 0, Qt::AlignTop);
  row->addSpacing(8);
  row->addLayout(options);

  connect(m_keepResidue, &QCheckBox::toggled, this, &AdaptiveSpeechDialog::ApplyKeepResidueShown);
  ShowValues(InitialValues());
}

QRadioButton& AdaptiveSpeechDialog::ReferenceButton(int reference) {
  return *Controls().Button(kReference, std::clamp(reference, 0, 2));
}

const FilterDescriptor& AdaptiveSpeechDialog::Descriptor() const { return AdaptiveProcessor::Descriptor(); }

void AdaptiveSpeechDialog::ShowValues(const PresetValues& stored) {
  PresetValues shown = stored;
  if (!Descriptor().Parameter(kDelay)->Contains(shown.p[kDelay])) shown.p[kDelay] = 0;
  if (m_opening && shown.p[kLength] < kOpeningLength) shown.p[kLength] = kOpeningLength;
  FilterSettingsDialog::ShowValues(shown);
  EnableDelay();
}

QList<QWidget*> AdaptiveSpeechDialog::FieldsChangeableDuringRun() const {
  return {Controls().Spin(kLength), Controls().Spin(kDelay)};
}

void AdaptiveSpeechDialog::EnableDelay() {
  DelaySpin().setEnabled(Controls().Values().p[kReference] == AdaptiveProcessor::kTimeDelay);
}

void AdaptiveSpeechDialog::ClearFreeze() {
  const QSignalBlocker quiet(FreezeBox());
  FreezeBox().setChecked(false);
}

void AdaptiveSpeechDialog::ControlEdited(int index) {
  if (index == kReference) EnableDelay();
  // Any change but the freeze itself starts the engines afresh, unfrozen.
  if (index != kFreeze) ClearFreeze();
  ValuesEdited();
}

void AdaptiveSpeechDialog::ApplyKeepResidueShown() {
  // The file-run settings are shared by every window: a run of this one takes its own box.
  Logic().ApplyKeepResidue(m_keepResidue->isChecked() ? 1 : 0);
}

bool AdaptiveSpeechDialog::RunStarting(bool) {
  // The engine of a run starts unfrozen: the box says so, and the run gets freeze 0.
  if (FreezeBox().isChecked()) {
    ClearFreeze();
    ValuesEdited();
  }
  ApplyKeepResidueShown();
  return true;
}

void AdaptiveSpeechDialog::showEvent(QShowEvent* event) {
  m_opening = !event->spontaneous();
  FilterSettingsDialog::showEvent(event);  // loads "Default" through ShowValues
  m_opening = false;
  if (event->spontaneous()) return;
  m_keepResidue->setChecked(false);  // like bypass, keep residue never carries over
  Logic().ApplyKeepResidue(0);
}

void AdaptiveSpeechDialog::closeEvent(QCloseEvent* event) {
  FilterSettingsDialog::closeEvent(event);
  if (event->isAccepted()) m_keepResidue->setChecked(false);
}

}  // namespace ztlive
