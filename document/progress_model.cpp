#include "document/progress_model.h"

#include <algorithm>

#include "platform/string_table.h"

namespace ztlive {

ProgressModel::ProgressModel(const RunState& run, uint32_t regionBytes, bool showsClicks, uint32_t sampleRate)
    : m_run(run),
      m_total(regionBytes),
      m_showsClicks(showsClicks),
      m_sampleRate(sampleRate),
      m_previousPosition(run.readPosition) {}

void ProgressModel::Tick() {
  const uint64_t length = m_run.regionEnd > m_run.regionStart ? m_run.regionEnd - m_run.regionStart : 0;
  const uint64_t done = m_run.readPosition > m_run.regionStart ? m_run.readPosition - m_run.regionStart : 0;
  m_percent = length > 0 ? static_cast<int>(std::min<uint64_t>(done * 100 / length, 100)) : 0;
  if (m_showsClicks) {
    const int64_t clicks = m_run.clickCount;
    // The difference of positions counts bytes, as the window always did; + 1 keeps it nonzero.
    const int64_t moved = static_cast<int64_t>(m_run.readPosition) - static_cast<int64_t>(m_previousPosition) + 1;
    m_clicksPerSecond = moved > 0 ? (clicks - m_previousClicks) * m_sampleRate / moved : 0;
    m_totalClicks = clicks;
    m_previousClicks = clicks;
    m_previousPosition = m_run.readPosition;
  }
  m_ticked = true;
}

std::string ProgressModel::PercentText() const { return std::to_string(m_percent) + "%"; }

std::string ProgressModel::ClicksPerSecondText() const {
  if (!m_ticked) return std::string(StringText(StringId::kProgressClicksPerSecondStart));
  return FormatText(StringId::kProgressClicksPerSecond, {std::to_string(m_clicksPerSecond)});
}

std::string ProgressModel::TotalClicksText() const {
  return FormatText(StringId::kProgressTotalClicks, {std::to_string(m_totalClicks)});
}

}  // namespace ztlive
