#include "live/batch_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "filters/filter_icons.h"
#include "filters/filter_registry.h"
#include "live/batch_run.h"
#include "live/multi_filter_window.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

constexpr int kPollMs = 50;
constexpr int kTypeRole = Qt::UserRole;

QString Qs(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QPushButton* MakeButton(const char* text, QWidget* parent) {
  auto* button = new QPushButton(QString::fromUtf8(text), parent);
  button->setAutoDefault(false);  // Enter in a field must not press a button
  button->setDefault(false);
  return button;
}

QString SecondsText(double seconds) { return QLocale::c().toString(seconds, 'g', 12); }

}  // namespace

BatchWindow::BatchWindow(BatchWindowHost& host, QWidget* parent)
    : QDialog(parent),
      m_host(host),
      m_auditionList(host.WindowPrompts()),
      m_player(host.Devices(), host.Run(), m_auditionList) {
  setWindowTitle(Qs(StringText(StringId::kCaptionBatchEditor)));
  setObjectName(QStringLiteral("batchEditor"));
  m_chooseFiles = [this] { return AskFiles(); };
  m_chooseBatchFile = [this](bool saving) { return AskBatchFile(saving); };
  m_chooseDirectory = [this] { return AskDirectory(); };
  BuildControls();
  m_job.useDestinationDirectory = m_host.Settings().Read(setting::kBatchUseDestDir) != 0;
  m_job.destinationDirectory = m_host.Settings().Read(setting::kBatchDestDir);
  ShowJob(m_job);
  m_pollTimer.setInterval(kPollMs);
  connect(&m_pollTimer, &QTimer::timeout, this, &BatchWindow::OnPollTimer);
}

BatchWindow::~BatchWindow() = default;

void BatchWindow::BuildControls() {
  m_filters = new QListWidget(this);
  m_filters->setIconSize(QSize(kFilterIconSize, kFilterIconSize));
  m_filters->setSelectionMode(QAbstractItemView::SingleSelection);
  m_filters->setMinimumSize(240, 260);
  for (const FilterTypeEntry& entry : BatchFilterList()) {
    auto* item = new QListWidgetItem(QIcon(FilterIconById(entry.iconId)), Qs(entry.name), m_filters);
    item->setData(kTypeRole, entry.typeId);
  }
  // A click (or the arrow keys) on a filter lists its presets.
  connect(m_filters, &QListWidget::currentRowChanged, this, &BatchWindow::FillPresets);
  connect(m_filters, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { OpenFilterOfRow(m_filters->row(item)); });

  m_presets = new QComboBox(this);
  m_presets->setEditable(true);
  m_presets->setInsertPolicy(QComboBox::NoInsert);
  m_presets->setMinimumWidth(200);

  const char* modeNames[] = {"Entire File", "Last ", "First", "Range"};
  for (size_t mode = 0; mode < m_modes.size(); ++mode) {
    m_modes[mode] = new QRadioButton(QString::fromUtf8(modeNames[mode]), this);
    connect(m_modes[mode], &QRadioButton::toggled, this, [this](bool on) {
      if (on) EnableTimeFields();
    });
  }
  for (QLineEdit*& field : m_times) {
    field = new QLineEdit(this);
    field->setMaximumWidth(90);
  }
  auto* region = new QGridLayout;
  region->addWidget(m_modes[0], 0, 0, 1, 4);
  region->addWidget(m_modes[1], 1, 0);
  region->addWidget(m_times[1], 1, 1);
  region->addWidget(m_modes[2], 2, 0);
  region->addWidget(m_times[0], 2, 1);
  region->addWidget(m_modes[3], 3, 0);
  region->addWidget(m_times[2], 3, 1);
  region->addWidget(new QLabel(QStringLiteral("to"), this), 3, 2);
  region->addWidget(m_times[3], 3, 3);
  region->addWidget(new QLabel(QStringLiteral("seconds"), this), 4, 1, 1, 3);

  auto* right = new QVBoxLayout;
  right->addWidget(new QLabel(QStringLiteral("Select Filter Preset"), this));
  right->addWidget(m_presets);
  right->addSpacing(12);
  right->addLayout(region);
  right->addStretch(1);

  auto* filterColumn = new QVBoxLayout;
  filterColumn->addWidget(new QLabel(QStringLiteral("Choose Filter you want to run"), this));
  filterColumn->addWidget(m_filters, 1);
  auto* top = new QHBoxLayout;
  top->addLayout(filterColumn, 1);
  top->addLayout(right);

  m_files = new QListWidget(this);
  m_files->setSelectionMode(QAbstractItemView::SingleSelection);
  m_files->setMinimumHeight(140);
  m_addButton = MakeButton("&Add Files", this);
  m_deleteButton = MakeButton("&Delete File", this);
  m_removeAllButton = MakeButton("&Remove All", this);
  m_auditionButton = MakeButton("A&udition", this);
  auto* fileButtons = new QVBoxLayout;
  for (QPushButton* button : {m_addButton, m_deleteButton, m_removeAllButton, m_auditionButton})
    fileButtons->addWidget(button);
  fileButtons->addStretch(1);
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(m_files, 1);
  fileRow->addLayout(fileButtons);

  m_useDestination = new QCheckBox(QStringLiteral("Use Destination Directory:"), this);
  m_destination = new QLineEdit(this);
  m_browseButton = MakeButton("Browse", this);
  auto* destinationRow = new QHBoxLayout;
  destinationRow->addWidget(m_useDestination);
  destinationRow->addWidget(m_destination, 1);
  destinationRow->addWidget(m_browseButton);
  connect(m_useDestination, &QCheckBox::toggled, this, [this](bool on) { m_destination->setEnabled(on && !m_running); });

  m_closeDocuments = new QCheckBox(QStringLiteral("Close each file's document once its result is saved"), this);
  m_status = new QLabel(this);
  m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

  m_saveButton = MakeButton("&Save Batch", this);
  m_loadButton = MakeButton("&Load Batch", this);
  m_runButton = MakeButton("&Run Batch", this);
  m_closeButton = MakeButton("&Close", this);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(m_saveButton);
  bottom->addWidget(m_loadButton);
  bottom->addStretch(1);
  bottom->addWidget(m_runButton);
  bottom->addWidget(m_closeButton);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addWidget(new QLabel(QStringLiteral("Files to run this filter on."), this));
  layout->addLayout(fileRow, 1);
  layout->addLayout(destinationRow);
  layout->addWidget(m_closeDocuments);
  layout->addWidget(m_status);
  layout->addLayout(bottom);

  connect(m_addButton, &QPushButton::clicked, this, &BatchWindow::AddFiles);
  connect(m_deleteButton, &QPushButton::clicked, this, &BatchWindow::DeleteFile);
  connect(m_removeAllButton, &QPushButton::clicked, this, &BatchWindow::RemoveAll);
  connect(m_auditionButton, &QPushButton::clicked, this, &BatchWindow::Audition);
  connect(m_browseButton, &QPushButton::clicked, this, &BatchWindow::Browse);
  connect(m_saveButton, &QPushButton::clicked, this, [this] { SaveBatch(); });
  connect(m_loadButton, &QPushButton::clicked, this, [this] { LoadBatch(); });
  connect(m_runButton, &QPushButton::clicked, this, &BatchWindow::RunBatch);
  connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);
}

bool BatchWindow::ReadControls() {
  const QList<QListWidgetItem*> selected = m_filters->selectedItems();
  m_job.filterType = selected.isEmpty() ? kNoBatchFilter : selected.front()->data(kTypeRole).toInt();
  m_job.presetName = m_presets->currentText().toStdString();
  for (size_t mode = 0; mode < m_modes.size(); ++mode)
    if (m_modes[mode]->isChecked()) m_job.regionMode = static_cast<int32_t>(mode);
  double* values[] = {&m_job.firstSeconds, &m_job.lastSeconds, &m_job.rangeFrom, &m_job.rangeTo};
  bool accepted = true;
  for (size_t field = 0; field < m_times.size(); ++field) {
    bool number = false;
    const double seconds = QLocale::c().toDouble(m_times[field]->text().trimmed(), &number);
    if (number && IsBatchSecondsValid(seconds)) {
      *values[field] = seconds;
      continue;
    }
    // The field keeps its last accepted value in the job; the first refused one says so.
    if (accepted) {
      m_host.WindowPrompts().Show(BatchSecondsRangeMessage(), StringText(StringId::kCaptionBatchEditor),
                                  PromptIcon::Warning);
      m_times[field]->setFocus();
      m_times[field]->selectAll();
    }
    accepted = false;
  }
  m_job.files.clear();
  for (int row = 0; row < m_files->count(); ++row) m_job.files.push_back(m_files->item(row)->text().toStdString());
  m_job.useDestinationDirectory = m_useDestination->isChecked();
  m_job.destinationDirectory = m_destination->text().toStdString();
  m_job.keepDocumentsOpen = !m_closeDocuments->isChecked();
  return accepted;
}

void BatchWindow::ShowJob(const BatchJob& job) {
  m_job = job;
  m_filters->clearSelection();
  const int row = BatchFilterRow(job.filterType);
  if (QListWidgetItem* item = m_filters->item(row); item != nullptr) {
    item->setSelected(true);
    m_filters->setCurrentItem(item);
    m_filters->scrollToItem(item);
    FillPresets(row);
  } else {
    m_presets->clear();
  }
  m_presets->setCurrentText(Qs(job.presetName));
  const int mode = job.regionMode >= 0 && job.regionMode < 4 ? job.regionMode : 0;
  m_modes[static_cast<size_t>(mode)]->setChecked(true);
  const double values[] = {job.firstSeconds, job.lastSeconds, job.rangeFrom, job.rangeTo};
  for (size_t field = 0; field < m_times.size(); ++field) m_times[field]->setText(SecondsText(values[field]));
  EnableTimeFields();
  ShowFiles(-1);
  m_useDestination->setChecked(job.useDestinationDirectory);
  m_destination->setText(Qs(job.destinationDirectory));
  m_destination->setEnabled(job.useDestinationDirectory && !m_running);
  m_closeDocuments->setChecked(!job.keepDocumentsOpen);
}

void BatchWindow::EnableTimeFields() {
  int mode = 0;
  for (size_t i = 0; i < m_modes.size(); ++i)
    if (m_modes[i]->isChecked()) mode = static_cast<int>(i);
  const bool enabled[] = {mode == 2, mode == 1, mode == 3, mode == 3};
  for (size_t field = 0; field < m_times.size(); ++field) m_times[field]->setEnabled(enabled[field] && !m_running);
}

void BatchWindow::EnableJobControls(bool enabled) {
  for (QWidget* widget : std::initializer_list<QWidget*>{
           m_filters, m_presets, m_modes[0], m_modes[1], m_modes[2], m_modes[3], m_addButton, m_deleteButton,
           m_removeAllButton, m_auditionButton, m_useDestination, m_browseButton, m_closeDocuments, m_saveButton,
           m_loadButton})
    widget->setEnabled(enabled);
  EnableTimeFields();
  m_destination->setEnabled(enabled && m_useDestination->isChecked());
}

void BatchWindow::FillPresets(int row) {
  m_presets->clear();
  const std::span<const FilterTypeEntry> list = BatchFilterList();
  if (row < 0 || row >= static_cast<int>(list.size())) return;
  for (const std::string& name : BatchPresetNames(list[static_cast<size_t>(row)].typeId))
    m_presets->addItem(Qs(name));
  if (m_presets->count() > 0) m_presets->setCurrentIndex(0);
}

void BatchWindow::OpenFilterOfRow(int row) {
  const std::span<const FilterTypeEntry> list = BatchFilterList();
  if (row < 0 || row >= static_cast<int>(list.size())) return;
  const FilterTypeEntry& entry = list[static_cast<size_t>(row)];
  const std::string_view caption = StringText(StringId::kCaptionBatchEditor);
  if (entry.typeId == kNormalizeFilter) {
    m_host.WindowPrompts().Show(StringText(StringId::kBatchNoSettings), caption, PromptIcon::Information);
    return;
  }
  if (entry.typeId == kMultiFilter) {
    m_host.OpenChainWindow();
    return;
  }
  if (m_host.OpenFilterWindow(entry.typeId, Qs(entry.name)) == nullptr)
    m_host.WindowPrompts().Show(FormatText(StringId::kBatchNoFilterWindow, {entry.name}), caption,
                                PromptIcon::Information);
}

void BatchWindow::ShowFiles(int selected) {
  m_files->clear();
  for (const std::string& file : m_job.files) m_files->addItem(Qs(file));
  if (QListWidgetItem* item = m_files->item(selected); item != nullptr) {
    item->setSelected(true);
    m_files->setCurrentItem(item);
  }
}

QStringList BatchWindow::AskFiles() {
  QFileDialog dialog(this, QStringLiteral("Add Files"), QString(),
                     QStringLiteral("Wave File (*.wav);;MP3 audio (*.mp3);;All files (*.*)"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setDefaultSuffix(QStringLiteral("wav"));
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles();
}

QString BatchWindow::AskBatchFile(bool saving) {
  QFileDialog dialog(this, saving ? QStringLiteral("Save Batch") : QStringLiteral("Load Batch"), QString(),
                     saving ? QStringLiteral("Filter Batch (*.fbt)")
                            : QStringLiteral("Filter Batch (*.fbt);;Wave Playlist (*.wls);;All files (*.*)"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setDefaultSuffix(QStringLiteral("fbt"));
  if (saving) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);  // asks before a file is replaced
    dialog.selectFile(QStringLiteral("untitled.fbt"));
  } else {
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.selectFile(QStringLiteral("untitled.wls"));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

QString BatchWindow::AskDirectory() {
  return QFileDialog::getExistingDirectory(this, Qs(StringText(StringId::kBatchChooseDestination)),
                                           m_destination->text(), QFileDialog::DontUseNativeDialog);
}

void BatchWindow::AddFiles() {
  for (const QString& file : m_chooseFiles()) m_job.files.push_back(file.toStdString());
  ShowFiles(static_cast<int>(m_job.files.size()) - 1);
}

void BatchWindow::DeleteFile() {
  const int row = m_files->currentRow();
  if (row < 0 || m_files->selectedItems().isEmpty()) return;
  m_job.files.erase(m_job.files.begin() + row);
  ShowFiles(std::min(row, static_cast<int>(m_job.files.size()) - 1));
}

void BatchWindow::RemoveAll() {
  m_job.files.clear();
  ShowFiles(-1);
}

void BatchWindow::Audition() {
  if (m_player.AudioPlaying()) {
    m_player.Stop();
    m_auditionButton->setText(QStringLiteral("A&udition"));
    return;
  }
  const QList<QListWidgetItem*> selected = m_files->selectedItems();
  if (selected.isEmpty()) {
    m_host.WindowPrompts().Show(StringText(StringId::kBatchSelectAudition), StringText(StringId::kCaptionAuditionFile),
                                PromptIcon::Warning);
    return;
  }
  m_auditionButton->setText(QStringLiteral("Stop"));
  if (m_player.Audition(selected.front()->text().toStdString()) != 0) {
    m_auditionButton->setText(QStringLiteral("A&udition"));
    return;
  }
  m_pollTimer.start();
}

void BatchWindow::OnPollTimer() {
  m_player.Poll();
  if (m_player.AudioPlaying()) return;
  m_auditionButton->setText(QStringLiteral("A&udition"));
  m_pollTimer.stop();
}

void BatchWindow::Browse() {
  const QString directory = m_chooseDirectory();
  if (!directory.isEmpty()) m_destination->setText(directory);
}

bool BatchWindow::SaveBatch() {
  if (!ReadControls()) return false;
  const QString path = m_chooseBatchFile(true);
  if (path.isEmpty()) return false;
  if (const std::string failure = SaveBatchJob(path.toStdString(), m_job); !failure.empty()) {
    m_host.WindowPrompts().Show(failure, StringText(StringId::kCaptionBatchEditor), PromptIcon::Error);
    return false;
  }
  return true;
}

bool BatchWindow::LoadBatch() {
  const QString path = m_chooseBatchFile(false);
  return !path.isEmpty() && LoadBatchFrom(path);
}

bool BatchWindow::LoadBatchFrom(const QString& path) {
  BatchJob job = m_job;
  const BatchLoadResult result = LoadBatchJob(path.toStdString(), job);
  if (result != BatchLoadResult::Loaded) {
    if (const std::string message = BatchLoadMessage(result); !message.empty())
      m_host.WindowPrompts().Show(message, StringText(StringId::kCaptionBatchEditor), PromptIcon::Error);
    return false;
  }
  if (IsPlaylistName(path.toStdString())) {
    // A playlist is only a file list: the other controls stay as they are.
    m_job.files = job.files;
    ShowFiles(-1);
    return true;
  }
  // What the batch file does not hold comes from the controls.
  job.useDestinationDirectory = m_useDestination->isChecked();
  job.destinationDirectory = m_destination->text().toStdString();
  job.keepDocumentsOpen = !m_closeDocuments->isChecked();
  ShowJob(job);
  return true;
}

void BatchWindow::RequestStop() {
  if (!m_running) return;
  m_stopRequested = true;
  m_status->setText(Qs(StringText(StringId::kBatchStopAfterFile)));
}

void BatchWindow::RunBatch() {
  if (m_running) {
    RequestStop();
    return;
  }
  ReadControls();  // a refused field runs with its last accepted value
  if (m_player.AudioPlaying()) Audition();  // the audition ends before files are processed
  m_running = true;
  m_stopRequested = false;
  EnableJobControls(false);
  m_runButton->setText(QStringLiteral("Stop"));
  const BatchJob job = m_job;
  const int total = static_cast<int>(job.files.size());
  BatchRun(m_host).Run(
      job, [this] { return m_stopRequested; },
      [this, &job, total](int index) {
        m_files->setCurrentRow(index);
        if (!m_stopRequested)
          m_status->setText(Qs(FormatText(StringId::kBatchFileRunning,
                                          {std::to_string(index + 1), std::to_string(total),
                                           job.files[static_cast<size_t>(index)]})));
      });
  m_running = false;
  m_status->clear();
  m_runButton->setText(QStringLiteral("&Run Batch"));
  EnableJobControls(true);
}

void BatchWindow::closeEvent(QCloseEvent* event) {
  if (m_running) {
    // The batch ends after the current file; the window stays until it has.
    RequestStop();
    event->ignore();
    return;
  }
  m_pollTimer.stop();
  if (m_player.AudioPlaying()) m_player.Stop();
  m_host.Settings().Write(setting::kBatchUseDestDir, m_useDestination->isChecked() ? 1 : 0);
  m_host.Settings().Write(setting::kBatchDestDir, m_destination->text().toStdString());
  event->accept();
  QDialog::done(QDialog::Rejected);
}

void BatchWindow::reject() { close(); }

}  // namespace ztlive
