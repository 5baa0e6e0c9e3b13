#include "app/edit_dialogs/normalize_scaling_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/edit_dialogs/edit_dialog_values.h"

namespace ztlive {

NormalizeScalingDialog::NormalizeScalingDialog(SettingsStore& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_target(new QSpinBox(this)) {
  setWindowTitle(QStringLiteral("Normalized Gain Scaling"));
  setObjectName(QStringLiteral("normalizeScalingDialog"));
  setModal(true);
  m_target->setObjectName(QStringLiteral("normalizeTarget"));
  m_target->setRange(kNormalizeTargetMinimum, kNormalizeTargetMaximum);
  m_target->setSuffix(QStringLiteral(" dB"));
  m_target->setValue(static_cast<int>(ReadNormalizeScaling(settings).targetDb));
  m_target->setMinimumWidth(m_target->fontMetrics().horizontalAdvance(QStringLiteral("-000 dB")) + 40);
  setMinimumWidth(280);  // room for the caption

  auto* label = new QLabel(QStringLiteral("Normalize to:"), this);
  label->setBuddy(m_target);
  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(m_target);
  row->addStretch(1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &NormalizeScalingDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &NormalizeScalingDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(buttons);
}

std::optional<NormalizeSettings> NormalizeScalingDialog::Ask(SettingsStore& settings, QWidget* parent) {
  NormalizeScalingDialog dialog(settings, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Settings();
}

NormalizeSettings NormalizeScalingDialog::Settings() const {
  return {.scalingDialog = true, .targetDb = static_cast<double>(m_target->value())};
}

void NormalizeScalingDialog::accept() {
  m_target->interpretText();  // a number typed but not yet taken counts
  WriteNormalizeScaling(m_settings, Settings());
  QDialog::accept();
}

}  // namespace ztlive
