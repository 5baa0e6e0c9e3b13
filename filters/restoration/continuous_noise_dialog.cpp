#include "filters/restoration/continuous_noise_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "core/wave_stream.h"
#include "filters/framework/preset_store.h"
#include "filters/restoration/continuous_noise_filter.h"
#include "filters/restoration/noise_print_graph.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

constexpr int kAttack = 0;
constexpr int kRelease = 1;
constexpr int kAttenuation = 2;
constexpr int kFrameSize = 3;         // the index of the "FFT Size" choice
constexpr int kEstimator = 4;         // the index of the "Estimator" choice
constexpr int kShiftMiddle = 50;      // the scroll bar's thumb rests here between steps

// N for a frame size index: 256 for the first choice, doubling with each.
int32_t BinsOfIndex(int index) {
  const int last = NoiseReductionProcessor::Descriptor().Parameter(kFrameSize)->maximum;
  return int32_t{1} << (std::clamp(index, 0, last) + 8);
}

QPushButton* MakeButton(const char* text, QWidget* parent) {
  auto* button = new QPushButton(QString::fromUtf8(text), parent);
  button->setAutoDefault(false);  // Enter in an edit field must not sample or reset
  return button;
}

// A print saved while the window had none holds only zeros: it brings no print along.
bool HoldsPrint(const NoisePrint& print) {
  return std::any_of(print.points.begin(), print.points.end(), [](const NoiseBreakpoint& p) { return p.bin > 0; });
}

}  // namespace

ContinuousNoiseDialog::ContinuousNoiseDialog(FilterWindowHost& host, QWidget* parent)
    : FilterSettingsDialog(host, parent),
      m_host(host),
      m_graph(new NoisePrintGraph(&Content())),
      m_shiftBar(new QScrollBar(Qt::Vertical, &Content())),
      m_sampleButton(MakeButton("&Sample &Noise", &Content())),
      m_resetButton(MakeButton("R&eset", &Content())),
      m_keepResidue(new QCheckBox(QStringLiteral("Keep Residue"), &Content())) {
  setWindowTitle(QStringLiteral("Continuous Noise Filter"));
  m_sourceName = [&host] { return host.ActiveSourceName(); };
  const ValueControls& controls = MakeValueControls(Descriptor().parameters);
  m_shiftBar->setRange(0, 2 * kShiftMiddle);
  m_shiftBar->setValue(kShiftMiddle);
  m_shiftBar->setSingleStep(1);
  m_shiftBar->setPageStep(10);

  auto* spectrumBox = new QGroupBox(QStringLiteral("Frequency Spectrum"), &Content());
  auto* spectrumLayout = new QVBoxLayout(spectrumBox);
  spectrumLayout->addWidget(m_graph);
  auto* shiftLabel = new QLabel(QStringLiteral("Shift\nThreshold"), &Content());
  shiftLabel->setAlignment(Qt::AlignHCenter);
  auto* shiftColumn = new QVBoxLayout;
  shiftColumn->addWidget(shiftLabel);
  shiftColumn->addWidget(m_shiftBar, 1, Qt::AlignHCenter);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(controls.Widget(kFrameSize));  // "FFT Size" and its list
  bottom->addWidget(controls.Widget(kEstimator));
  bottom->addSpacing(12);
  bottom->addWidget(m_sampleButton);
  bottom->addWidget(m_resetButton);
  bottom->addSpacing(12);
  bottom->addWidget(m_keepResidue);
  bottom->addStretch(1);

  auto* grid = new QGridLayout(&Content());
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(controls.Widget(kAttack), 0, 0);
  grid->addWidget(controls.Widget(kAttenuation), 0, 1);
  grid->addWidget(controls.Widget(kRelease), 0, 2);
  grid->addWidget(spectrumBox, 0, 3);
  grid->addLayout(shiftColumn, 0, 4);
  grid->addLayout(bottom, 1, 0, 1, 5);
  grid->setColumnStretch(3, 1);

  connect(m_shiftBar, &QScrollBar::actionTriggered, this, &ContinuousNoiseDialog::ShiftBarAction);
  connect(m_sampleButton, &QPushButton::clicked, this, [this] { SampleNoise(); });
  connect(m_resetButton, &QPushButton::clicked, this, &ContinuousNoiseDialog::ResetPrint);
  connect(m_keepResidue, &QCheckBox::toggled, this, &ContinuousNoiseDialog::ApplyKeepResidueShown);
  // This window's own labels for the shared buttons.
  RunButton().setText(QStringLiteral("&Run Filter"));
  BypassBox().setText(QStringLiteral("&Bypass"));

  ShowValues(InitialValues());
  PrintChanged();
}

int32_t ContinuousNoiseDialog::ShownBins() const { return BinsOfIndex(Controls().Values().p[kFrameSize]); }

void ContinuousNoiseDialog::ShowValues(const PresetValues& stored) {
  FilterSettingsDialog::ShowValues(stored);
  m_shownEstimator = Controls().Values().p[kEstimator];
  // The print always belongs to the frame size shown.
  if (m_keeper.HasPrint() && m_keeper.Print().bins != ShownBins()) {
    m_keeper.FitToBins(ShownBins());
    PrintChanged();
  }
}

const FilterDescriptor& ContinuousNoiseDialog::Descriptor() const { return NoiseReductionProcessor::Descriptor(); }

void ContinuousNoiseDialog::PushExtraParams(FilterProcessor& processor) { m_keeper.PushTo(processor); }

void ContinuousNoiseDialog::TakeAnalysisResult(FilterProcessor& processor) {
  if (m_keeper.TakeSample(processor, m_samplingRate)) m_sampleTaken = true;
}

int ContinuousNoiseDialog::SampleNoise() {
  const int engineState = m_host.Run().engineState;
  if (engineState == kEnginePlaying || engineState == kEnginePaused || RunInProgress()) {
    m_host.WindowPrompts().Show(StringText(StringId::kCannotSampleNow), "", PromptIcon::Warning);
    return 0;
  }
  m_samplingRate = SourceRate();
  PresetValues sampling;
  sampling.p[0] = ShownBins();
  m_sampling = true;
  m_sampleTaken = false;
  const int result = m_host.RunFilterFromWindow(kSamplingType, this, false, sampling);
  m_sampling = false;
  if (m_sampleTaken) {
    m_keeper.FitToBins(ShownBins());  // in case the size was changed while sampling
    m_printRate = m_samplingRate;
    PrintChanged();
  }
  ValuesEdited();  // the next run's values are the filter's again, not the sampler's
  return result;
}

void ContinuousNoiseDialog::ShiftPrint(bool up) {
  if (!m_keeper.Shift(up)) return;
  PrintChanged();
  ValuesEdited();
}

void ContinuousNoiseDialog::ResetPrint() {
  if (RunInProgress() || !m_keeper.Reset(ShownBins())) return;
  m_printRate = m_keeper.SampleRate();
  PrintChanged();
  ValuesEdited();
}

void ContinuousNoiseDialog::ShiftBarAction(int action) {
  // The bar is a pair of step buttons: its thumb goes back to the middle after every step.
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
    case QAbstractSlider::SliderPageStepAdd:
      ShiftPrint(false);
      break;
    case QAbstractSlider::SliderSingleStepSub:
    case QAbstractSlider::SliderPageStepSub:
      ShiftPrint(true);
      break;
    default:
      break;
  }
  m_shiftBar->setSliderPosition(kShiftMiddle);
}

void ContinuousNoiseDialog::ControlEdited(int index) {
  if (m_sampling) return;
  const int32_t estimator = Controls().Values().p[kEstimator];
  if (index == kEstimator && m_shownEstimator == NoiseReductionProcessor::kElementPairs &&
      estimator != NoiseReductionProcessor::kElementPairs) {
    // The per-bin estimator starts from its own tuned values.
    PresetValues start = NoiseReductionProcessor::PerBinStartingValues();
    start.p[kEstimator] = estimator;
    ShowValues(Descriptor().presetRecord.Store(start));  // fits the print to the frame size
  }
  m_shownEstimator = estimator;
  if (index == kFrameSize && m_keeper.HasPrint()) {
    m_keeper.FitToBins(ShownBins());
    PrintChanged();
  }
  ValuesEdited();
}

void ContinuousNoiseDialog::PrintChanged() {
  m_graph->SetPrint(m_keeper.Print(), m_printRate);
  m_resetButton->setEnabled(m_keeper.HasSample());
  PushPrintToEngines();
}

void ContinuousNoiseDialog::PushPrintToEngines() {
  FilterProcessor* attached = Logic().AttachedEngine();
  if (attached != nullptr) m_keeper.PushTo(*attached);
  FilterProcessor* running = m_host.FileRun().runningEngine;
  if (running != nullptr && running != attached) m_keeper.PushTo(*running);
}

bool ContinuousNoiseDialog::RunStarting(bool preview) {
  // A preview without a print is refused by the engine itself, with its own message.
  if (!preview && !m_keeper.HasPrint()) {
    m_host.WindowPrompts().Show(StringText(StringId::kNoNoiseRecorded), "", PromptIcon::Warning);
    return false;
  }
  ApplyKeepResidueShown();
  return true;
}

void ContinuousNoiseDialog::ApplyKeepResidueShown() {
  // The file-run settings are shared by every window: a run of this one takes its own box.
  Logic().ApplyKeepResidue(m_keepResidue->isChecked() ? 1 : 0);
}

void ContinuousNoiseDialog::PresetSaved(const std::string& name) {
  WriteNoisePrintRecords(Logic().Presets().Section(), name, m_keeper.Print());
}

void ContinuousNoiseDialog::PresetLoaded(const std::string& name) {
  PresetValues stored;
  if (ReadPresetValues(Logic().Presets().Section(), name, stored) == 0) LoadPrintOf(name, stored.p[3]);
}

void ContinuousNoiseDialog::LoadPrintOf(const std::string& name, int32_t storedIndex) {
  NoisePrint print = m_keeper.Print();
  if (!ReadNoisePrintRecords(Logic().Presets().Section(), name, print)) {
    // A shipped preset brings no print: the sampled one stays.
    if (Descriptor().FindReadyPreset(name) != nullptr) return;
    m_host.WindowPrompts().Show(StringText(StringId::kPresetLoadFailed), "", PromptIcon::Error);
    return;  // the print stays as it was
  }
  if (!HoldsPrint(print)) return;
  print.bins = BinsOfIndex(storedIndex);
  m_keeper.SetPrint(FitNoisePrint(print, ShownBins()));
  m_printRate = SourceRate();
  PrintChanged();
}

void ContinuousNoiseDialog::showEvent(QShowEvent* event) {
  FilterSettingsDialog::showEvent(event);  // loads "Default", its print with it
  if (event->spontaneous()) return;
  m_keepResidue->setChecked(false);  // like bypass, keep residue never carries over
  Logic().ApplyKeepResidue(0);
  PushPrintToEngines();
  ValuesEdited();
}

void ContinuousNoiseDialog::closeEvent(QCloseEvent* event) {
  FilterSettingsDialog::closeEvent(event);  // with auto-save on, "Default" and its print
  if (event->isAccepted()) m_keepResidue->setChecked(false);  // the next window's runs start without it
}

uint32_t ContinuousNoiseDialog::SourceRate() const {
  const std::string path = m_sourceName ? m_sourceName() : std::string();
  if (path.empty()) return m_printRate;
  WaveStream probe(64, 0, m_host.Run());
  if (probe.Open(path, kOpenRead) != kStreamOk) return m_printRate;
  const uint32_t rate = probe.Format().sampleRate;
  probe.Close();
  return rate > 0 ? rate : m_printRate;
}

}  // namespace ztlive
