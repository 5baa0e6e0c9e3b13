#include "app/edit_dialogs/paste_mix_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/edit_dialogs/edit_dialog_values.h"
#include "filters/framework/slider_edit_pair.h"

namespace ztlive {

namespace {

SliderEditPair* PercentPair(const QString& label, const QString& name, int value, QWidget* parent) {
  auto* pair = new SliderEditPair(parent);
  pair->setObjectName(name);
  pair->SetLabel(label);
  pair->SetUnit(QStringLiteral("%"));
  pair->SetRange({0, 100, false, 1});
  pair->SetValue(value);
  return pair;
}

}  // namespace

PasteMixDialog::PasteMixDialog(SettingsStore& settings, QWidget* parent) : QDialog(parent), m_settings(settings) {
  setWindowTitle(QStringLiteral("Paste Mix"));
  setObjectName(QStringLiteral("pasteMixDialog"));
  setModal(true);
  const MixSettings stored = ReadMixSettings(settings);
  m_clip = PercentPair(QStringLiteral("Clipboard"), QStringLiteral("clipPercent"), stored.clipPercent, this);
  m_file = PercentPair(QStringLiteral("File"), QStringLiteral("filePercent"), stored.filePercent, this);

  auto* pairs = new QHBoxLayout;
  pairs->addStretch(1);
  pairs->addWidget(m_clip);
  pairs->addSpacing(16);
  pairs->addWidget(m_file);
  pairs->addStretch(1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &PasteMixDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &PasteMixDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(pairs);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

std::optional<MixSettings> PasteMixDialog::Ask(SettingsStore& settings, QWidget* parent) {
  PasteMixDialog dialog(settings, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Settings();
}

MixSettings PasteMixDialog::Settings() const {
  return {.clipPercent = m_clip->Value(), .filePercent = m_file->Value()};
}

void PasteMixDialog::accept() {
  WriteMixSettings(m_settings, Settings());
  QDialog::accept();
}

}  // namespace ztlive
