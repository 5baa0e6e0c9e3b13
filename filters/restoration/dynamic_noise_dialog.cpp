#include "filters/restoration/dynamic_noise_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "filters/restoration/dynamic_noise_filter.h"

namespace ztlive {

namespace {

constexpr int kThreshold = 0;
constexpr int kFrequency = 1;
constexpr int kAttack = 2;
constexpr int kRelease = 3;
constexpr int kGain = 5;
constexpr int kEnhancer = 6;

}  // namespace

DynamicNoiseDialog::DynamicNoiseDialog(FilterWindowHost& host, QWidget* parent)
    : FilterSettingsDialog(host, parent), m_keepResidue(new QCheckBox(QStringLiteral("Keep\nResidue"), &Content())) {
  setWindowTitle(QString::fromUtf8(Descriptor().windowTitle));
  const ValueControls& controls = MakeValueControls(Descriptor().parameters);
  // Two-line captions, so that the gain and the enhancer fit beside the other controls.
  controls.Pair(kGain)->SetLabel(QStringLiteral("Gain\n(dB)"));
  controls.Box(kEnhancer)->setText(QStringLiteral("Enhancer\nMode"));

  auto* options = new QVBoxLayout;
  options->addStretch(1);
  options->addWidget(controls.Widget(kEnhancer));
  options->addWidget(m_keepResidue);
  auto* row = new QHBoxLayout(&Content());
  row->setContentsMargins(0, 0, 0, 0);
  // Bottom-aligned, so that the edits and trackbars line up under the two-line gain caption.
  for (const int index : {kThreshold, kFrequency, kAttack, kRelease, kGain})
    row->addWidget(controls.Widget(index), 0, Qt::AlignBottom);
  row->addSpacing(8);
  row->addLayout(options);

  connect(m_keepResidue, &QCheckBox::toggled, this, &DynamicNoiseDialog::ApplyKeepResidueShown);
  // This window's own labels for the shared buttons.
  RunButton().setText(QStringLiteral("&Run Filter"));
  BypassBox().setText(QStringLiteral("&Bypass"));

  ShowValues(InitialValues());
}

const FilterDescriptor& DynamicNoiseDialog::Descriptor() const { return DynamicNoiseProcessor::WindowDescriptor(); }

void DynamicNoiseDialog::ApplyKeepResidueShown() {
  // The file-run settings are shared by every window: a run of this one takes its own box.
  Logic().ApplyKeepResidue(m_keepResidue->isChecked() ? 1 : 0);
}

bool DynamicNoiseDialog::RunStarting(bool) {
  ApplyKeepResidueShown();
  return true;
}

void DynamicNoiseDialog::showEvent(QShowEvent* event) {
  FilterSettingsDialog::showEvent(event);
  if (event->spontaneous()) return;
  m_keepResidue->setChecked(false);  // like bypass, keep residue never carries over
  Logic().ApplyKeepResidue(0);
}

void DynamicNoiseDialog::closeEvent(QCloseEvent* event) {
  FilterSettingsDialog::closeEvent(event);
  if (event->isAccepted()) m_keepResidue->setChecked(false);
}

}  // namespace ztlive
