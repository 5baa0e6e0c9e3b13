#include "filters/framework/filter_settings_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace ztlive {

namespace {

QPushButton* MakeButton(const char* text, QWidget* parent) {
  auto* button = new QPushButton(QString::fromUtf8(text), parent);
  // Enter in an edit field confirms the typed value; it must not start a run.
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

}  // namespace

FilterSettingsDialog::FilterSettingsDialog(FilterWindowHost& host, QWidget* parent)
    : QDialog(parent),
      m_host(host),
      m_nameDialog(new PresetNameDialog(this)),
      m_logic(host.FileRun(), host.Run(), host.WindowPrompts(), *m_nameDialog),
      m_content(new QWidget(this)),
      m_presetBox(new PresetComboWidget(this)),
      m_saveButton(MakeButton("&Save", this)),
      m_deleteButton(MakeButton("&Delete", this)),
      m_previewButton(MakeButton("&Preview", this)),
      m_runButton(MakeButton("Run &Filter", this)),
      m_closeButton(MakeButton("&Close", this)),
      m_bypassBox(new QCheckBox(QStringLiteral("Bypass"), this)) {
  setModal(false);
  m_presetBox->setMinimumContentsLength(16);
  m_presetBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(m_previewButton);
  buttons->addWidget(m_runButton);
  buttons->addWidget(m_closeButton);
  buttons->addStretch(1);
  buttons->addWidget(m_bypassBox);

  auto* presets = new QHBoxLayout;
  presets->addWidget(m_presetBox, 1);
  presets->addWidget(m_saveButton);
  presets->addWidget(m_deleteButton);

  auto* grid = new QGridLayout(this);
  grid->addWidget(m_content, 0, 0);
  grid->addLayout(buttons, 0, 1);
  grid->addLayout(presets, 1, 0, 1, 2);
  grid->setSizeConstraint(QLayout::SetFixedSize);  // the window keeps its natural size per mode

  connect(m_presetBox, &QComboBox::activated, this, &FilterSettingsDialog::LoadSelectedPreset);
  connect(m_saveButton, &QPushButton::clicked, this, &FilterSettingsDialog::SavePreset);
  connect(m_deleteButton, &QPushButton::clicked, this, &FilterSettingsDialog::DeletePreset);
  connect(m_previewButton, &QPushButton::clicked, this, [this] { Preview(); });
  connect(m_runButton, &QPushButton::clicked, this, [this] { RunFilterOverFile(); });
  connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);
  connect(m_bypassBox, &QCheckBox::toggled, this, &FilterSettingsDialog::ApplyBypass);
}

FilterSettingsDialog::~FilterSettingsDialog() = default;

FilterProcessor* FilterSettingsDialog::AttachProcessor(FilterProcessor* processor) {
  FilterProcessor* previous = m_logic.AttachedEngine();
  m_logic.AttachEngine(processor);
  if (processor == previous) return previous;
  if (processor == nullptr) {
    // Detached: whatever the window was bound to is no longer its own.
    m_boundEngine = m_setAsideEngine = nullptr;
  } else if (previous != nullptr && previous == m_boundEngine) {
    // A run from this window takes it over; the run puts the bound engine back as it ends.
    m_setAsideEngine = previous;
    m_boundEngine = nullptr;
  } else if (processor == m_setAsideEngine) {
    m_boundEngine = processor;
    m_setAsideEngine = nullptr;
  }
  return previous;
}

void FilterSettingsDialog::ReleaseEngine(FilterProcessor* engine) {
  if (engine == nullptr) return;
  if (m_setAsideEngine == engine) m_setAsideEngine = nullptr;
  if (m_logic.AttachedEngine() == engine) AttachProcessor(nullptr);
}

void FilterSettingsDialog::BindEngine(FilterProcessor* engine) {
  m_setAsideEngine = nullptr;
  m_boundEngine = engine;
  m_logic.AttachEngine(engine);
  if (engine != nullptr) ShowBoundEngine();
}

void FilterSettingsDialog::ShowBoundEngine() {
  ShowValues(Descriptor().presetRecord.Store(m_boundEngine->GetValues()));
  const QSignalBlocker quiet(m_bypassBox);
  m_bypassBox->setChecked(m_boundEngine->bypass != 0);
}

void FilterSettingsDialog::EnableTextEntry(bool enabled) {
  if (enabled) {
    for (const QPointer<QLineEdit>& field : m_lockedFields)
      if (field != nullptr) field->setEnabled(true);
    m_lockedFields.clear();
    return;
  }
  const QList<QWidget*> changeable = FieldsChangeableDuringRun();
  auto keptOpen = [&changeable](const QLineEdit* field) {
    for (const QWidget* widget : changeable)
      if (widget == field || widget->isAncestorOf(field)) return true;
    return false;
  };
  for (QLineEdit* field : findChildren<QLineEdit*>()) {
    // The preset box's field only names a preset; fields of other windows are not ours.
    if (field->window() != this || m_presetBox->isAncestorOf(field)) continue;
    if (!field->isEnabled() || keptOpen(field)) continue;
    field->setEnabled(false);
    m_lockedFields.append(field);
  }
}

void FilterSettingsDialog::EnableRunControls(bool enabled) {
  m_runButton->setEnabled(enabled || m_activeRun == RunKind::File);
  m_previewButton->setEnabled(enabled || m_activeRun == RunKind::Preview);
}

bool FilterSettingsDialog::RunInProgress() const {
  return m_activeRun != RunKind::None || m_host.FileRun().runningEngine != nullptr;
}

int FilterSettingsDialog::Preview() { return RunFromWindow(RunKind::Preview); }

int FilterSettingsDialog::RunFilterOverFile() { return RunFromWindow(RunKind::File); }

int FilterSettingsDialog::RunFromWindow(RunKind kind) {
  // A second request is a cancel. Starting another run would also move the region of the
  // one in progress, so it is never started from here.
  if (RunInProgress()) {
    m_host.Run().stopRequested.store(1, std::memory_order_relaxed);
    return 0;
  }
  const bool preview = kind == RunKind::Preview;
  if (!RunStarting(preview)) return 0;
  m_activeRun = kind;
  const int result = m_host.RunFilterFromWindow(TypeId(), this, preview, ShownValues());
  m_activeRun = RunKind::None;
  EnableRunControls(true);
  RunEnded(preview);
  return result;
}

void FilterSettingsDialog::LoadPresetsOnOpening() {
  if (m_boundEngine != nullptr && m_boundEngine->GetTypeId() != TypeId()) {
    // The window now sets another filter: the chain node's engine is no longer its own.
    m_logic.AttachEngine(nullptr);
    m_boundEngine = nullptr;
  }
  if (m_boundEngine != nullptr) {
    m_logic.Presets().SetSection(SectionBase());
    m_logic.Presets().FillList(*m_presetBox);
    ShowBoundEngine();
    return;
  }
  ShowValues(InitialValues());
  PresetValues values = StoredValues();
  PresetList& presets = m_logic.Presets();
  presets.SetSection(SectionBase());
  presets.FillList(*m_presetBox);
  if (presets.LoadDefault(*m_presetBox, values) == 0) {
    ShowValues(values);
    PresetLoaded(presets.CurrentName());
  }
  // The bypass of an earlier window must not silently carry over into this one's runs.
  m_bypassBox->setChecked(false);
  ApplyBypass(false);
  ValuesEdited();
}

ValueControls& FilterSettingsDialog::MakeValueControls(std::span<const ParameterRecord> records) {
  m_controls = new ValueControls(records, m_content);
  connect(m_controls, &ValueControls::edited, this, [this](int index) { ControlEdited(index); });
  return *m_controls;
}

PresetValues FilterSettingsDialog::ShownValues() const {
  return m_controls != nullptr ? m_controls->Values() : PresetValues{};
}

void FilterSettingsDialog::ShowValues(const PresetValues& stored) {
  if (m_controls == nullptr) return;
  PresetValues values = m_controls->Values();
  Descriptor().presetRecord.Load(stored, values);
  m_controls->Show(values);
}

void FilterSettingsDialog::ValuesEdited() { m_logic.ApplyValues(ShownValues()); }

void FilterSettingsDialog::ApplyBypass(bool on) { m_logic.ApplyBypass(on ? 1 : 0); }

void FilterSettingsDialog::LoadSelectedPreset() {
  PresetValues values = StoredValues();
  if (m_logic.Presets().LoadSelected(*m_presetBox, values) != 0) return;  // the controls keep what they show
  ShowValues(values);
  PresetLoaded(m_logic.Presets().CurrentName());
  ValuesEdited();
}

void FilterSettingsDialog::SavePreset() {
  if (m_logic.Presets().SavePresetAs(*m_presetBox, StoredValues()) == 0) PresetSaved(m_logic.Presets().CurrentName());
}

void FilterSettingsDialog::DeletePreset() {
  if (m_logic.Presets().DeleteSelected(*m_presetBox) == 0) LoadSelectedPreset();
}

void FilterSettingsDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) LoadPresetsOnOpening();  // not when a minimised window comes back
}

void FilterSettingsDialog::closeEvent(QCloseEvent* event) {
  if (m_activeRun != RunKind::None && m_host.FileRun().runningEngine == nullptr) {
    // A run of this window is still asking its questions: it is asked to stop as well.
    m_host.Run().stopRequested.store(1, std::memory_order_relaxed);
    event->ignore();
    return;
  }
  const bool autoSave = m_host.Settings().Read(setting::kAutoSaveDefault) != 0;
  if (!m_logic.RequestClose(*m_presetBox, StoredValues(), autoSave)) {
    event->ignore();
    return;
  }
  if (autoSave) PresetSaved("Default");
  event->accept();
  emit finished(QDialog::Rejected);  // owners that keep the window learn that it closed
}

void FilterSettingsDialog::reject() { close(); }

}  // namespace ztlive
