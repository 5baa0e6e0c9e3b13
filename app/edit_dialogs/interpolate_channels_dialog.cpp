#include "app/edit_dialogs/interpolate_channels_dialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace ztlive {

InterpolateChannelsDialog::InterpolateChannelsDialog(QWidget* parent)
    : QDialog(parent), m_channels(new QButtonGroup(this)) {
  setWindowTitle(QStringLiteral("Interpolate"));
  setObjectName(QStringLiteral("interpolateChannelsDialog"));
  setModal(true);
  auto* box = new QGroupBox(QStringLiteral("Channels to interpolate"), this);
  auto* column = new QVBoxLayout(box);
  const std::pair<InterpolateChannels, const char*> choices[] = {{InterpolateChannels::Both, "Both Channels"},
                                                                 {InterpolateChannels::Left, "Left Channel"},
                                                                 {InterpolateChannels::Right, "Right Channel"}};
  for (const auto& [channels, name] : choices) {
    auto* button = new QRadioButton(QString::fromLatin1(name), box);
    m_channels->addButton(button, static_cast<int>(channels));
    column->addWidget(button);
  }
  ChannelButton(InterpolateChannels::Both).setChecked(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &InterpolateChannelsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &InterpolateChannelsDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(box);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

std::optional<InterpolateChannels> InterpolateChannelsDialog::Ask(QWidget* parent) {
  InterpolateChannelsDialog dialog(parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Channels();
}

InterpolateChannels InterpolateChannelsDialog::Channels() const {
  const int checked = m_channels->checkedId();
  return checked >= 0 ? static_cast<InterpolateChannels>(checked) : InterpolateChannels::Both;
}

QRadioButton& InterpolateChannelsDialog::ChannelButton(InterpolateChannels channels) {
  return *static_cast<QRadioButton*>(m_channels->button(static_cast<int>(channels)));
}

}  // namespace ztlive
