// The median of a window of values that changes only in part between calls (the click
// detector's error level, whose window slides by a quarter of its length). The last median's
// neighbours (a few ranks either side) bound where the next one can be: one pass keeps only
// the values between those bounds, and selection runs on those few. When the median has
// moved outside them, the whole window is selected again. The result is exact either way.
#pragma once

#include <cstddef>
#include <vector>

namespace ztlive {

class TrackedMedian {
 public:
  // Sizes the scratch for windows of up to `most` values; throws std::bad_alloc. Then Reset.
  void Allocate(size_t most);
  // Forgets the bounds.
  void Reset() { m_bounded = false; }
  // The value of rank count / 2 among values[0 .. count-1] (count at most the allocated size);
  // no allocation.
  double Of(const double* values, size_t count);

 private:
  // Selects rank `rank` of m_kept[0 .. count-1] and takes new bounds `kSpread` ranks either side.
  double SelectAndBound(size_t count, size_t rank);

  static constexpr size_t kSpread = 32;
  std::vector<double> m_kept;
  double m_low = 0;
  double m_high = 0;
  bool m_bounded = false;
};

}  // namespace ztlive
