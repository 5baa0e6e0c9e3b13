// The paragraphic equalizer's window, "Paragraphic Equalizer": the "Frequency Response"
// graph with a handle per band, the selected band's "Freq", "Amp" and "Octaves", "Number of
// Filters", the vertical "Gain" (master, dB), "Reset &Levels", the "Overload" lamp and the
// shared buttons and presets. Every edit hands the whole band set to the engines at once
// (SetExtraParams); presets keep the bands in their three band sections.
#pragma once

#include "filters/eq/overload_lamp.h"
#include "filters/eq/paragraphic_equalizer.h"
#include "filters/eq/response_graph.h"
#include "filters/framework/filter_settings_dialog.h"
#include "filters/framework/slider_edit_pair.h"

class QDoubleSpinBox;
class QLabel;
class QSpinBox;

namespace ztlive {

class ParagraphicEqDialog : public FilterSettingsDialog {
  Q_OBJECT

 public:
  static constexpr FilterTypeId kType = 26;

  explicit ParagraphicEqDialog(FilterWindowHost& host, QWidget* parent = nullptr);

  ResponseGraph& Graph() { return *m_graph; }
  QSpinBox& FrequencyBox() { return *m_frequency; }
  QDoubleSpinBox& AmpBox() { return *m_amp; }
  SliderEditPair& OctavesPair() { return *m_octaves; }
  QSpinBox& CountBox() { return *m_count; }
  SliderEditPair& GainPair() { return *m_gain; }
  QPushButton& ResetButton() { return *m_resetButton; }
  OverloadLamp& Lamp() { return *m_lamp; }
  // The bands as the window shows them (master gain and count included).
  const ParagraphicBands& Bands() const { return m_bands; }
  int SelectedBand() const { return m_selected; }

  // RunDialog: the run's engine gets the bands before it starts.
  void PushExtraParams(FilterProcessor& processor) override;

 protected:
  const FilterDescriptor& Descriptor() const override { return ParagraphicEqProcessor::Descriptor(); }
  PresetValues ShownValues() const override;
  void ShowValues(const PresetValues& stored) override;
  void PresetSaved(const std::string& name) override;
  void PresetLoaded(const std::string& name) override;
  bool RunStarting(bool preview) override;
  void showEvent(QShowEvent* event) override;

 private:
  void SelectBand(int band);
  void BandDragged(int band, double hz, double db);
  void ResetLevels();
  // The shown bands to the graph, the controls of the selected band and the engines.
  void BandsChanged();
  void ShowSelectedBand();
  void PushToEngines();
  // After "&Delete": the band lines whose preset is gone go too.
  void DeleteOrphanBandLines();

  FilterWindowHost& m_host;
  ParagraphicBands m_bands = ParagraphicBands::Initial();
  int m_selected = 0;
  ResponseGraph* m_graph;
  QLabel* m_bandLabel;
  QSpinBox* m_frequency;
  QDoubleSpinBox* m_amp;
  SliderEditPair* m_octaves;
  QSpinBox* m_count;
  SliderEditPair* m_gain;
  QPushButton* m_resetButton;
  OverloadLamp* m_lamp;
};

}  // namespace ztlive
