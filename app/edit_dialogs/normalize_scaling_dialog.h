// The "Normalized Gain Scaling" dialog: the level the selection's peak is brought to,
// "Normalize to:" in whole dB, starting from the last one chosen ("GainNormalize"/"LastGain"),
// which OK stores again.
#pragma once

#include <QDialog>
#include <optional>

#include "document/edit_settings.h"
#include "platform/settings_store.h"

class QSpinBox;

namespace ztlive {

class NormalizeScalingDialog : public QDialog {
  Q_OBJECT

 public:
  explicit NormalizeScalingDialog(SettingsStore& settings, QWidget* parent = nullptr);

  // Opens the dialog; the settings chosen (scalingDialog set), or nothing for Cancel.
  static std::optional<NormalizeSettings> Ask(SettingsStore& settings, QWidget* parent);

  NormalizeSettings Settings() const;
  QSpinBox& TargetField() { return *m_target; }

  void accept() override;

 private:
  SettingsStore& m_settings;
  QSpinBox* m_target;
};

}  // namespace ztlive
