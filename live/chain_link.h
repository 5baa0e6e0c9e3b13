// The link between two filters of a chain. The filter before it writes into the link's sink
// (a memory stream); the link collects those values and hands them to the filter after it in
// the blocks a read of a file holding them would give: full blocks of the stream's block length
// with the look-ahead that filter asks for, the tail of the last block as its history, and a
// short last block once the filter before has finished. So every filter of a chain sees
// exactly what it would see when the filters run one after the other through files; values
// are also cut to the stream's sample width, as a file of that width would keep them.
#pragma once

#include <cstddef>
#include <vector>

#include "core/wave_stream.h"

namespace ztlive {

class ChainLink {
 public:
  // Streams of the source's block size and history room; values for the pending store are
  // reserved for several blocks up front, so a run does not allocate per block.
  ChainLink(int blockSize, int historyCapacity, RunState& run);

  // Both streams take the format of the values passing through.
  void SetFormat(const WaveFormat& format);
  // The next filter's history and look-ahead, in values.
  void SetReadSpan(int history, int lookAhead);
  // Values per block handed on (a live run's short blocks); at most the block size.
  void SetBlockLength(int values) { m_source.SetLiveBlockLength(values); }

  WaveStream& Sink() { return m_sink; }
  WaveStream& Source() { return m_source; }
  bool HasBuffers() const { return m_sink.HasBuffers() && m_source.HasBuffers(); }

  // Moves what the filter before wrote into the sink to the pending values.
  void Collect();
  // The filter before has finished: what is pending is all there will be.
  void MarkFinished() { m_finished = true; }
  // Puts the next block into Source() when one is ready: true when it did.
  bool NextBlock();

 private:
  size_t Pending() const { return m_pending.size() - m_head; }

  WaveStream m_sink;
  WaveStream m_source;
  std::vector<SampleValue> m_pending;
  size_t m_head = 0;  // the first pending value not yet handed on
  int m_history = 0;
  int m_lookAhead = 0;
  int m_dropBits = 0;  // low bits a file of the stream's width does not keep
  bool m_finished = false;
};

}  // namespace ztlive
