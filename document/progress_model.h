// What the progress window of a filter run shows, as data: the total to process, the percent
// done and, for the click filters, the clicks per second and the total. The window (or the
// command line) calls Tick every 1200 ms and shows the texts.
#pragma once

#include <cstdint>
#include <string>

#include "core/run_state.h"

namespace ztlive {

class ProgressModel {
 public:
  static constexpr int kTickMs = 1200;

  // regionBytes: the region's length; showsClicks for the filters that count clicks.
  ProgressModel(const RunState& run, uint32_t regionBytes, bool showsClicks, uint32_t sampleRate);

  void Tick();

  uint32_t TotalToProcess() const { return m_total; }
  int Percent() const { return m_percent; }
  bool ShowsClicks() const { return m_showsClicks; }
  int64_t ClicksPerSecond() const { return m_clicksPerSecond; }
  int64_t TotalClicks() const { return m_totalClicks; }

  std::string PercentText() const;          // "%d%%"
  std::string ClicksPerSecondText() const;  // "Clicks/Sec 0" before the first tick, then "Click/Sec: %ld"
  std::string TotalClicksText() const;      // "Total clicks: %ld"

 private:
  const RunState& m_run;
  uint32_t m_total;
  bool m_showsClicks;
  uint32_t m_sampleRate;
  int m_percent = 0;
  bool m_ticked = false;
  int64_t m_clicksPerSecond = 0;
  int64_t m_totalClicks = 0;
  int64_t m_previousClicks = 0;
  uint32_t m_previousPosition;
};

}  // namespace ztlive
