// The noise print of the continuous noise filter: 11 breakpoints of the noise's magnitude
// over the frame's bins, per channel; the power curve the filter compares each frame with;
// its reduction from a sampled spectrum; and its three records in the preset file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ztlive {

struct NoiseBreakpoint {
  int32_t bin = 0;
  double left = 0;   // magnitude in sample units (mono: the only channel)
  double right = 0;
};

struct NoisePrint {
  static constexpr size_t kPoints = 11;
  std::array<NoiseBreakpoint, kPoints> points{};
  int32_t bins = 0;  // N, the pairs per frame the print was made for; 0: no print
  bool Empty() const { return bins == 0; }
};

// noise[j] for j = 0 ... bins - 1: the breakpoints' levels joined by straight lines (the line
// through the first two extended before the first), at least 0.01, squared.
void BuildNoiseCurve(const NoisePrint& print, bool right, int32_t bins, std::vector<double>& curve);

// The print of averaged magnitudes (bins pairs; right null for mono), 6 dB above the
// average, at breakpoints spread from 1 to bins on a roughly logarithmic scale.
NoisePrint ReduceSpectrum(const std::vector<double>& left, const std::vector<double>* right, uint32_t sampleRate,
                          int32_t bins);

// The records "<section>_bin", "_amp" and "_amp2" under the preset name: 1 written, 0 not.
int WriteNoisePrintRecords(std::string_view section, std::string_view name, const NoisePrint& print);
// True when all three records give 11 values; print.bins is left as it was.
bool ReadNoisePrintRecords(std::string_view section, std::string_view name, NoisePrint& print);

}  // namespace ztlive
