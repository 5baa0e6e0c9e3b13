#include "live/chain_link.h"

#include <algorithm>

namespace ztlive {

ChainLink::ChainLink(int blockSize, int historyCapacity, RunState& run)
    : m_sink(blockSize, historyCapacity, run), m_source(blockSize, historyCapacity, run) {
  m_sink.SetMode(kModeMemory);
  m_source.SetMode(kModeMemory);
  m_pending.reserve(static_cast<size_t>(blockSize) * 16);
}

void ChainLink::SetFormat(const WaveFormat& format) {
  m_sink.SetFormat(format);
  m_source.SetFormat(format);
  // What a file of this width keeps of a value: 8-bit samples lose the low 16 bits, 16-bit
  // samples the low 8, 20- and 24-bit samples keep all 24.
  const int bytes = m_sink.BytesPerSample();
  m_dropBits = bytes == 1 ? 16 : bytes == 2 ? 8 : 0;
}

void ChainLink::SetReadSpan(int history, int lookAhead) {
  m_history = std::clamp(history, 0, 8 * m_source.HistoryCapacity());
  m_lookAhead = std::max(lookAhead, 0);
}

void ChainLink::Collect() {
  const SampleValue* begin = m_sink.Begin();
  const SampleValue* end = m_sink.End();
  if (end > begin) {
    // Values already handed on are dropped before new ones are added, so the store stays
    // within what was reserved.
    if (m_head > 0 && m_head * 2 >= m_pending.size()) {
      m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(m_head));
      m_head = 0;
    }
    const size_t from = m_pending.size();
    m_pending.insert(m_pending.end(), begin, end);
    if (m_dropBits > 0)
      for (auto v = m_pending.begin() + static_cast<std::ptrdiff_t>(from); v != m_pending.end(); ++v)
        *v = (*v >> m_dropBits) << m_dropBits;
  }
  m_sink.ResetEnd();
  m_sink.ResetCursor();
}

bool ChainLink::NextBlock() {
  const size_t block = static_cast<size_t>(m_source.LiveBlockLength());
  const size_t pending = Pending();
  // A block is handed on once it is certain not to be the last (one value more than the
  // block has arrived) and its look-ahead is complete, or once nothing more will come.
  if (!m_finished && pending < block + static_cast<size_t>(std::max(m_lookAhead, 1))) return false;
  if (m_finished && pending == 0) return false;
  const bool last = m_finished && pending <= block;
  const size_t count = std::min(block, pending);
  m_source.FillBlock(m_pending.data() + m_head, count, pending, m_history, m_lookAhead, last);
  m_head += count;
  if (m_head == m_pending.size()) {
    m_pending.clear();
    m_head = 0;
  }
  return true;
}

}  // namespace ztlive
