#include "analysis/gui/spectrum_window.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <algorithm>
#include <cstdio>

#include "analysis/gui/spectrum_graph.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

constexpr double kFloors[] = {-100.0, -50.0, -20.0};

QGroupBox* RadioGroup(const QString& title, std::initializer_list<const char*> texts, QButtonGroup* group,
                      QWidget* parent) {
  auto* box = new QGroupBox(title, parent);
  auto* layout = new QVBoxLayout(box);
  int id = 0;
  for (const char* text : texts) {
    auto* button = new QRadioButton(QString::fromLatin1(text), box);
    group->addButton(button, id++);
    layout->addWidget(button);
  }
  return box;
}

}  // namespace

SpectrumWindow::SpectrumWindow(SettingsStore& settings, SourceFormat source, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_source(std::move(source)) {
  setWindowTitle(QStringLiteral("Spectrum Analyzer"));
  setObjectName(QStringLiteral("spectrumAnalyzer"));
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  m_graph = new SpectrumGraph(m_analyzer, this);
  m_bands = new QComboBox(this);
  for (const int n : SpectrumAnalyzer::kBandTable) m_bands->addItem(QString::number(n));
  m_resolution = new QComboBox(this);
  m_range = new QButtonGroup(this);
  m_response = new QButtonGroup(this);
  m_offset = new QSlider(Qt::Vertical, this);
  m_offset->setRange(-40, 40);
  m_offset->setTickInterval(10);
  m_offset->setTickPosition(QSlider::TicksRight);
  m_offset->setInvertedAppearance(false);
  m_showPeak = new QCheckBox(QStringLiteral("Show Peak"), this);
  m_hold = new QCheckBox(QStringLiteral("Hold"), this);
  m_thd = new QLabel(this);
  m_thd->setObjectName(QStringLiteral("thdField"));
  m_thd->setMinimumWidth(140);
  auto* close = new QPushButton(QStringLiteral("&Close"), this);

  auto* controls = new QVBoxLayout;
  controls->addWidget(new QLabel(QStringLiteral("Frequency Bands"), this));
  controls->addWidget(m_bands);
  controls->addWidget(new QLabel(QStringLiteral("Frequency Resolution"), this));
  controls->addWidget(m_resolution);
  controls->addWidget(RadioGroup(QStringLiteral("Range"), {"100dB", "50dB", "20dB"}, m_range, this));
  controls->addWidget(RadioGroup(QStringLiteral("Response"), {"Fast", "Slow", "Averaging"}, m_response, this));
  controls->addWidget(m_showPeak);
  controls->addWidget(m_hold);
  controls->addWidget(m_thd);
  controls->addStretch(1);
  controls->addWidget(close);
  auto* offset = new QVBoxLayout;
  offset->addWidget(new QLabel(QStringLiteral("Offset"), this));
  offset->addWidget(m_offset, 1);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(m_graph, 1);
  layout->addLayout(offset);
  layout->addLayout(controls);

  // The remembered choices; a band count beyond the table falls back to 1024 points.
  int bands = m_settings.Read(setting::kSpectrumNumBands);
  if (bands < 0 || bands >= 7) bands = SpectrumAnalyzer::kDefaultBand;
  const int resolution = std::clamp(m_settings.Read(setting::kSpectrumFreqRange), 0, 5);
  const int range = std::clamp(m_settings.Read(setting::kSpectrumRange), 0, 2);
  const int response = std::clamp(m_settings.Read(setting::kSpectrumResponse), 0, 2);
  m_hold->setChecked(m_settings.Read(setting::kSpectrumHold) != 0);
  m_showPeak->setChecked(m_settings.Read(setting::kSpectrumShowPeak) != 0);
  const bool showThd = m_settings.Read(setting::kSpectrumShowThd) != 0;
  m_thd->setVisible(showThd);
  m_range->button(range)->setChecked(true);
  m_response->button(response)->setChecked(true);
  m_analyzer.SetShowThd(showThd);
  m_analyzer.SetShowPeak(m_showPeak->isChecked());
  m_analyzer.SetResponse(static_cast<SpectrumResponse>(response));
  m_analyzer.SetHold(m_hold->isChecked());
  m_bands->setCurrentIndex(bands);
  m_analyzer.SetBand(bands);
  TakeSource();
  FillResolution();
  m_resolution->setCurrentIndex(resolution);
  m_analyzer.SetResolution(resolution);
  ResetAxes();

  connect(m_bands, &QComboBox::activated, this, [this] { OnBandsChosen(); });
  connect(m_resolution, &QComboBox::activated, this, [this] { OnResolutionChosen(); });
  connect(m_range, &QButtonGroup::idClicked, this, [this] {
    TakeSource();
    ResetAxes();
  });
  connect(m_offset, &QSlider::valueChanged, this, [this] { ResetAxes(); });
  connect(m_response, &QButtonGroup::idClicked, this, [this](int id) { OnResponse(id); });
  connect(m_hold, &QCheckBox::toggled, this, [this](bool on) { m_analyzer.SetHold(on); });
  connect(m_showPeak, &QCheckBox::toggled, this, [this](bool on) {
    m_analyzer.SetShowPeak(on);
    m_graph->update();
  });
  connect(close, &QPushButton::clicked, this, &SpectrumWindow::CloseAndRemember);
}

void SpectrumWindow::TakeSource() {
  int rate = 0, channels = 0;
  if (!m_source || !m_source(rate, channels)) return;
  const bool newRate = rate > 0 && rate != m_analyzer.SampleRate();
  m_analyzer.SetSource(rate, channels);
  if (newRate && m_resolution->count() > 0) FillResolution();  // the entries are in Hz of this rate
}

void SpectrumWindow::FillResolution() {
  const int chosen = std::max(0, m_resolution->currentIndex());
  m_resolution->clear();
  for (int b = 0; b < SpectrumAnalyzer::kResolutionChoices; ++b)
    m_resolution->addItem(QString::fromStdString(SpectrumAnalyzer::ResolutionLabel(m_analyzer.SampleRate(), m_analyzer.Length(), b)));
  m_resolution->setCurrentIndex(chosen);
}

void SpectrumWindow::OnBandsChosen() {
  m_analyzer.SetBand(m_bands->currentIndex());
  FillResolution();
  m_graph->update();
}

void SpectrumWindow::OnResolutionChosen() {
  TakeSource();
  m_analyzer.SetResolution(m_resolution->currentIndex());
  ResetAxes();
}

void SpectrumWindow::ResetAxes() {
  const double offset = m_offset->value();
  m_graph->SetLevelAxis(offset + kFloors[std::max(0, m_range->checkedId())], offset);
}

void SpectrumWindow::OnResponse(int response) {
  m_analyzer.SetResponse(static_cast<SpectrumResponse>(response));
  m_graph->update();
}

void SpectrumWindow::TakeBlock(const PlayedBlock& block) {
  if (m_analyzer.Analyze(block.values, block.valueCount)) m_dirty = true;
}

void SpectrumWindow::Refresh(int) {
  TakeSource();  // the next blocks are read as the file now shown
  if (!m_dirty) return;
  m_dirty = false;
  if (m_analyzer.HasThd()) {
    char number[32];
    std::snprintf(number, sizeof number, "%8.4f", m_analyzer.ThdPercent());
    m_thd->setText(QString::fromStdString(FormatText(StringId::kSpectrumThd, {number})));
  }
  m_graph->update();
}

void SpectrumWindow::CloseAndRemember() {
  m_settings.Write(setting::kSpectrumNumBands, m_bands->currentIndex());
  m_settings.Write(setting::kSpectrumFreqRange, m_resolution->currentIndex());
  m_settings.Write(setting::kSpectrumHold, m_hold->isChecked() ? 1 : 0);
  m_settings.Write(setting::kSpectrumRange, std::max(0, m_range->checkedId()));
  m_settings.Write(setting::kSpectrumShowPeak, m_showPeak->isChecked() ? 1 : 0);
  close();
}

}  // namespace ztlive
