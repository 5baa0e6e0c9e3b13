#include "filters/eq/paragraphic_eq_dialog.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "core/wave_stream.h"
#include "filters/framework/preset_store.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

constexpr int kOverloadLitMs = 2000;
constexpr int kGainValue = 0;
constexpr int kSelectedValue = 1;
constexpr int kCountValue = 3;

constexpr ParameterRecord kOctaves{.index = 2,
                                   .label = "Octaves",
                                   .minimum = 5,
                                   .maximum = 300,
                                   .start = 100,
                                   .kind = ControlKind::LinearSlider,
                                   .scale = 100};

double DbOf(double amp) { return amp > 0 ? 20.0 * std::log10(amp) : -20.0; }
double AmpOf(double db) { return std::pow(10.0, db / 20.0); }

}  // namespace

ParagraphicEqDialog::ParagraphicEqDialog(FilterWindowHost& host, QWidget* parent)
    : FilterSettingsDialog(host, parent),
      m_host(host),
      m_graph(new ResponseGraph(&Content())),
      m_bandLabel(new QLabel(&Content())),
      m_frequency(new QSpinBox(&Content())),
      m_amp(new QDoubleSpinBox(&Content())),
      m_octaves(MakeSliderEditPair(kOctaves, &Content())),
      m_count(new QSpinBox(&Content())),
      m_gain(MakeSliderEditPair(Descriptor().parameters[0], &Content())),
      m_resetButton(new QPushButton(QStringLiteral("Reset &Levels"), &Content())),
      m_lamp(new OverloadLamp(host.Run(), kOverloadLitMs, &Content())) {
  setWindowTitle(QStringLiteral("Paragraphic Equalizer"));
  m_resetButton->setAutoDefault(false);  // Enter in an edit field confirms the value, nothing else
  m_frequency->setRange(10, 22000);
  m_frequency->setSuffix(QStringLiteral(" Hz"));
  m_amp->setRange(-20.0, 20.0);
  m_amp->setDecimals(2);
  m_amp->setSingleStep(0.5);
  m_amp->setSuffix(QStringLiteral(" dB"));
  m_count->setRange(1, kParagraphicBands);
  m_count->setValue(kParagraphicBands);
  m_gain->SetValue(0);

  auto* graphBox = new QGroupBox(QStringLiteral("Frequency Response"), &Content());
  auto* graphLayout = new QVBoxLayout(graphBox);
  graphLayout->addWidget(m_graph);

  auto* band = new QGridLayout;
  band->addWidget(m_bandLabel, 0, 0, 1, 2);
  band->addWidget(new QLabel(QStringLiteral("Freq"), &Content()), 1, 0);
  band->addWidget(m_frequency, 1, 1);
  band->addWidget(new QLabel(QStringLiteral("Amp"), &Content()), 2, 0);
  band->addWidget(m_amp, 2, 1);
  band->addWidget(new QLabel(QStringLiteral("Number of Filters"), &Content()), 3, 0);
  band->addWidget(m_count, 3, 1);
  band->addWidget(m_resetButton, 4, 0, 1, 2);
  auto* lamp = new QHBoxLayout;
  lamp->addWidget(new QLabel(QStringLiteral("Overload"), &Content()));
  lamp->addWidget(m_lamp);
  lamp->addStretch(1);
  band->addLayout(lamp, 5, 0, 1, 2);
  band->setRowStretch(6, 1);

  auto* row = new QHBoxLayout(&Content());
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(graphBox, 1);
  row->addLayout(band);
  row->addWidget(m_octaves);
  row->addWidget(m_gain);

  connect(m_graph, &ResponseGraph::bandSelected, this, &ParagraphicEqDialog::SelectBand);
  connect(m_graph, &ResponseGraph::bandDragged, this, &ParagraphicEqDialog::BandDragged);
  // Each control sets only its own quantity: the others keep their exact values, not the
  // rounded ones their controls show.
  connect(m_frequency, &QSpinBox::valueChanged, this, [this](int hz) {
    m_bands.freq[m_selected] = hz;
    BandsChanged();
  });
  connect(m_amp, &QDoubleSpinBox::valueChanged, this, [this](double db) {
    m_bands.amp[m_selected] = AmpOf(db);
    BandsChanged();
  });
  connect(m_octaves, &SliderEditPair::valueChanged, this, [this](int hundredths) {
    m_bands.bw[m_selected] = hundredths / 100.0;
    BandsChanged();
  });
  connect(m_count, &QSpinBox::valueChanged, this, [this] { BandsChanged(); });
  connect(m_gain, &SliderEditPair::valueChanged, this, [this] { BandsChanged(); });
  connect(m_resetButton, &QPushButton::clicked, this, &ParagraphicEqDialog::ResetLevels);
  connect(&DeleteButton(), &QPushButton::clicked, this, &ParagraphicEqDialog::DeleteOrphanBandLines);

  RunButton().setText(QStringLiteral("&Run Filter"));
  CloseButton().setText(QStringLiteral("&Close"));
  BypassBox().setText(QStringLiteral("Bypass"));
  SaveButton().setText(QStringLiteral("&Save"));
  DeleteButton().setText(QStringLiteral("&Delete"));
  ShowSelectedBand();
}

PresetValues ParagraphicEqDialog::ShownValues() const {
  PresetValues values;
  values.p[kGainValue] = m_gain->Value();
  values.p[kSelectedValue] = m_selected;
  values.p[kCountValue] = m_count->value();
  return values;
}

void ParagraphicEqDialog::ShowValues(const PresetValues& stored) {
  // A window bound to a chain member shows that engine's bands.
  if (auto* engine = dynamic_cast<ParagraphicEqProcessor*>(BoundEngine()); engine != nullptr) m_bands = engine->Bands();
  {
    const QSignalBlocker quietGain(m_gain);
    const QSignalBlocker quietCount(m_count);
    m_gain->SetValue(stored.p[kGainValue]);
    m_count->setValue(std::clamp(stored.p[kCountValue], 1, kParagraphicBands));
  }
  m_selected = std::clamp(stored.p[kSelectedValue], 0, m_count->value() - 1);
  m_bands.master = AmpOf(m_gain->Value() / 10.0);
  m_bands.count = m_count->value();
  m_graph->SetBands(m_bands);
  m_graph->SetSelected(m_selected);
  ShowSelectedBand();
}

void ParagraphicEqDialog::PresetSaved(const std::string& name) {
  WriteBandTables(Logic().Presets().Section(), name, m_bands);
}

void ParagraphicEqDialog::PresetLoaded(const std::string& name) {
  if (!ReadBandTables(Logic().Presets().Section(), name, m_bands))
    m_host.WindowPrompts().Show(StringText(StringId::kPresetLoadFailed), "", PromptIcon::Error);
  m_selected = 0;
  BandsChanged();
}

void ParagraphicEqDialog::PushExtraParams(FilterProcessor& processor) {
  if (auto* engine = dynamic_cast<ParagraphicEqProcessor*>(&processor); engine != nullptr) engine->SetBands(m_bands);
}

bool ParagraphicEqDialog::RunStarting(bool) {
  m_lamp->Clear();
  return true;
}

void ParagraphicEqDialog::showEvent(QShowEvent* event) {
  // The axis reaches half the rate of the active document's source (44100 Hz without one).
  const std::string source = m_host.ActiveSourceName();
  double rate = 44100;
  if (!source.empty()) {
    WaveStream probe(64, 0, m_host.Run());
    if (probe.Open(source, kOpenRead) == kStreamOk && probe.Format().sampleRate > 0) rate = probe.Format().sampleRate;
    probe.Close();
  }
  m_graph->SetSampleRate(rate);
  FilterSettingsDialog::showEvent(event);  // loads "Default", its bands with it
}

void ParagraphicEqDialog::SelectBand(int band) {
  m_selected = std::clamp(band, 0, m_bands.count - 1);
  ShowSelectedBand();
  ValuesEdited();  // p[1] remembers the selected band
}

void ParagraphicEqDialog::BandDragged(int band, double hz, double db) {
  m_selected = band;
  m_bands.freq[band] = std::clamp(hz, 10.0, 22000.0);
  m_bands.amp[band] = AmpOf(std::clamp(db, -20.0, 20.0));
  ShowSelectedBand();
  PushToEngines();
}

void ParagraphicEqDialog::ResetLevels() {
  for (double& amp : m_bands.amp) amp = 1.0;
  {
    const QSignalBlocker quiet(m_gain);
    m_gain->SetValue(0);
  }
  BandsChanged();
}

void ParagraphicEqDialog::BandsChanged() {
  m_bands.master = AmpOf(m_gain->Value() / 10.0);
  m_bands.count = m_count->value();
  m_selected = std::min(m_selected, m_bands.count - 1);
  m_graph->SetBands(m_bands);
  m_graph->SetSelected(m_selected);
  ShowSelectedBand();
  PushToEngines();
}

void ParagraphicEqDialog::ShowSelectedBand() {
  const QSignalBlocker quietFrequency(m_frequency);
  const QSignalBlocker quietAmp(m_amp);
  const QSignalBlocker quietOctaves(m_octaves);
  m_bandLabel->setText(QStringLiteral("Band %1 of %2").arg(m_selected + 1).arg(m_bands.count));
  m_frequency->setValue(static_cast<int>(std::lround(m_bands.freq[m_selected])));
  m_amp->setValue(DbOf(m_bands.amp[m_selected]));
  m_octaves->SetValue(static_cast<int32_t>(std::lround(m_bands.bw[m_selected] * 100)));
}

void ParagraphicEqDialog::PushToEngines() {
  ValuesEdited();
  FilterProcessor* attached = Logic().AttachedEngine();
  if (attached != nullptr) PushExtraParams(*attached);
  FilterProcessor* running = m_host.FileRun().runningEngine;
  if (running != nullptr && running != attached) PushExtraParams(*running);
}

void ParagraphicEqDialog::DeleteOrphanBandLines() {
  const std::string section = Logic().Presets().Section();
  ProfileFile file = PresetFile();
  const std::vector<std::string> kept = file.KeyNames(section, kPresetKeyListBytes * 16);
  for (const std::string& name : file.KeyNames(AmpSection(section), kPresetKeyListBytes * 16))
    if (std::find(kept.begin(), kept.end(), name) == kept.end()) DeleteBandTables(section, name);
}

}  // namespace ztlive
