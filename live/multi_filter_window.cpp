#include "live/multi_filter_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "core/temp_files.h"
#include "filters/framework/filter_settings_dialog.h"
#include "filters/framework/preset_combo_box.h"
#include "filters/framework/preset_name_dialog.h"
#include "live/chain_filter_list_widget.h"
#include "live/chain_graph_widget.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

QPushButton* MakeButton(const char* text, QWidget* parent) {
  auto* button = new QPushButton(QString::fromUtf8(text), parent);
  button->setAutoDefault(false);  // Enter in the log name field must not start a run
  button->setDefault(false);
  return button;
}

}  // namespace

MultiFilterWindow::MultiFilterWindow(ChainWindowHost& host, QWidget* parent)
    : QDialog(parent),
      m_host(host),
      m_nameDialog(new PresetNameDialog(this)),
      m_chain(host.Run(), host.WindowPrompts(), *m_nameDialog),
      m_list(new ChainFilterListWidget(this)),
      m_graph(new ChainGraphWidget(m_chain, this)),
      m_runButton(MakeButton("Run Filter", this)),
      m_previewButton(MakeButton("Preview", this)),
      m_liveButton(MakeButton("Live Preview", this)),
      m_bypassBox(new QCheckBox(QStringLiteral("Bypass"), this)),
      m_logBox(new QCheckBox(QStringLiteral("Log to disk"), this)),
      m_logName(new QLineEdit(this)),
      m_browseButton(MakeButton("Browse...", this)),
      m_presetBox(new PresetComboWidget(this)),
      m_saveButton(MakeButton("Save", this)),
      m_deleteButton(MakeButton("Delete", this)),
      m_closeButton(MakeButton("Close", this)) {
  setModal(false);
  setWindowTitle(QStringLiteral("Multi-Filter"));
  m_list->setFixedWidth(190);
  m_presetBox->setMinimumContentsLength(16);
  m_logName->setReadOnly(true);  // named by "Browse..."

  auto* runRow = new QHBoxLayout;
  runRow->addWidget(m_runButton);
  runRow->addWidget(m_previewButton);
  runRow->addWidget(m_liveButton);
  runRow->addStretch(1);
  runRow->addWidget(m_bypassBox);

  auto* logRow = new QHBoxLayout;
  logRow->addWidget(m_logBox);
  logRow->addSpacing(12);
  logRow->addWidget(new QLabel(QStringLiteral("Log Filename:"), this));
  logRow->addWidget(m_logName, 1);
  logRow->addWidget(m_browseButton);

  auto* presetRow = new QHBoxLayout;
  presetRow->addWidget(m_presetBox, 1);
  presetRow->addWidget(m_saveButton);
  presetRow->addWidget(m_deleteButton);
  presetRow->addSpacing(24);
  presetRow->addWidget(m_closeButton);

  auto* right = new QVBoxLayout;
  right->addWidget(m_graph, 1);
  right->addLayout(runRow);
  right->addLayout(logRow);
  right->addLayout(presetRow);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(m_list);
  layout->addLayout(right, 1);

  m_graph->SetEditAllowed([this] { return !m_running && !m_host.RunBusy(); });
  connect(m_graph, &ChainGraphWidget::nodeActivated, this, [this](ChainNode* node) { OpenNodeWindow(*node); });
  connect(m_list, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { InsertBeforeOutput(ChainFilterListWidget::TypeOf(*item)); });
  connect(m_list, &ChainFilterListWidget::itemDropped, this, &MultiFilterWindow::DropItem);
  connect(m_runButton, &QPushButton::clicked, this, [this] { RunFilter(); });
  connect(m_previewButton, &QPushButton::clicked, this, [this] { Preview(); });
  // Live input needs the recording window; the application opens it on this request.
  connect(m_liveButton, &QPushButton::clicked, this, &MultiFilterWindow::liveRequested);
  connect(m_bypassBox, &QCheckBox::toggled, this, [this](bool on) { m_chain.SetBypass(on); });
  connect(m_logBox, &QCheckBox::toggled, this,
          [this](bool on) { m_host.Run().logToFile = on ? 1 : 0; });
  connect(m_browseButton, &QPushButton::clicked, this, &MultiFilterWindow::ChooseLogFile);
  connect(m_presetBox, &QComboBox::activated, this, &MultiFilterWindow::LoadSelectedPreset);
  connect(m_saveButton, &QPushButton::clicked, this, &MultiFilterWindow::SavePreset);
  connect(m_deleteButton, &QPushButton::clicked, this, &MultiFilterWindow::DeletePreset);
  connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);
}

MultiFilterWindow::~MultiFilterWindow() {
  // The settings windows outlive this one: none may keep an engine of the chain.
  m_chain.ClearChain();
}

void MultiFilterWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) Open();  // not when a minimised window comes back
}

void MultiFilterWindow::Open() {
  m_chain.ClearChain();
  m_chain.Presets().FillList(*m_presetBox);
  const int listed = m_presetBox->Find("Default");
  if (listed >= 0) {
    m_presetBox->Select(listed);
    m_chain.LoadChainPresetNamed("Default");
  }
  std::string logName = m_host.Settings().Read(setting::kLogFileName);
  if (logName.empty()) logName = MakeTempFileName(m_host.Settings().Read(setting::kTempPath), m_host.WindowPrompts());
  m_logName->setText(QString::fromStdString(logName));
  m_graph->update();
}

void MultiFilterWindow::InsertBeforeOutput(FilterTypeId type) {
  if (!m_graph->EditAllowed()) return;
  m_chain.InsertFilter(type);
  m_graph->update();
}

void MultiFilterWindow::DropItem(FilterTypeId type, QPoint globalPoint) {
  if (!m_graph->EditAllowed()) return;
  const QPoint point = m_graph->mapFromGlobal(globalPoint);
  if (!m_graph->rect().contains(point) || !m_chain.Area().Contains(point.x(), point.y())) return;
  m_chain.InsertAtDrop(type, point.x());
  m_graph->update();
}

void MultiFilterWindow::OpenNodeWindow(ChainNode& node) {
  if (!node.IsFilter()) {
    // The Input node stands for the sound card's input; the Output node has no window here.
    if (&node == &m_chain.Nodes().front()) emit liveRequested();
    return;
  }
  QDialog* window = m_host.OpenFilterWindow(node.type, QString::fromStdString(m_chain.NodeLabel(node)));
  if (window == nullptr) {
    m_host.WindowPrompts().Show(StringText(StringId::kNoFilterSelected), "", PromptIcon::Error);
    return;
  }
  if (auto* settings = qobject_cast<FilterSettingsDialog*>(window); settings != nullptr) {
    settings->BindEngine(node.processor.get());
    node.dialog = settings;
    WatchSettingsWindow(*window, *settings);
  }
  m_chain.MarkDialogAttached(node);
}

void MultiFilterWindow::WatchSettingsWindow(QDialog& window, RunDialog& dialog) {
  if (m_watchedWindows.contains(&window)) return;
  m_watchedWindows.insert(&window);
  RunDialog* const gone = &dialog;
  connect(&window, &QObject::destroyed, this, [this, gone](QObject* object) {
    m_watchedWindows.remove(object);
    for (ChainNode& node : m_chain.Nodes())
      if (node.dialog == gone) node.dialog = nullptr;
  });
}

int MultiFilterWindow::RunChainFromWindow(bool preview) {
  if (m_running || m_host.RunBusy()) {
    m_host.Run().stopRequested.store(1, std::memory_order_relaxed);
    return 0;
  }
  m_running = true;
  EnableEditing(false);
  m_host.Run().logToFile = m_logBox->isChecked() ? 1 : 0;
  const int result = m_host.RunChainOverDocument(m_chain, preview);
  m_host.Run().logToFile = 0;
  EnableEditing(true);
  m_running = false;
  m_graph->update();
  return result;
}

void MultiFilterWindow::EnableEditing(bool enabled) {
  m_list->setEnabled(enabled);
  m_presetBox->setEnabled(enabled);
  m_saveButton->setEnabled(enabled);
  m_deleteButton->setEnabled(enabled);
}

void MultiFilterWindow::ChooseLogFile() {
  const QString path = QFileDialog::getOpenFileName(this, QString(), m_logName->text(),
                                                    QStringLiteral("Wave File (*.wav);;All files (*.*)"));
  if (!path.isEmpty()) SetLogFileName(path);
}

void MultiFilterWindow::SetLogFileName(const QString& path) {
  m_logName->setText(path);
  m_host.Settings().Write(setting::kLogFileName, path.toStdString());
}

void MultiFilterWindow::LoadSelectedPreset() {
  if (!m_graph->EditAllowed()) return;
  m_chain.LoadSelectedChainPreset(*m_presetBox);
  m_graph->update();
}

void MultiFilterWindow::SavePreset() { m_chain.SaveChainPresetAs(*m_presetBox); }

void MultiFilterWindow::DeletePreset() {
  if (!m_graph->EditAllowed()) return;
  m_chain.DeleteChainPreset(*m_presetBox);
  m_graph->update();
}

void MultiFilterWindow::closeEvent(QCloseEvent* event) {
  if (m_running || m_chain.Running()) {
    m_host.Run().stopRequested.store(1, std::memory_order_relaxed);
    event->ignore();
    return;
  }
  if (m_host.Settings().Read(setting::kAutoSaveDefault) != 0) m_chain.SaveDefaultPreset(*m_presetBox);
  m_chain.ClearChain();
  m_graph->update();
  event->accept();
  emit finished(QDialog::Rejected);
}

void MultiFilterWindow::reject() { close(); }

}  // namespace ztlive
