// The continuous noise filter's settings window, "Continuous Noise Filter":
//
//   [Attack (ms)] [Attenuation] [Release (ms)]  +- Frequency Spectrum -------+  Shift
//                                               | the noise print's level    |  Threshold
//                                               | over frequency             |   [^]
//                                               +----------------------------+   [v]
//   FFT Size [2048 v] Estimator [Element pairs v]  [Sample Noise] [Reset]   [ ] Keep Residue
//
// Any change sends (p[0] attack, p[1] release, p[2] attenuation, p[3] frame size index,
// p[4] estimator) to the engines; a change from the element pairs to a per-bin estimator
// starts that estimator from its tuned values. The window keeps the noise print: "Sample Noise" runs the noise sampler over
// the source's selection and reduces its spectrum to the print; the scroll bar moves the
// whole print up or down; "Reset" rebuilds it from the last sample. Every change of the print
// reaches the engines with the values, and a run gets it before it starts. Presets keep the
// print in three records beside the four integers.
#pragma once

#include <functional>
#include <string>

#include "filters/framework/filter_settings_dialog.h"
#include "filters/framework/slider_edit_pair.h"
#include "filters/restoration/noise_print_keeper.h"

class QCheckBox;
class QComboBox;
class QScrollBar;

namespace ztlive {

class NoisePrintGraph;

class ContinuousNoiseDialog : public FilterSettingsDialog {
  Q_OBJECT

 public:
  static constexpr FilterTypeId kType = 8;
  static constexpr FilterTypeId kSamplingType = 9;
  // The wave file a sampling run reads (the active document's source), to learn its sample
  // rate; empty when there is none.
  using SourceNameProvider = std::function<std::string()>;

  explicit ContinuousNoiseDialog(FilterWindowHost& host, QWidget* parent = nullptr);

  // A host that is itself the run's view needs none; the main window gives its own.
  void SetSourceNameProvider(SourceNameProvider provider) { m_sourceName = std::move(provider); }

  // RunDialog: the print goes to the filter before it prepares; a sampling run's result
  // becomes the print.
  void PushExtraParams(FilterProcessor& processor) override;
  void TakeAnalysisResult(FilterProcessor& processor) override;

  // "Sample Noise": a sampling run over the selection; its result (1 done) as the host's.
  // While a file plays or a run is in progress it only says that it cannot (0).
  int SampleNoise();
  // One step of the "Shift"/"Threshold" scroll bar: up raises the whole print.
  void ShiftPrint(bool up);
  // "Reset": the print of the last sample again (not while a run is in progress).
  void ResetPrint();

  const NoisePrintKeeper& Keeper() const { return m_keeper; }
  // N, the pairs per frame of the shown "FFT Size".
  int32_t ShownBins() const;

  SliderEditPair& AttackPair() { return *Controls().Pair(0); }
  SliderEditPair& AttenuationPair() { return *Controls().Pair(2); }
  SliderEditPair& ReleasePair() { return *Controls().Pair(1); }
  QComboBox& SizeBox() { return *Controls().Combo(3); }
  QComboBox& EstimatorBox() { return *Controls().Combo(4); }
  NoisePrintGraph& Graph() { return *m_graph; }
  QScrollBar& ShiftBar() { return *m_shiftBar; }
  QPushButton& SampleButton() { return *m_sampleButton; }
  QPushButton& ResetButton() { return *m_resetButton; }
  QCheckBox& KeepResidueBox() { return *m_keepResidue; }

 protected:
  const FilterDescriptor& Descriptor() const override;
  // The print always belongs to the frame size shown.
  void ShowValues(const PresetValues& stored) override;
  // No change reaches the engines while this window samples; another frame size fits the
  // print to it.
  void ControlEdited(int index) override;

  // Presets carry the print in their own records.
  void PresetSaved(const std::string& name) override;
  void PresetLoaded(const std::string& name) override;
  // "Run Filter" needs a print; a run takes this window's keep-residue box.
  bool RunStarting(bool preview) override;

  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShiftBarAction(int action);
  void ApplyKeepResidueShown();
  // The print records of a preset whose integers were read (storedIndex: its p[3]).
  void LoadPrintOf(const std::string& name, int32_t storedIndex);
  // The print changed: the graph shows it and the engines get it (ValuesEdited follows).
  void PrintChanged();
  void PushPrintToEngines();
  uint32_t SourceRate() const;

  FilterWindowHost& m_host;
  NoisePrintKeeper m_keeper;
  SourceNameProvider m_sourceName;
  uint32_t m_printRate = NoisePrintKeeper::kDefaultRate;  // the rate the shown print belongs to
  uint32_t m_samplingRate = NoisePrintKeeper::kDefaultRate;
  bool m_sampling = false;     // a sampling run of this window is in progress
  bool m_sampleTaken = false;  // the sampling run delivered its result
  int32_t m_shownEstimator = 0;  // p[4] as last shown, to see a change from the element pairs
  NoisePrintGraph* m_graph;
  QScrollBar* m_shiftBar;
  QPushButton* m_sampleButton;
  QPushButton* m_resetButton;
  QCheckBox* m_keepResidue;
};

}  // namespace ztlive
