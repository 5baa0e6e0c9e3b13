// The graphic equalizer (type 20): ten octave resonators from 31.25 Hz to 16 kHz; the output
// is the input plus a weighted sum of the band outputs, times a master gain. The weights move
// with the sliders while the engine runs; the band layout follows only the sample rate.
#pragma once

#include <array>
#include <memory>

#include "core/sample_value.h"
#include "filters/framework/filter_processor.h"

namespace ztlive {

inline constexpr int kGraphicBands = 10;

// The slider laws: a band slider (0..100, 50 flat, 0 at the top) to its weight and back, and
// the "Gain" slider to the master gain and back.
double BandWeightOfSlider(int32_t slider);
double MasterGainOfSlider(int32_t slider);
int32_t SliderOfBandWeight(double weight);
int32_t SliderOfMasterGain(double gain);

class GraphicEqProcessor : public FilterProcessor {
 public:
  GraphicEqProcessor();
  // a: the ten band weights followed by the master gain; the other arrays are not used.
  void SetExtraParams(double* a, double* b, double* c, double* d) override;
  void GetExtraParams(double* a, double* b, double* c, double* d) override;
  int WritePreset(std::string_view name) override;
  int LoadPreset(std::string_view name) override;
  int SetValues(const PresetValues& values) override;
  int Prepare(WaveStream& in, WaveStream& out) override;
  int Process(WaveStream& in, WaveStream& out) override;
  int Finish(WaveStream&, WaveStream&) override { return 1; }

  static std::unique_ptr<FilterProcessor> Create() { return std::make_unique<GraphicEqProcessor>(); }
  static const FilterDescriptor& Descriptor();

  // The bands the last Prepare designed (8, 9 or 10) and their coefficients.
  int ActiveBands() const { return m_bands; }
  double Alpha(int band) const { return m_alpha[band]; }
  double Beta(int band) const { return m_beta[band]; }
  double Gamma(int band) const { return m_gamma[band]; }
  double Weight(int band) const { return m_weight[band]; }
  double MasterGain() const { return m_master; }
  // The eleven slider values that the weights and the master gain stand for.
  PresetValues SliderValues() const;

 private:
  void Design(double fs);
  void TakeSliders(const PresetValues& sliders);
  int RunMono(WaveStream& in, WaveStream& out);
  int RunStereo(WaveStream& in, WaveStream& out);
  int RunTail(const SampleValue* value, WaveStream& out);

  std::array<double, kGraphicBands> m_weight{};
  double m_master = 1.0;
  // Coefficients of the designed bands; the bands past m_bands hold zeros, so the loop always
  // runs over ten and a dropped band adds nothing.
  std::array<double, kGraphicBands> m_alpha{};
  std::array<double, kGraphicBands> m_beta{};
  std::array<double, kGraphicBands> m_gamma{};
  // Resonator outputs one and two samples back, per channel.
  std::array<std::array<double, kGraphicBands>, 2> m_y1{};
  std::array<std::array<double, kGraphicBands>, 2> m_y2{};
  int32_t m_bands = kGraphicBands;
};

}  // namespace ztlive
