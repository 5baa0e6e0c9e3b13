#include "filters/eq/graphic_eq_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace ztlive {

namespace {

constexpr int kGainIndex = 10;
constexpr int kFlat = 50;
constexpr int kOverloadLitMs = 1500;

QSlider* MakeTrackbar(QWidget* parent) {
  auto* trackbar = new QSlider(Qt::Vertical, parent);
  trackbar->setRange(0, 100);
  trackbar->setInvertedAppearance(true);  // 0 at the top
  trackbar->setInvertedControls(true);
  trackbar->setPageStep(10);
  trackbar->setMinimumHeight(150);
  return trackbar;
}

}  // namespace

GraphicEqDialog::GraphicEqDialog(FilterWindowHost& host, QWidget* parent)
    : FilterSettingsDialog(host, parent),
      m_resetButton(new QPushButton(QStringLiteral("Reset Levels"), &Content())),
      m_lamp(new OverloadLamp(host.Run(), kOverloadLitMs, &Content())) {
  setWindowTitle(QStringLiteral("Graphic Equalizer"));
  m_resetButton->setAutoDefault(false);  // Enter in an edit field confirms the value, nothing else
  auto* grid = new QGridLayout(&Content());
  grid->setContentsMargins(0, 0, 0, 0);
  auto* scale = new QVBoxLayout;
  scale->addWidget(new QLabel(QStringLiteral("+12dB"), &Content()), 0, Qt::AlignTop);
  scale->addStretch(1);
  scale->addWidget(new QLabel(QStringLiteral("-12dB"), &Content()), 0, Qt::AlignBottom);
  grid->addLayout(scale, 0, 0);
  const auto& parameters = Descriptor().parameters;
  for (int k = 0; k < kGraphicBands; ++k) {
    QSlider* trackbar = MakeTrackbar(&Content());
    m_trackbars[static_cast<size_t>(k)] = trackbar;
    grid->addWidget(trackbar, 0, k + 1, Qt::AlignHCenter);
    grid->addWidget(new QLabel(QString::fromUtf8(parameters[static_cast<size_t>(k)].label.data(),
                                                 static_cast<qsizetype>(parameters[static_cast<size_t>(k)].label.size())),
                               &Content()),
                    1, k + 1, Qt::AlignHCenter);
  }
  grid->addWidget(new QLabel(QStringLiteral("Hz"), &Content()), 1, kGraphicBands + 1, Qt::AlignLeft);
  QSlider* gain = MakeTrackbar(&Content());
  gain->setTickPosition(QSlider::TicksRight);
  gain->setTickInterval(10);
  m_trackbars[kGainIndex] = gain;
  grid->setColumnMinimumWidth(kGraphicBands + 2, 12);
  grid->addWidget(gain, 0, kGraphicBands + 3, Qt::AlignHCenter);
  grid->addWidget(new QLabel(QStringLiteral("Gain"), &Content()), 1, kGraphicBands + 3, Qt::AlignHCenter);
  auto* side = new QVBoxLayout;
  side->addWidget(m_resetButton);
  side->addStretch(1);
  side->addWidget(new QLabel(QStringLiteral("Overload"), &Content()), 0, Qt::AlignHCenter);
  side->addWidget(m_lamp, 0, Qt::AlignHCenter);
  grid->addLayout(side, 0, kGraphicBands + 4);

  for (QSlider* trackbar : m_trackbars) {
    trackbar->setValue(kFlat);
    connect(trackbar, &QSlider::valueChanged, this, &GraphicEqDialog::TrackbarMoved);
  }
  m_applyTimer.setSingleShot(true);
  m_applyTimer.setInterval(kApplyIntervalMs);
  connect(&m_applyTimer, &QTimer::timeout, this, &GraphicEqDialog::ApplyPending);
  connect(m_resetButton, &QPushButton::clicked, this, &GraphicEqDialog::ResetLevels);

  RunButton().setText(QStringLiteral("Run Eq"));
  CloseButton().setText(QStringLiteral("Close"));
  BypassBox().setText(QStringLiteral("&Bypass"));
}

PresetValues GraphicEqDialog::ShownValues() const {
  PresetValues values;
  for (size_t i = 0; i < m_trackbars.size(); ++i) values.p[i] = m_trackbars[i]->value();
  return values;
}

void GraphicEqDialog::ShowValues(const PresetValues& stored) {
  for (size_t i = 0; i < m_trackbars.size(); ++i) {
    const QSignalBlocker quiet(m_trackbars[i]);
    m_trackbars[i]->setValue(stored.p[i]);  // held inside 0..100 by the trackbar
  }
}

void GraphicEqDialog::TrackbarMoved() {
  // The first move goes out at once; moves within the next 100 ms go out together after it.
  if (m_applyTimer.isActive()) {
    m_pending = true;
    return;
  }
  ValuesEdited();
  m_applyTimer.start();
}

void GraphicEqDialog::ApplyPending() {
  if (!m_pending) return;
  m_pending = false;
  ValuesEdited();
  m_applyTimer.start();
}

void GraphicEqDialog::ResetLevels() {
  PresetValues flat;
  flat.p.fill(kFlat);
  ShowValues(flat);
  m_applyTimer.stop();
  m_pending = false;
  ValuesEdited();
}

bool GraphicEqDialog::RunStarting(bool) {
  // A move still waiting goes out with the run; the lamp starts grey.
  if (m_pending) ApplyPending();
  m_lamp->Clear();
  return true;
}

}  // namespace ztlive
