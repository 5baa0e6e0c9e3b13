#include "app/edit_dialogs/crossfade_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/edit_dialogs/edit_dialog_values.h"
#include "filters/framework/slider_edit_pair.h"

namespace ztlive {

namespace {

constexpr SliderRange kLevelRange{kCrossfadeLevelMinimum, kCrossfadeLevelMaximum, false, 10};
constexpr const char* kSlopeNames[kCrossfadeSlopeCount] = {"Linear", "Slow Start", "Fast Start"};
constexpr const char* kRunText = "Do Crossfade";
constexpr const char* kStopText = "Cancel";

QGroupBox* PairGroup(SliderEditPair* (&levels)[4], int first, QWidget* parent) {
  auto* group = new QGroupBox(parent);
  auto* row = new QHBoxLayout(group);
  for (int index = first; index < first + 2; ++index) {
    auto* pair = new SliderEditPair(group);
    pair->setObjectName(QStringLiteral("crossfadeLevel%1").arg(index));
    pair->SetLabel(index == first ? QStringLiteral("Start") : QStringLiteral("End"));
    pair->SetUnit(QStringLiteral("dB"));
    pair->SetRange(kLevelRange);
    row->addWidget(pair);
    levels[index] = pair;
  }
  return group;
}

}  // namespace

CrossfadeDialog::CrossfadeDialog(SettingsStore& settings, RunState& run, RunFunction perform, bool fileFormOffered,
                                 QWidget* parent)
    : QDialog(parent),
      m_settings(settings),
      m_run(run),
      m_perform(std::move(perform)),
      m_fileFormOffered(fileFormOffered) {
  setWindowTitle(QStringLiteral("CrossFade"));
  setObjectName(QStringLiteral("crossfadeDialog"));
  setModal(true);
  m_fadedIn = PairGroup(m_levels, 0, this);
  m_fadedInto = PairGroup(m_levels, 2, this);
  m_slope = new QComboBox(this);
  m_slope->setObjectName(QStringLiteral("crossfadeSlope"));
  for (const char* name : kSlopeNames) m_slope->addItem(QString::fromLatin1(name));
  m_fileForm = new QCheckBox(QStringLiteral("Crossfade Source into Destination"), this);
  m_fileForm->setEnabled(fileFormOffered);
  m_preview = new QCheckBox(QStringLiteral("Preview"), this);
  m_runButton = new QPushButton(QString::fromLatin1(kRunText), this);
  m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  // Enter takes a typed level; it never starts a crossfade by itself.
  m_runButton->setAutoDefault(false);
  m_cancelButton->setAutoDefault(false);

  auto* groups = new QHBoxLayout;
  groups->addWidget(m_fadedIn);
  groups->addWidget(m_fadedInto);
  auto* options = new QGridLayout;
  auto* slopeLabel = new QLabel(QStringLiteral("Slope"), this);
  slopeLabel->setBuddy(m_slope);
  options->addWidget(slopeLabel, 0, 0);
  options->addWidget(m_slope, 0, 1);
  options->addWidget(m_fileForm, 0, 2);
  options->addWidget(m_preview, 1, 2);
  options->setColumnStretch(3, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_runButton);
  buttons->addWidget(m_cancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(groups);
  layout->addLayout(options);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(m_runButton, &QPushButton::clicked, this, &CrossfadeDialog::RunOrStop);
  connect(m_cancelButton, &QPushButton::clicked, this, &CrossfadeDialog::reject);
  connect(m_fileForm, &QCheckBox::toggled, this, &CrossfadeDialog::ShowForm);

  ShowSettings(ReadCrossfadeSettings(settings));
}

SliderEditPair& CrossfadeDialog::Level(int index) { return *m_levels[index]; }

CrossfadeSettings CrossfadeDialog::Settings() const {
  CrossfadeSettings crossfade;
  crossfade.fadeInStart = m_levels[0]->Value();
  crossfade.fadeInEnd = m_levels[1]->Value();
  crossfade.fadeOutStart = m_levels[2]->Value();
  crossfade.fadeOutEnd = m_levels[3]->Value();
  crossfade.slope = std::max(0, m_slope->currentIndex());
  crossfade.fileForm = m_fileFormOffered && m_fileForm->isChecked();
  crossfade.preview = crossfade.fileForm && m_preview->isChecked();
  return crossfade;
}

void CrossfadeDialog::ShowSettings(const CrossfadeSettings& crossfade) {
  m_levels[0]->SetValue(crossfade.fadeInStart);
  m_levels[1]->SetValue(crossfade.fadeInEnd);
  m_levels[2]->SetValue(crossfade.fadeOutStart);
  m_levels[3]->SetValue(crossfade.fadeOutEnd);
  m_slope->setCurrentIndex(crossfade.slope >= 0 && crossfade.slope < kCrossfadeSlopeCount ? crossfade.slope : 0);
  m_fileForm->setChecked(m_fileFormOffered && crossfade.fileForm);
  m_preview->setChecked(crossfade.preview);
  ShowForm();
}

void CrossfadeDialog::ShowForm() {
  const bool fileForm = m_fileFormOffered && m_fileForm->isChecked();
  m_fadedIn->setTitle(fileForm ? QStringLiteral("Source (fading in)") : QStringLiteral("Clipboard (fading in)"));
  m_fadedInto->setTitle(fileForm ? QStringLiteral("Destination (fading out)") : QStringLiteral("File (fading out)"));
  m_preview->setEnabled(fileForm && !m_running);  // only the file form can be previewed
}

void CrossfadeDialog::EnableControls(bool enabled) {
  for (SliderEditPair* level : m_levels) level->setEnabled(enabled);
  m_slope->setEnabled(enabled);
  m_cancelButton->setEnabled(enabled);
  m_fileForm->setEnabled(enabled && m_fileFormOffered);
  ShowForm();
}

void CrossfadeDialog::RunOrStop() {
  if (m_running) {
    m_run.stopRequested.store(1, std::memory_order_relaxed);
    return;
  }
  const CrossfadeSettings crossfade = Settings();
  WriteCrossfadeSettings(m_settings, crossfade);
  m_running = true;
  m_runButton->setText(QString::fromLatin1(kStopText));
  EnableControls(false);
  m_run.stopRequested.store(0, std::memory_order_relaxed);  // a stop left by an earlier run must not end this one
  const bool done = m_perform ? m_perform(crossfade) : false;
  const bool stopped = m_run.stopRequested.load(std::memory_order_relaxed) != 0;
  m_running = false;
  m_runButton->setText(QString::fromLatin1(kRunText));
  EnableControls(true);
  if (m_closeAfterRun) {
    m_closeAfterRun = false;
    QDialog::reject();
  } else if (done && !stopped && !crossfade.preview) {
    accept();
  }
}

void CrossfadeDialog::reject() {
  if (m_running) {
    m_run.stopRequested.store(1, std::memory_order_relaxed);
    m_closeAfterRun = true;
    return;
  }
  QDialog::reject();
}

}  // namespace ztlive
