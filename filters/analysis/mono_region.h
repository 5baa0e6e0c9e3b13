// Reads a stretch of a wave file as one channel of doubles (the channels' mean), for the
// analyses that look at the sound rather than change it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ztlive {

struct MonoRegion {
  std::vector<double> samples;
  double sampleRate = 0;
};

enum class RegionReadResult { kRead, kCannotOpen, kCannotRead };

// From the data byte offset `from` up to `to` (0, or past the end: to the end), whole frames,
// at most maxSeconds of it from its start.
RegionReadResult ReadMonoRegion(const std::string& path, uint64_t from, uint64_t to, double maxSeconds,
                                MonoRegion& region);

}  // namespace ztlive
