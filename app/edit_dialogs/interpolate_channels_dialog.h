// The channel choice of Interpolate for a stereo file: rebuild both channels, only the left
// or only the right one. It starts at both.
#pragma once

#include <QDialog>
#include <optional>

#include "document/edit_settings.h"

class QButtonGroup;
class QRadioButton;

namespace ztlive {

class InterpolateChannelsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit InterpolateChannelsDialog(QWidget* parent = nullptr);

  // Opens the dialog; the channels chosen, or nothing for Cancel.
  static std::optional<InterpolateChannels> Ask(QWidget* parent);

  InterpolateChannels Channels() const;
  QRadioButton& ChannelButton(InterpolateChannels channels);

 private:
  QButtonGroup* m_channels;
};

}  // namespace ztlive
