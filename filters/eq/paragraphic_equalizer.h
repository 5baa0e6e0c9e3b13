// The paragraphic equalizer (type 26): up to nine peaking bands in series and a first-order
// high shelf as the last band, then a master gain. Its bands are doubles: they arrive through
// SetExtraParams and are stored in three band sections beside the eleven integers
// (p[0] master gain in tenths of a dB, p[3] the number of bands).
#pragma once

#include <array>
#include <memory>

#include "core/sample_value.h"
#include "filters/eq/paragraphic_bands.h"
#include "filters/framework/filter_processor.h"

namespace ztlive {

// The peaking band's coefficients (a1 equals b1).
struct PeakingCoefficients {
  double b0 = 1, b1 = 0, b2 = 0, a2 = 0;
};

// A peaking band at f Hz with the linear gain G and bw octaves; a band whose upper edge lies
// above 0.55·fs, or that cannot be designed (no positive frequency, gain or width), is neutral.
PeakingCoefficients DesignPeakingBand(double f, double gain, double octaves, double fs);

class ParagraphicEqProcessor : public FilterProcessor {
 public:
  ParagraphicEqProcessor();
  // a: bandwidths, b: gains (b[10] the master gain), c: frequencies (11 each), d: the count.
  void SetExtraParams(double* a, double* b, double* c, double* d) override;
  void GetExtraParams(double* a, double* b, double* c, double* d) override;
  int WritePreset(std::string_view name) override;
  int LoadPreset(std::string_view name) override;
  // The integers carry the master gain (p[0], tenths of a dB) and the number of bands (p[3],
  // taken when it is 1..10): values from a chain, a batch or the command line act as the
  // window's do.
  int SetValues(const PresetValues& values) override;
  int Prepare(WaveStream& in, WaveStream& out) override;
  int Process(WaveStream& in, WaveStream& out) override;
  int Finish(WaveStream&, WaveStream&) override { return 1; }

  static std::unique_ptr<FilterProcessor> Create() { return std::make_unique<ParagraphicEqProcessor>(); }
  static const FilterDescriptor& Descriptor();

  // The band set the engine holds (bands[k] beyond the count keep their data).
  ParagraphicBands Bands() const;
  void SetBands(const ParagraphicBands& bands);
  // The coefficients of the last design.
  const PeakingCoefficients& Peaking(int band) const { return m_peaking[band]; }

 private:
  void Design(double fs);
  // One value through the first channel's bands (mono, or a stereo block's odd last value).
  template <int Channels>
  int RunValue(const SampleValue* value, WaveStream& out);
  int RunMono(WaveStream& in, WaveStream& out);
  int RunStereo(WaveStream& in, WaveStream& out);

  // Eleven places each: amp[10] is the master gain; bw[10] and freq[10] only carry data.
  std::array<double, kParagraphicBands + 1> m_amp{};
  std::array<double, kParagraphicBands + 1> m_freq{};
  std::array<double, kParagraphicBands + 1> m_bw{};
  int32_t m_count = kParagraphicBands;

  std::array<PeakingCoefficients, kParagraphicBands> m_peaking{};
  double m_shelfB0 = 0, m_shelfB1 = 0, m_shelfA1 = 0;
  int32_t m_designedCount = 1;  // the count the coefficients were made for
  // Per channel: the peaking bands' x1, x2, y1, y2 (band 0 reads its inputs from the
  // stream), and the shelf's w1.
  struct BandState {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  };
  std::array<std::array<BandState, kParagraphicBands>, 2> m_state{};
  std::array<double, 2> m_shelfW1{};
};

}  // namespace ztlive
