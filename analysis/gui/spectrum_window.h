// The "Spectrum Analyzer" window: the spectrum of what the output device plays, with the band
// size, resolution, range, offset, response, hold, peak and distortion controls. Its choices
// are read from the "Spectrum" settings and written back by "&Close".
#pragma once

#include <QDialog>
#include <functional>

#include "analysis/gui/display_feed.h"
#include "analysis/spectrum_analyzer.h"
#include "platform/settings_store.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;

namespace ztlive {

class SpectrumGraph;

class SpectrumWindow : public QDialog, public DisplaySink {
  Q_OBJECT

 public:
  // The active file window's sample rate and channels; false when no file is shown (the
  // previous values stay).
  using SourceFormat = std::function<bool(int& sampleRate, int& channels)>;

  SpectrumWindow(SettingsStore& settings, SourceFormat source, QWidget* parent = nullptr);

  void TakeBlock(const PlayedBlock& block) override;
  void Refresh(int elapsedMs) override;

  const SpectrumAnalyzer& Analyzer() const { return m_analyzer; }
  SpectrumGraph& Graph() { return *m_graph; }
  QComboBox& Bands() { return *m_bands; }
  QComboBox& Resolution() { return *m_resolution; }
  QLabel& ThdField() { return *m_thd; }
  // "&Close": writes the settings and closes.
  void CloseAndRemember();

 private:
  void OnBandsChosen();
  void OnResolutionChosen();
  void FillResolution();
  void TakeSource();
  void ResetAxes();
  void OnResponse(int response);

  SettingsStore& m_settings;
  SourceFormat m_source;
  SpectrumAnalyzer m_analyzer;
  SpectrumGraph* m_graph = nullptr;
  QComboBox* m_bands = nullptr;
  QComboBox* m_resolution = nullptr;
  QButtonGroup* m_range = nullptr;
  QButtonGroup* m_response = nullptr;
  QSlider* m_offset = nullptr;
  QCheckBox* m_showPeak = nullptr;
  QCheckBox* m_hold = nullptr;
  QLabel* m_thd = nullptr;
  bool m_dirty = false;
};

}  // namespace ztlive
