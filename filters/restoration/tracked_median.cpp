#include "filters/restoration/tracked_median.h"

#include <algorithm>

namespace ztlive {

void TrackedMedian::Allocate(size_t most) {
  m_kept.assign(most, 0.0);
  Reset();
}

double TrackedMedian::Of(const double* values, size_t count) {
  const size_t rank = count / 2;
  if (m_bounded) {
    // Without branches: every value is written, and the write position moves on only for the
    // ones between the bounds.
    size_t below = 0;
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i) {
      const double v = values[i];
      m_kept[kept] = v;
      below += static_cast<size_t>(v < m_low);
      kept += static_cast<size_t>((v >= m_low) & (v <= m_high));
    }
    if (below <= rank && rank < below + kept) return SelectAndBound(kept, rank - below);
  }
  // The old bounds say nothing about where this median lies: new ones come from this window alone.
  m_bounded = false;
  std::copy(values, values + count, m_kept.begin());
  return SelectAndBound(count, rank);
}

double TrackedMedian::SelectAndBound(size_t count, size_t rank) {
  const auto at = [this](size_t i) { return m_kept.begin() + static_cast<std::ptrdiff_t>(i); };
  std::nth_element(at(0), at(rank), at(count));
  const double median = m_kept[rank];
  // Everything before the median's place is at most the median, everything after at least:
  // the bounds are ranks within those parts. A part with too few values keeps the old bound,
  // which is as tight or tighter (the values between it and the median are all in the part).
  if (rank >= kSpread) {
    std::nth_element(at(0), at(rank - kSpread), at(rank));
    m_low = m_kept[rank - kSpread];
  } else if (!m_bounded) {
    m_low = *std::min_element(at(0), at(rank + 1));
  }
  if (rank + kSpread < count) {
    std::nth_element(at(rank + 1), at(rank + kSpread), at(count));
    m_high = m_kept[rank + kSpread];
  } else if (!m_bounded) {
    m_high = *std::max_element(at(rank), at(count));
  }
  m_bounded = true;
  return median;
}

}  // namespace ztlive
