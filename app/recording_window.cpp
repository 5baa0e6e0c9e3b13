#include "app/recording_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/level_meter.h"

namespace ztlive {

namespace {

QString Qs(const std::string& text) { return QString::fromStdString(text); }

constexpr const char* kRateNames[] = {"48&kHz", "44.10kHz", "22.05kHz", "11.025kHz", "Custom"};
constexpr const char* kResolutionNames[] = {"8 Bit", "16 Bit", "20 Bit", "24 Bit"};

}  // namespace

RecordingWindow::RecordingWindow(RunEnvironment& environment, RunState& run, SettingsStore& settings,
                                 Prompts& prompts, QWidget* parent)
    : QDialog(parent), m_session(std::make_unique<RecordingSession>(environment, run, settings, prompts)) {
  setWindowTitle(QStringLiteral("Record File"));
  setObjectName(QStringLiteral("recordingWindow"));
  setModal(false);
  BuildControls();
  m_askName = [this](const std::string& proposed) {
    QFileDialog dialog(this, QStringLiteral("Save Recording"), Qs(proposed),
                       QStringLiteral("Wave File (*.wav);;All files (*.*)"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("wav"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite);  // the window asks itself
    dialog.selectFile(Qs(proposed));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::string();
    return dialog.selectedFiles().front().toStdString();
  };
  m_meterTimer.setInterval(kMeterMs);
  m_elapsedTimer.setInterval(kElapsedMs);
  connect(&m_meterTimer, &QTimer::timeout, this, &RecordingWindow::TickMeters);
  connect(&m_elapsedTimer, &QTimer::timeout, this, &RecordingWindow::TickElapsed);
  ShowChoices(m_session->Choices());
  m_elapsed->setText(Qs(m_session->ElapsedTimeText()));
  RefreshControls();
  ShowDiskSpace();
  adjustSize();
  if (parent != nullptr) {
    const QRect owner = parent->frameGeometry();
    move(owner.center() - rect().center());
  }
}

RecordingWindow::~RecordingWindow() = default;

void RecordingWindow::BuildControls() {
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  m_upper = new QWidget(this);
  auto* upper = new QGridLayout(m_upper);
  upper->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_upper);

  m_left = new LevelMeter(m_upper);
  m_right = new LevelMeter(m_upper);
  upper->addWidget(new QLabel(QStringLiteral("L"), m_upper), 0, 0);
  upper->addWidget(m_left, 0, 1, 1, 3);
  upper->addWidget(new QLabel(QStringLiteral("R"), m_upper), 1, 0);
  upper->addWidget(m_right, 1, 1, 1, 3);
  m_elapsed = new QLabel(m_upper);
  m_elapsed->setObjectName(QStringLiteral("elapsedTime"));
  m_elapsed->setMinimumWidth(70);
  QFont big = m_elapsed->font();
  big.setPointSize(big.pointSize() + 4);
  big.setBold(true);
  m_elapsed->setFont(big);
  upper->addWidget(m_elapsed, 0, 4, 2, 1, Qt::AlignCenter);
  m_status = new QLabel(m_upper);
  m_status->setObjectName(QStringLiteral("status"));
  m_status->setFrameShape(QFrame::Panel);
  m_status->setFrameShadow(QFrame::Sunken);
  m_status->setMinimumWidth(100);
  m_status->setAlignment(Qt::AlignCenter);
  upper->addWidget(m_status, 0, 5, 2, 1);

  auto* buttons = new QHBoxLayout;
  m_record = new QPushButton(QStringLiteral("&Record"), m_upper);
  m_preview = new QPushButton(QStringLiteral("&Preview"), m_upper);
  m_stop = new QPushButton(QStringLiteral("Stop"), m_upper);
  m_save = new QPushButton(QStringLiteral("&Save"), m_upper);
  m_close = new QPushButton(QStringLiteral("&Close"), m_upper);
  for (QPushButton* button : {m_record, m_preview, m_stop, m_save, m_close}) {
    button->setAutoDefault(false);
    buttons->addWidget(button);
  }
  upper->addLayout(buttons, 2, 0, 1, 6);
  connect(m_record, &QPushButton::clicked, this, &RecordingWindow::Record);
  connect(m_preview, &QPushButton::clicked, this, &RecordingWindow::Preview);
  connect(m_stop, &QPushButton::clicked, this, &RecordingWindow::Stop);
  connect(m_save, &QPushButton::clicked, this, &RecordingWindow::Save);
  connect(m_close, &QPushButton::clicked, this, &QWidget::close);

  auto* format = new QGroupBox(QStringLiteral("Format"), m_upper);
  auto* formatLayout = new QGridLayout(format);
  m_channels = new QButtonGroup(this);
  auto* stereo = new QRadioButton(QStringLiteral("S&tereo"), format);
  auto* mono = new QRadioButton(QStringLiteral("&Mono"), format);
  m_channels->addButton(stereo, 0);
  m_channels->addButton(mono, 1);
  formatLayout->addWidget(stereo, 0, 0);
  formatLayout->addWidget(mono, 0, 1);
  formatLayout->addWidget(new QLabel(QStringLiteral("Resolution"), format), 0, 2, Qt::AlignRight);
  m_resolution = new QComboBox(format);
  for (const char* name : kResolutionNames) m_resolution->addItem(QString::fromLatin1(name));
  formatLayout->addWidget(m_resolution, 0, 3);
  m_rates = new QButtonGroup(this);
  for (int i = 0; i < 5; ++i) {
    auto* button = new QRadioButton(QString::fromLatin1(kRateNames[i]), format);
    m_rates->addButton(button, i);
    formatLayout->addWidget(button, 1 + i / 4, i % 4);
  }
  m_customRate = new QLineEdit(format);
  m_customRate->setObjectName(QStringLiteral("customRate"));
  m_customRate->setValidator(new QIntValidator(0, 999999, m_customRate));
  m_customRate->setMaximumWidth(80);
  formatLayout->addWidget(m_customRate, 2, 1);
  m_feedThru = new QCheckBox(QStringLiteral("FeedThru Mode"), format);
  formatLayout->addWidget(m_feedThru, 2, 2, 1, 2);
  upper->addWidget(format, 3, 0, 1, 6);
  connect(m_channels, &QButtonGroup::idClicked, this, &RecordingWindow::FormatControlChanged);
  connect(m_rates, &QButtonGroup::idClicked, this, &RecordingWindow::FormatControlChanged);
  connect(m_resolution, &QComboBox::currentIndexChanged, this, &RecordingWindow::FormatControlChanged);
  connect(m_customRate, &QLineEdit::editingFinished, this, &RecordingWindow::FormatControlChanged);
  connect(m_feedThru, &QCheckBox::toggled, this, [this](bool on) { m_session->SetLiveMode(on); });

  upper->addWidget(new QLabel(QStringLiteral("Recording device"), m_upper), 4, 0, 1, 2);
  m_devices = new QComboBox(m_upper);
  for (const std::string& name : m_session->InputDevices()) m_devices->addItem(Qs(name));
  m_devices->setCurrentIndex(m_session->InputDevice());
  upper->addWidget(m_devices, 4, 2, 1, 4);
  connect(m_devices, &QComboBox::activated, this, [this](int index) { m_session->ChooseDevice(index); });

  m_lower = new QWidget(this);
  auto* lower = new QGridLayout(m_lower);
  lower->setContentsMargins(0, 0, 0, 0);
  lower->addWidget(new QLabel(QStringLiteral("Free disk space"), m_lower), 0, 0);
  m_freeSpace = new QLabel(m_lower);
  m_freeSpace->setObjectName(QStringLiteral("freeSpace"));
  lower->addWidget(m_freeSpace, 0, 1);
  lower->addWidget(new QLabel(QStringLiteral("Available Recording Time"), m_lower), 0, 2);
  m_availableTime = new QLabel(m_lower);
  m_availableTime->setObjectName(QStringLiteral("availableTime"));
  lower->addWidget(m_availableTime, 0, 3);
  m_diskBar = new QProgressBar(m_lower);
  m_diskBar->setRange(0, 100);
  m_diskBar->setTextVisible(false);
  lower->addWidget(m_diskBar, 1, 0, 1, 4);
  layout->addWidget(m_lower);
}

QRadioButton& RecordingWindow::ChannelButton(int choice) {
  return *static_cast<QRadioButton*>(m_channels->button(choice));
}

QRadioButton& RecordingWindow::RateButton(int choice) { return *static_cast<QRadioButton*>(m_rates->button(choice)); }

void RecordingWindow::ShowChoices(const RecordChoices& choices) {
  m_showing = true;
  m_channels->button(choices.channelChoice)->setChecked(true);
  m_rates->button(choices.rateChoice)->setChecked(true);
  m_customRate->setText(QString::number(choices.customRate));
  m_resolution->setCurrentIndex(ResolutionIndex(choices.bitsPerSample));
  m_feedThru->setChecked(choices.liveMode);
  m_showing = false;
}

RecordChoices RecordingWindow::ChoicesFromControls() const {
  RecordChoices choices = m_session->Choices();
  choices.channelChoice = m_channels->checkedId() == 1 ? 1 : 0;
  choices.rateChoice = std::max(0, m_rates->checkedId());
  bool ok = false;
  const int rate = m_customRate->text().toInt(&ok);
  choices.customRate = ok ? rate : -1;
  choices.bitsPerSample = ResolutionBits(m_resolution->currentIndex());
  choices.liveMode = m_feedThru->isChecked();
  return choices;
}

void RecordingWindow::FormatControlChanged() {
  if (m_showing) return;
  const RecordChoices next = ChoicesFromControls();
  if (next == m_session->Choices()) return;
  // A custom rate typed while another rate is chosen is checked when "Custom" is chosen.
  const bool accepted = m_session->ChangeFormat(next);
  ShowChoices(m_session->Choices());
  if (!accepted && next.customRate != m_session->Choices().customRate) m_customRate->setFocus();
  RefreshControls();
  ShowDiskSpace();
}

void RecordingWindow::RefreshControls() {
  RecordingSession& session = *m_session;
  const bool running = session.InputRunning();
  const bool formatEnabled = session.FormatControlsEnabled();
  for (QAbstractButton* button : m_channels->buttons()) button->setEnabled(formatEnabled);
  for (QAbstractButton* button : m_rates->buttons()) button->setEnabled(formatEnabled);
  m_resolution->setEnabled(formatEnabled);
  m_customRate->setEnabled(formatEnabled && m_rates->checkedId() == 4);
  m_feedThru->setEnabled(formatEnabled);
  m_devices->setEnabled(!running);
  m_save->setEnabled(session.SaveEnabled());
  m_record->setText(Qs(session.RecordCaption()));
  m_status->setText(Qs(session.StatusText()));
  if (running && !m_meterTimer.isActive()) {
    m_meterTimer.start();
    m_elapsedTimer.start();
  } else if (!running && m_meterTimer.isActive()) {
    m_meterTimer.stop();
    m_elapsedTimer.stop();
    m_left->SetPeak(0);
    m_right->SetPeak(0);
    m_elapsed->setText(Qs(session.ElapsedTimeText()));
    ShowDiskSpace();
  }
}

void RecordingWindow::ShowDiskSpace() {
  const DiskSpace space = m_session->FreeDiskSpace();
  m_freeSpace->setText(Qs(space.freeText));
  m_availableTime->setText(Qs(space.availableText));
  m_diskBar->setValue(space.percentFree);
}

void RecordingWindow::TickMeters() {
  if (!m_session->InputRunning()) {
    RefreshControls();  // a live run ended the input
    return;
  }
  m_left->SetPeak(m_session->PeakLeft());
  m_right->SetPeak(RecordFormat(m_session->Choices()).channels == 2 ? m_session->PeakRight() : m_session->PeakLeft());
}

void RecordingWindow::TickElapsed() {
  m_elapsed->setText(Qs(m_session->ElapsedTimeText()));
  m_status->setText(Qs(m_session->StatusText()));
}

void RecordingWindow::Record() {
  m_session->SetLiveMode(m_feedThru->isChecked());
  m_session->Record();
  RefreshControls();
}

void RecordingWindow::Preview() {
  m_session->SetLiveMode(m_feedThru->isChecked());
  m_session->Preview();
  RefreshControls();
}

void RecordingWindow::Stop() {
  m_session->Stop();
  RefreshControls();
  m_elapsed->setText(Qs(m_session->ElapsedTimeText()));
  ShowDiskSpace();
}

void RecordingWindow::Rewind() {
  m_session->ResetElapsed();
  m_elapsed->setText(Qs(m_session->ElapsedTimeText()));
}

void RecordingWindow::Save() {
  const RecordingSession::SaveResult result = m_session->Save(m_askName, m_open);
  RefreshControls();
  if (result == RecordingSession::SaveResult::Saved) close();
}

void RecordingWindow::SetLiveMode(bool on, QWidget* chainWindow) {
  m_liveLayout = on;
  m_showing = true;
  m_feedThru->setChecked(on);
  m_showing = false;
  m_session->SetLiveMode(on);
  m_lower->setVisible(!on);
  RefreshControls();
  adjustSize();
  if (chainWindow != nullptr) {
    // A window's position is that of its frame: right edge to the chain's left, tops level.
    const QRect chain = chainWindow->frameGeometry();
    move(chain.left() - frameGeometry().width(), chain.top());
  }
}

void RecordingWindow::closeEvent(QCloseEvent* event) {
  if (!m_session->Close()) {
    RefreshControls();
    event->ignore();
    return;
  }
  m_meterTimer.stop();
  m_elapsedTimer.stop();
  event->accept();
}

void RecordingWindow::reject() { close(); }

}  // namespace ztlive
