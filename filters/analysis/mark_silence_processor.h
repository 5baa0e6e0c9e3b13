// Finding silence (type 27): a 30 Hz high-pass removes rumble and offset, a slow envelope
// follows the rest, and every passage in which the envelope stays below the threshold for
// longer than the minimum length gets a position three quarters of the way into it. Writes
// nothing; after the run its owner puts the positions into the source's markers.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "core/sample_value.h"
#include "filters/framework/filter_processor.h"

namespace ztlive {

class MarkSilenceProcessor : public FilterProcessor {
 public:
  // The positions kept: as many as a file can hold markers.
  static constexpr int kMaxPositions = 100;

  MarkSilenceProcessor();
  int Prepare(WaveStream& in, WaveStream& out) override;
  int Process(WaveStream& in, WaveStream& out) override;
  int Finish(WaveStream& in, WaveStream& out) override;

  static std::unique_ptr<FilterProcessor> Create() { return std::make_unique<MarkSilenceProcessor>(); }
  static const FilterDescriptor& Descriptor();

  // The marker positions found (data byte offsets, ascending), at most kMaxPositions.
  std::span<const uint32_t> Positions() const { return {m_positions.data(), static_cast<size_t>(m_kept)}; }
  // Every passage found, also those beyond the positions kept.
  int FoundCount() const { return m_found; }

  // What Prepare derives, for the tests' own computation.
  double Threshold() const { return m_threshold; }
  double MinimumBytes() const { return m_minimumBytes; }

 private:
  void Passage(uint64_t position, double envelope);

  // High-pass: y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2.
  double m_hpB0 = 0, m_hpB1 = 0, m_hpB2 = 0, m_hpA1 = 0, m_hpA2 = 0;
  double m_hpX1 = 0, m_hpX2 = 0, m_hpY1 = 0, m_hpY2 = 0;
  // Envelope: y = b (x + x1) - a1 y1.
  double m_envB = 0, m_envA1 = 0;
  double m_envX1 = 0, m_envY1 = 0;

  double m_threshold = 0;
  double m_minimumBytes = 0;
  int m_channels = 1;
  int m_bytesPerSample = 2;
  bool m_open = false;
  uint64_t m_passageStart = 0;
  std::array<uint32_t, kMaxPositions> m_positions{};
  int m_kept = 0;
  int m_found = 0;
};

}  // namespace ztlive
