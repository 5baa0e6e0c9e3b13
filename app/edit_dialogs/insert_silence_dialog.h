// The "Insert Silence" dialog: the "Number of seconds to insert" and where ("Paste silence
// at:" the beginning of the file, its end, or the beginning of the selected area), starting
// from "Zanto"/"SilenceLength" and "SilencePaste". OK is offered only for a number of
// seconds in range. The command stores the values it is given.
#pragma once

#include <QDialog>
#include <optional>

#include "document/edit_settings.h"
#include "platform/settings_store.h"

class QButtonGroup;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace ztlive {

class InsertSilenceDialog : public QDialog {
  Q_OBJECT

 public:
  explicit InsertSilenceDialog(const SettingsStore& settings, QWidget* parent = nullptr);

  // Opens the dialog; the values chosen, or nothing for Cancel.
  static std::optional<SilenceSettings> Ask(const SettingsStore& settings, QWidget* parent);

  // The values shown; nothing while the seconds are no number in range.
  std::optional<SilenceSettings> Settings() const;
  void ShowSettings(const SilenceSettings& silence);

  QLineEdit& SecondsField() { return *m_seconds; }
  QRadioButton& PlaceButton(SilencePlace place);
  QPushButton& OkButton() { return *m_ok; }

 private:
  std::optional<double> Seconds() const;

  QLineEdit* m_seconds;
  QButtonGroup* m_places;
  QPushButton* m_ok = nullptr;
};

}  // namespace ztlive
