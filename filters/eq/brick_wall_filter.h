// The brick wall (type 31): a long FIR low pass, high pass, band pass or band stop with very
// steep slopes, designed as a truncated ideal response of N taps (up to 4095).
//
// The response's centre tap c = N / 2 would delay the output by c frames; the engine takes
// the delay back, as the continuous noise filter does with its frames: the first c results
// (the filter running into the file) are not written, and Finish writes the last c by
// running the filter over c frames of silence after the end. Output frame j is therefore
// sum over k of h[k] x[j + c - k], and the output lines up with the input.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "filters/eq/brick_wall_design.h"
#include "filters/eq/fir_convolver.h"
#include "filters/framework/filter_processor.h"

namespace ztlive {

class BrickWallProcessor : public FilterProcessor {
 public:
  BrickWallProcessor();
  int Prepare(WaveStream& in, WaveStream& out) override;
  int Process(WaveStream& in, WaveStream& out) override;
  int Finish(WaveStream& in, WaveStream& out) override;

  static std::unique_ptr<FilterProcessor> Create() { return std::make_unique<BrickWallProcessor>(); }
  static const FilterDescriptor& Descriptor();

  // The design in use and its taps (after the first block of a run).
  const brick_wall::Design& CurrentDesign() const { return m_design; }
  std::span<const double> Taps() const {
    return {m_h.data(), std::min(m_h.size(), static_cast<size_t>(m_design.taps))};
  }
  const FirConvolver& Convolver() const { return m_convolver; }

 private:
  void Redesign(double fs);
  // Appends `frames` interleaved input frames (null: silence); computes and writes every
  // whole segment they complete.
  bool Take(WaveStream& out, const SampleValue* samples, int64_t frames);
  // Computes and writes up to `count` outputs from the inputs at hand.
  bool WriteSegment(WaveStream& out, int64_t count);
  // Drops inputs no output can need any more, so that the buffers never grow.
  void Compact();
  int64_t Delay() const { return m_design.taps / 2; }

  brick_wall::Design m_design;
  std::vector<double> m_h;  // room for kMaxTaps
  FirConvolver m_convolver;
  int m_channels = 1;
  int m_maxSegment = FirConvolver::kLargestSegment;
  // Per channel the inputs from absolute frame m_bufferStart on; absolute frame 0 is the
  // first of the run, earlier ones are silence.
  std::array<std::vector<double>, 2> m_input;
  std::array<std::vector<SampleValue>, 2> m_output;
  int64_t m_bufferStart = 0;
  int64_t m_inFrames = 0;   // inputs taken
  int64_t m_outFrames = 0;  // outputs written
  int64_t m_outLimit = INT64_MAX;  // Finish: no output past the end of the input
};

}  // namespace ztlive
