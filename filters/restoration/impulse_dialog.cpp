#include "filters/restoration/impulse_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "filters/restoration/impulse_filter.h"

namespace ztlive {

namespace {

constexpr const char* kTypeTexts[] = {"78's", "Vinyl LP", "HQ Mode"};
constexpr const char* kQualityTexts[] = {"&Speed", "&Accuracy"};

bool IsHighPass(int type) { return type != ImpulseDialog::k78s; }

const ParameterRecord& Value(int index) { return *ImpulseProcessor::Descriptor().Parameter(index); }

QGroupBox* MakeRadioGroup(const char* title, const char* const* texts, int count, QButtonGroup* group,
                          QWidget* parent) {
  auto* box = new QGroupBox(QString::fromUtf8(title), parent);
  auto* column = new QVBoxLayout(box);
  for (int id = 0; id < count; ++id) {
    auto* button = new QRadioButton(QString::fromUtf8(texts[id]), box);
    group->addButton(button, id);
    column->addWidget(button);
  }
  group->button(0)->setChecked(true);
  return box;
}

}  // namespace

ImpulseDialog::ImpulseDialog(FilterWindowHost& host, QWidget* parent)
    : FilterSettingsDialog(host, parent),
      m_host(host),
      m_threshold(MakeSliderEditPair(Value(0), &Content())),
      m_size(MakeSliderEditPair(Value(1), &Content())),
      m_tracking(MakeSliderEditPair(Value(4), &Content())),
      m_types(new QButtonGroup(this)),
      m_qualities(new QButtonGroup(this)),
      m_keepResidue(new QCheckBox(QStringLiteral("&Keep Residue"), &Content())) {
  setWindowTitle(QStringLiteral("Impulse Filter Parameters"));

  QGroupBox* typeBox = MakeRadioGroup("Recording Type", kTypeTexts, 3, m_types, &Content());
  QGroupBox* qualityBox = MakeRadioGroup("Optimization", kQualityTexts, 2, m_qualities, &Content());
  auto* groups = new QHBoxLayout;
  groups->addWidget(typeBox, 0, Qt::AlignTop);
  groups->addWidget(qualityBox, 0, Qt::AlignTop);
  auto* options = new QVBoxLayout;
  options->addLayout(groups);
  options->addWidget(m_keepResidue);
  options->addStretch(1);
  auto* row = new QHBoxLayout(&Content());
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(m_threshold);
  row->addWidget(m_size);
  row->addWidget(m_tracking);
  row->addSpacing(8);
  row->addLayout(options);

  for (SliderEditPair* pair : {m_threshold, m_size, m_tracking})
    connect(pair, &SliderEditPair::valueChanged, this, &ImpulseDialog::ControlChanged);
  connect(m_types, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    if (checked) TypeChanged(id);
  });
  connect(m_qualities, &QButtonGroup::idToggled, this, [this](int, bool checked) {
    if (checked) ControlChanged();
  });
  // This window's own labels for the shared buttons.
  RunButton().setText(QStringLiteral("&Run Filter"));
  BypassBox().setText(QStringLiteral("&Bypass"));

  ShowValues(InitialValues());
}

QRadioButton& ImpulseDialog::TypeButton(int type) {
  return *static_cast<QRadioButton*>(m_types->button(std::clamp(type, 0, 2)));
}

QRadioButton& ImpulseDialog::QualityButton(int quality) {
  return *static_cast<QRadioButton*>(m_qualities->button(std::clamp(quality, 0, 1)));
}

const FilterDescriptor& ImpulseDialog::Descriptor() const { return ImpulseProcessor::Descriptor(); }

PresetValues ImpulseDialog::ShownValues() const {
  PresetValues values;
  values.p[0] = m_threshold->Value();
  values.p[1] = m_size->Value();
  values.p[2] = std::max(m_types->checkedId(), 0);
  values.p[3] = m_runKeepsResidue ? 1 : 0;
  values.p[4] = m_tracking->Value();
  values.p[5] = std::max(m_qualities->checkedId(), 0);
  return values;
}

void ImpulseDialog::ShowValues(const PresetValues& stored) {
  m_showing = true;
  m_threshold->SetValue(stored.p[0]);
  m_size->SetValue(stored.p[1]);
  m_tracking->SetValue(stored.p[2]);
  m_type = std::clamp(stored.p[3], 0, 2);
  m_types->button(m_type)->setChecked(true);
  m_qualities->button(std::clamp(stored.p[4], 0, 1))->setChecked(true);
  if (m_opening) ClearUnusedControl(m_type);
  m_showing = false;
}

void ImpulseDialog::ClearUnusedControl(int type) {
  if (IsHighPass(type))
    m_threshold->SetValue(1);
  else
    m_tracking->SetValue(1);
}

void ImpulseDialog::showEvent(QShowEvent* event) {
  // Opening loads "Default" through ShowValues, which then also clears the unused control.
  m_opening = !event->spontaneous();
  FilterSettingsDialog::showEvent(event);
  m_opening = false;
}

void ImpulseDialog::ControlChanged() {
  if (!m_showing) ValuesEdited();
}

void ImpulseDialog::TypeChanged(int type) {
  if (m_showing) return;
  // Only a switch between the 78's detector and the high-pass ones swaps the controls; a
  // switch between the two high-pass types keeps them, so that neither remembered value is
  // overwritten by the 1 the unused control holds.
  if (IsHighPass(type) != IsHighPass(m_type)) {
    SettingsStore& settings = m_host.Settings();
    m_showing = true;
    if (IsHighPass(type)) {
      settings.Write(setting::kImpulse2Threshold, m_threshold->Value());
      m_threshold->SetValue(1);
      m_tracking->SetValue(settings.Read(setting::kImpulse2Tracking));
    } else {
      settings.Write(setting::kImpulse2Tracking, m_tracking->Value());
      m_tracking->SetValue(1);
      m_threshold->SetValue(settings.Read(setting::kImpulse2Threshold));
    }
    m_showing = false;
  }
  m_type = type;
  ControlChanged();
}

bool ImpulseDialog::RunStarting(bool preview) {
  // The choice travels as p[3], and as the engine's flag too, which the engine reads. The
  // file-run settings are shared by every window: another one may have left the flag on.
  m_runKeepsResidue = !preview && m_keepResidue->isChecked();
  Logic().ApplyKeepResidue(m_runKeepsResidue ? 1 : 0);
  return true;
}

void ImpulseDialog::RunEnded(bool) {
  m_runKeepsResidue = false;
  Logic().ApplyKeepResidue(0);
  ValuesEdited();  // the next run starts without keep residue again
}

}  // namespace ztlive
