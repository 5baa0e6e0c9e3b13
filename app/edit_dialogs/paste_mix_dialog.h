// The Paste Mix dialog: how much of the clipboard and how much of the file go into the mix,
// each 0 ... 100 percent, starting from the last ones chosen, which OK stores again.
#pragma once

#include <QDialog>
#include <optional>

#include "document/edit_settings.h"
#include "platform/settings_store.h"

namespace ztlive {

class SliderEditPair;

class PasteMixDialog : public QDialog {
  Q_OBJECT

 public:
  explicit PasteMixDialog(SettingsStore& settings, QWidget* parent = nullptr);

  // Opens the dialog; the percentages chosen, or nothing for Cancel.
  static std::optional<MixSettings> Ask(SettingsStore& settings, QWidget* parent);

  MixSettings Settings() const;
  SliderEditPair& ClipPercent() { return *m_clip; }
  SliderEditPair& FilePercent() { return *m_file; }

  void accept() override;

 private:
  SettingsStore& m_settings;
  SliderEditPair* m_clip;
  SliderEditPair* m_file;
};

}  // namespace ztlive
