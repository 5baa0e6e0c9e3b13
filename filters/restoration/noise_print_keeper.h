// What the continuous noise filter's owner keeps beside its values: the noise print and the
// averaged spectrum of the last noise-sampling run it came from. The settings window and the
// command line share it: a sampling run's result becomes the print, the print can be moved up
// and down as a whole, rebuilt from the sample, fitted to another frame size, and handed to
// a filter engine before it runs.
#pragma once

#include <cstdint>
#include <vector>

#include "filters/framework/filter_processor.h"
#include "filters/restoration/noise_print.h"

namespace ztlive {

class NoisePrintKeeper {
 public:
  static constexpr double kLowestLevel = 0.1;        // a step down stops here (sample units)
  static constexpr double kHighestLevel = 2097152;   // a step up stops here (a quarter of full scale)
  static constexpr uint32_t kDefaultRate = 44100;

  // After a sampling run (type 9): its averages become the print, for a source of the given
  // sample rate. False, and nothing changes, when the engine is no noise sampler.
  bool TakeSample(const FilterProcessor& engine, uint32_t sampleRate);
  // Rebuilds the print from the last sample, fitted to bins pairs; false when none was taken.
  bool Reset(int32_t bins);
  // Hands the print to a continuous noise engine; false when it is none or there is no print.
  bool PushTo(FilterProcessor& engine) const;
  // Moves every level up (x1.5, at most kHighestLevel) or down (x2/3, at least kLowestLevel);
  // false without a print.
  bool Shift(bool up);
  // Fits the print to a frame of another size: the breakpoints stay on their frequencies and
  // the levels become what broadband noise measures at that size (a magnitude per pair
  // falls with the square root of the frame length). Nothing without a print.
  void FitToBins(int32_t bins);

  const NoisePrint& Print() const { return m_print; }
  // A print from elsewhere (a preset); the last sample stays for Reset.
  void SetPrint(const NoisePrint& print) { m_print = print; }
  bool HasPrint() const { return !m_print.Empty(); }
  bool HasSample() const { return m_sampleBins > 0; }
  // The sample rate of the source the last sample came from (kDefaultRate before any).
  uint32_t SampleRate() const { return m_sampleRate; }

 private:
  NoisePrint m_print;
  std::vector<double> m_left;   // the last sample's averages per pair
  std::vector<double> m_right;  // empty for a mono source
  int32_t m_sampleBins = 0;     // pairs of the last sample; 0: none taken
  uint32_t m_sampleRate = kDefaultRate;
};

// The print fitted to another frame size, as NoisePrintKeeper::FitToBins does.
NoisePrint FitNoisePrint(const NoisePrint& print, int32_t bins);

}  // namespace ztlive
