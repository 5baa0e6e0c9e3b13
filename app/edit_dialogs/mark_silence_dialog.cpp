#include "app/edit_dialogs/mark_silence_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "app/edit_dialogs/edit_dialog_values.h"

namespace ztlive {

namespace {

QSlider* HorizontalSlider(int minimum, int maximum, int page, const QString& name, QWidget* parent) {
  auto* slider = new QSlider(Qt::Horizontal, parent);
  slider->setObjectName(name);
  slider->setRange(minimum, maximum);
  slider->setPageStep(page);
  slider->setTickPosition(QSlider::TicksBelow);
  slider->setTickInterval(page);
  slider->setMinimumWidth(260);
  return slider;
}

QLabel* ValueText(QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("-100 dB  ")));
  return label;
}

}  // namespace

MarkSilenceDialog::MarkSilenceDialog(SettingsStore& settings, RunState& run, SearchFunction search, QWidget* parent)
    : QDialog(parent),
      m_settings(settings),
      m_run(run),
      m_search(std::move(search)),
      m_threshold(HorizontalSlider(kMarkSilenceThresholdMinimum, kMarkSilenceThresholdMaximum, 10,
                                   QStringLiteral("threshold"), this)),
      m_interval(HorizontalSlider(kMarkSilenceTenthsMinimum, kMarkSilenceTenthsMaximum, 10,
                                  QStringLiteral("minimumInterval"), this)),
      m_thresholdText(ValueText(this)),
      m_intervalText(ValueText(this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), this)) {
  setWindowTitle(QStringLiteral("Find and Mark silence"));
  setObjectName(QStringLiteral("markSilenceDialog"));
  setModal(true);
  m_ok->setDefault(true);

  auto* grid = new QGridLayout;
  auto* thresholdLabel = new QLabel(QStringLiteral("Threshold"), this);
  auto* intervalLabel = new QLabel(QStringLiteral("Minimum Interval"), this);
  thresholdLabel->setBuddy(m_threshold);
  intervalLabel->setBuddy(m_interval);
  grid->addWidget(thresholdLabel, 0, 0);
  grid->addWidget(m_threshold, 0, 1);
  grid->addWidget(m_thresholdText, 0, 2);
  grid->addWidget(intervalLabel, 1, 0);
  grid->addWidget(m_interval, 1, 1);
  grid->addWidget(m_intervalText, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_ok);
  buttons->addWidget(m_cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(m_threshold, &QSlider::valueChanged, this, &MarkSilenceDialog::ShowValueTexts);
  connect(m_interval, &QSlider::valueChanged, this, &MarkSilenceDialog::ShowValueTexts);
  connect(m_ok, &QPushButton::clicked, this, &MarkSilenceDialog::SearchOrStop);
  connect(m_cancel, &QPushButton::clicked, this, &MarkSilenceDialog::reject);

  ShowSettings(ReadMarkSilenceSettings(settings));
}

MarkSilenceSettings MarkSilenceDialog::Settings() const {
  return {.thresholdDb = m_threshold->value(), .minimumTenths = m_interval->value()};
}

void MarkSilenceDialog::ShowSettings(const MarkSilenceSettings& mark) {
  m_threshold->setValue(mark.thresholdDb);
  m_interval->setValue(mark.minimumTenths);
  ShowValueTexts();
}

void MarkSilenceDialog::ShowValueTexts() {
  m_thresholdText->setText(QStringLiteral("%1 dB").arg(m_threshold->value()));
  m_intervalText->setText(QStringLiteral("%1 s").arg(m_interval->value() / 10.0, 0, 'f', 1));
}

bool MarkSilenceDialog::SomethingRuns() const {
  if (m_searching) return true;
  if (m_run.engineState == kEnginePlaying || m_run.engineState == kEnginePaused) return true;
  return m_busy && m_busy();
}

void MarkSilenceDialog::SearchOrStop() {
  if (SomethingRuns()) {
    m_run.stopRequested.store(1, std::memory_order_relaxed);
    return;
  }
  const MarkSilenceSettings mark = Settings();
  m_searching = true;
  m_ok->setText(QStringLiteral("Stop"));
  m_threshold->setEnabled(false);
  m_interval->setEnabled(false);
  m_cancel->setEnabled(false);
  if (m_search) m_search(mark);
  WriteMarkSilenceSettings(m_settings, mark);
  m_searching = false;
  m_ok->setText(QStringLiteral("OK"));
  m_threshold->setEnabled(true);
  m_interval->setEnabled(true);
  m_cancel->setEnabled(true);
  accept();
}

void MarkSilenceDialog::reject() {
  if (m_searching) {
    m_run.stopRequested.store(1, std::memory_order_relaxed);
    return;
  }
  QDialog::reject();
}

}  // namespace ztlive
