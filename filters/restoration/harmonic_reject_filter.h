// The harmonic reject filter (type 22): removes hum and buzz, a fundamental and a series of
// its harmonics.
//
// Spectral method (p[5] = 0): the fundamental is taken out by subtracting a narrow resonator
// tuned to it (a band of 0.1 octave); the harmonics are cut by three-bin notches in
// half-overlapping Hamming-windowed frames of 4096 values, added back together. The notch
// mask multiplies the transform's elements 2j and 2j + 1 by m[j].
//
// Narrow notch method (p[5] = 1): one resonator notch per harmonic, each p[6] x 0.01 Hz wide,
// run one after the other in the time domain. Hum sits on exact multiples of the fundamental,
// so notches this narrow take it out whole and leave the music between the harmonics
// untouched; no frames, no delay. The notches start 3 Hz wide and narrow to the set width
// over the first seconds, so that the hum goes at once.
//
// Harmonic series p[3]: 0 odd (3, 5, 7, ...), 1 even (2, 4, 6, ...), 2 all (2, 3, 4, ...).
// The fundamental is p[0] x 0.1 Hz + p[7] x 0.001 Hz: the fine tuning places narrow notches on
// high harmonics of mains that is off its nominal frequency by a few thousandths.
#pragma once

#include <array>
#include <memory>
#include <span>
#include <vector>

#include "core/sample_value.h"
#include "filters/framework/filter_processor.h"
#include "filters/framework/real_fft.h"
#include "filters/restoration/notch_cascade.h"
#include "filters/restoration/resonator.h"

namespace ztlive {

class HarmonicRejectProcessor : public FilterProcessor {
 public:
  static constexpr int32_t kPairs = 2048;  // N: the frame holds 2N values
  static constexpr int kMaxHarmonic = 500;
  enum Series { kOdd = 0, kEven = 1, kAll = 2 };
  enum Method { kSpectral = 0, kNarrowNotches = 1 };

  HarmonicRejectProcessor();
  int32_t GetHistoryLength() override;
  int Prepare(WaveStream& in, WaveStream& out) override;
  int Process(WaveStream& in, WaveStream& out) override;
  int Finish(WaveStream& in, WaveStream& out) override;

  static std::unique_ptr<FilterProcessor> Create() { return std::make_unique<HarmonicRejectProcessor>(); }
  static const FilterDescriptor& Descriptor();

  // The fundamental the values name, in Hz.
  static double Fundamental(const PresetValues& values);
  // Sets p[0] (0.1 Hz) and p[7] (0.001 Hz, -50 ... 50) to a frequency.
  static void SetFundamental(double hz, PresetValues& values);

  // The notch mask of the spectral method (N values), as last derived.
  const std::vector<double>& NotchMask() const { return m_mask; }

 private:
  struct Channel {
    std::vector<double> raw;       // the frame's input values, 2N (unwindowed)
    std::vector<double> frame;     // windowed, then transformed
    std::vector<double> overlap;   // N
    ResonatorState fundamental;
    std::array<ResonatorState, kMaxHarmonic> notches;
  };

  void Derive(double fs);
  void BuildMask(double fs, double attenuation, double f0);
  void BuildNotches(double fs, double f0);
  // The notches' coefficients for the width they have reached.
  void NarrowNotches();
  void ClearFrames();
  bool KeepsResidue() const { return keepResidue != 0 || values.p[4] != 0; }
  // What the filter gives for one input value and the value it cleaned.
  double Output(double input, double cleaned) const {
    return bypass != 0 ? input : KeepsResidue() ? input - cleaned : cleaned;
  }

  bool ProcessSpectral(const SampleValue* begin, const SampleValue* end, WaveStream& out);
  bool ProcessNarrow(const SampleValue* begin, const SampleValue* end, WaveStream& out);
  // Runs `count` frames of interleaved values through every notch in turn, in place.
  void RunNotches(double* frames, size_t count);
  void TransformFrame(Channel& channel);
  // Writes `count` of the N values the transformed frame completes (none for the first
  // frame), then keeps its second half for the next; false when a write failed.
  bool CompleteFrame(WaveStream& out, size_t count);
  void ShiftFrames();
  // A switch from frames to narrow notches: the values the frames still hold go out through
  // the notches, so that nothing is lost or doubled.
  bool DrainFrames(WaveStream& out);

  int m_channels = 2;
  bool m_prepared = false;
  int m_method = kSpectral;  // the method the current state belongs to
  RealFft m_fft;
  std::vector<double> m_window;
  std::vector<double> m_norm;
  std::vector<double> m_mask;
  std::array<Channel, 2> m_state;
  size_t m_filled = 0;
  bool m_firstFrame = true;
  bool m_pendingDrain = false;
  double m_attenuation = 1;  // A
  Resonator m_fundamental;
  bool m_fundamentalActive = false;
  std::array<NotchCoefficients, kMaxHarmonic> m_notches{};
  std::array<double, kMaxHarmonic> m_notchCentres{};
  size_t m_notchCount = 0;
  double m_notchWidth = 1;      // Hz, where the notches end up
  double m_sampleRate = 44100;
  uint64_t m_notchFrames = 0;   // frames through the notches since they were built
  bool m_notchesNarrowed = false;
  std::vector<double> m_work;  // a piece's values, interleaved, for the narrow method
};

}  // namespace ztlive
