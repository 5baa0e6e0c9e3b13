#include "filters/eq/brick_wall_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "filters/eq/brick_wall_filter.h"
#include "filters/eq/brick_wall_picture.h"

namespace ztlive {

namespace {

constexpr int kFrequency = 0;
constexpr int kUpper = 1;
constexpr int kLength = 2;
constexpr int kMode = 3;
constexpr int kKaiser = 4;

}  // namespace

BrickWallDialog::BrickWallDialog(FilterWindowHost& host, QWidget* parent)
    : FilterSettingsDialog(host, parent), m_picture(new BrickWallPicture(&Content())) {
  setWindowTitle(QStringLiteral("Brick Wall Filter"));
  const ValueControls& controls = MakeValueControls(Descriptor().parameters);

  auto* shape = new QVBoxLayout;
  shape->addWidget(controls.Widget(kMode));
  shape->addStretch(1);
  auto* row = new QHBoxLayout(&Content());
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(controls.Widget(kFrequency));
  row->addWidget(controls.Widget(kUpper));
  row->addWidget(controls.Widget(kLength));
  row->addWidget(controls.Widget(kKaiser));
  row->addSpacing(8);
  row->addLayout(shape);
  row->addWidget(m_picture, 1);

  RunButton().setText(QStringLiteral("&Run Filter"));
  BypassBox().setText(QStringLiteral("&Bypass"));

  ShowValues(InitialValues());
}

QRadioButton& BrickWallDialog::TypeButton(int mode) { return *Controls().Button(kMode, std::clamp(mode, 0, 3)); }

const FilterDescriptor& BrickWallDialog::Descriptor() const { return BrickWallProcessor::Descriptor(); }

void BrickWallDialog::ShowValues(const PresetValues& stored) {
  FilterSettingsDialog::ShowValues(stored);
  FollowValues();
}

void BrickWallDialog::ControlEdited(int) {
  FollowValues();
  ValuesEdited();
}

void BrickWallDialog::FollowValues() {
  const PresetValues values = Controls().Values();
  const bool band = values.p[kMode] == brick_wall::kBandPass || values.p[kMode] == brick_wall::kBandStop;
  UpperPair().Label().setVisible(band);
  UpperPair().setEnabled(band);
  m_picture->ShowDesign(values);
}

}  // namespace ztlive
