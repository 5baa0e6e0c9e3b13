// The "Preset Name" dialog: one edit field of at most 64 characters under "Enter a name for
// this preset", with "OK" and "Cancel". The preset list opens it modally from "Save".
#pragma once

#include <QDialog>

#include "filters/framework/preset_list.h"

class QLineEdit;

namespace ztlive {

class PresetNameDialog : public QDialog, public PresetNameAsker {
  Q_OBJECT

 public:
  explicit PresetNameDialog(QWidget* parent = nullptr);

  // Shows the dialog with name in its field; on "OK" name takes the field's text (true).
  bool AskPresetName(std::string& name) override;

  QLineEdit& NameEdit() { return *m_name; }

 private:
  QLineEdit* m_name;
};

}  // namespace ztlive
