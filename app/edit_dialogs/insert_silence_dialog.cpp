#include "app/edit_dialogs/insert_silence_dialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

#include "app/edit_dialogs/edit_dialog_values.h"

namespace ztlive {

InsertSilenceDialog::InsertSilenceDialog(const SettingsStore& settings, QWidget* parent)
    : QDialog(parent), m_seconds(new QLineEdit(this)), m_places(new QButtonGroup(this)) {
  setWindowTitle(QStringLiteral("Insert Silence"));
  setObjectName(QStringLiteral("insertSilenceDialog"));
  setModal(true);
  m_seconds->setObjectName(QStringLiteral("silenceSeconds"));
  // Seconds are written with a point, whatever the language, as the settings file keeps them.
  auto* validator = new QDoubleValidator(0.0, kSilenceSecondsMaximum, 3, m_seconds);
  validator->setNotation(QDoubleValidator::StandardNotation);
  validator->setLocale(QLocale::c());
  m_seconds->setValidator(validator);
  m_seconds->setMaximumWidth(m_seconds->fontMetrics().horizontalAdvance(QStringLiteral("00000.000")) + 12);

  auto* secondsLabel = new QLabel(QStringLiteral("Number of seconds to insert"), this);
  secondsLabel->setBuddy(m_seconds);
  auto* secondsRow = new QHBoxLayout;
  secondsRow->addWidget(secondsLabel);
  secondsRow->addWidget(m_seconds);
  secondsRow->addStretch(1);

  auto* placeBox = new QGroupBox(QStringLiteral("Paste silence at:"), this);
  auto* placeColumn = new QVBoxLayout(placeBox);
  const std::pair<SilencePlace, const char*> places[] = {{SilencePlace::FileStart, "Beginning of file"},
                                                         {SilencePlace::FileEnd, "End of file"},
                                                         {SilencePlace::SelectionStart, "Beginning of selected area"}};
  for (const auto& [place, name] : places) {
    auto* button = new QRadioButton(QString::fromLatin1(name), placeBox);
    m_places->addButton(button, static_cast<int>(place));
    placeColumn->addWidget(button);
  }

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  m_ok = buttons->button(QDialogButtonBox::Ok);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    if (Settings()) accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &InsertSilenceDialog::reject);
  connect(m_seconds, &QLineEdit::textChanged, this, [this] { m_ok->setEnabled(Seconds().has_value()); });
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(secondsRow);
  layout->addWidget(placeBox);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  ShowSettings(ReadSilenceSettings(settings));
}

std::optional<SilenceSettings> InsertSilenceDialog::Ask(const SettingsStore& settings, QWidget* parent) {
  InsertSilenceDialog dialog(settings, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Settings();
}

QRadioButton& InsertSilenceDialog::PlaceButton(SilencePlace place) {
  return *static_cast<QRadioButton*>(m_places->button(static_cast<int>(place)));
}

std::optional<double> InsertSilenceDialog::Seconds() const {
  bool ok = false;
  const double seconds = QLocale::c().toDouble(m_seconds->text().trimmed(), &ok);
  if (!ok || !std::isfinite(seconds) || seconds < kSilenceSecondsMinimum || seconds > kSilenceSecondsMaximum)
    return std::nullopt;
  return seconds;
}

std::optional<SilenceSettings> InsertSilenceDialog::Settings() const {
  const std::optional<double> seconds = Seconds();
  if (!seconds) return std::nullopt;
  const int place = m_places->checkedId();
  return SilenceSettings{.seconds = *seconds,
                         .place = place >= 0 ? static_cast<SilencePlace>(place) : SilencePlace::FileStart};
}

void InsertSilenceDialog::ShowSettings(const SilenceSettings& silence) {
  m_seconds->setText(QLocale::c().toString(silence.seconds, 'g', 6));
  QAbstractButton* place = m_places->button(static_cast<int>(silence.place));
  (place != nullptr ? place : m_places->button(static_cast<int>(SilencePlace::FileStart)))->setChecked(true);
}

}  // namespace ztlive
