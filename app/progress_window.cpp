#include "app/progress_window.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "platform/string_table.h"

namespace ztlive {

ProgressWindow::ProgressWindow(ProgressModel& model, RunState& run, QWidget* parent)
    : QDialog(parent), m_model(model), m_run(run) {
  setWindowTitle(QStringLiteral("ZA-nto Progress"));
  setModal(false);
  auto* layout = new QGridLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Total samples to process:"), this), 0, 0);
  layout->addWidget(new QLabel(QString::number(m_model.TotalToProcess()), this), 0, 1);
  layout->addWidget(new QLabel(QStringLiteral("Percent Done"), this), 1, 0);
  m_percent = new QLabel(this);
  layout->addWidget(m_percent, 1, 1);
  m_bar = new QProgressBar(this);
  m_bar->setRange(0, 100);
  m_bar->setTextVisible(false);
  m_bar->setMinimumWidth(280);
  layout->addWidget(m_bar, 2, 0, 1, 2);
  // The click filters' counts, under their heading; other filters have none.
  m_clicks = new QGroupBox(QString::fromStdString(std::string(StringText(StringId::kProgressClicksHeading))), this);
  m_clicks->setObjectName(QStringLiteral("clicksDetected"));
  auto* clicksLayout = new QGridLayout(m_clicks);
  m_totalClicks = new QLabel(m_clicks);
  m_clicksPerSecond = new QLabel(m_clicks);
  clicksLayout->addWidget(m_totalClicks, 0, 0);
  clicksLayout->addWidget(m_clicksPerSecond, 0, 1);
  layout->addWidget(m_clicks, 3, 0, 1, 2);
  m_clicks->setVisible(m_model.ShowsClicks());
  m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
  layout->addWidget(m_cancel, 4, 0, 1, 2, Qt::AlignHCenter);
  connect(m_cancel, &QPushButton::clicked, this, [this] {
    m_run.stopRequested.store(1);
    close();
  });
  connect(&m_timer, &QTimer::timeout, this, &ProgressWindow::Tick);
  ShowTexts();
  m_timer.start(ProgressModel::kTickMs);
}

void ProgressWindow::Tick() {
  m_model.Tick();
  ShowTexts();
}

void ProgressWindow::ShowTexts() {
  m_percent->setText(QString::fromStdString(m_model.PercentText()));
  m_bar->setValue(m_model.Percent());
  if (m_model.ShowsClicks()) {
    m_clicksPerSecond->setText(QString::fromStdString(m_model.ClicksPerSecondText()));
    m_totalClicks->setText(QString::fromStdString(m_model.TotalClicksText()));
  }
}

void ProgressWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Centred over the main window, with the bottoms aligned.
  if (QWidget* owner = parentWidget(); owner != nullptr) {
    const QRect frame = owner->frameGeometry();
    move(frame.left() + (frame.width() - width()) / 2, frame.bottom() - frameGeometry().height());
  }
}

}  // namespace ztlive
