#include "filters/analysis/mono_region.h"

#include <algorithm>
#include <cstdint>

#include "core/wave_stream.h"

namespace ztlive {

namespace {

constexpr int kPieceValues = 8192;

}  // namespace

RegionReadResult ReadMonoRegion(const std::string& path, uint64_t from, uint64_t to, double maxSeconds,
                                MonoRegion& region) {
  region = MonoRegion{};
  RunState run;
  WaveStream stream(kPieceValues, 0, run);
  if (stream.Open(path, kOpenRead) != kStreamOk) return RegionReadResult::kCannotOpen;
  const WaveFormat& format = stream.Format();
  const int channels = std::max<int>(1, format.channels);
  const uint64_t frame = format.blockAlign;
  const uint64_t frames = stream.DataBytes() / frame;
  const uint64_t first = std::min(frames, from / frame);
  uint64_t last = to > 0 ? std::clamp(to / frame, first, frames) : frames;
  last = std::min(last, first + static_cast<uint64_t>(maxSeconds * format.sampleRate));
  region.sampleRate = format.sampleRate;
  region.samples.reserve(static_cast<size_t>(last - first));
  const int pieceValues = kPieceValues - kPieceValues % channels;
  for (uint64_t at = first; at < last;) {
    const uint64_t want = std::min<uint64_t>(static_cast<uint64_t>(pieceValues / channels), last - at);
    const auto values = static_cast<int>(want) * channels;
    if (stream.SeekData(static_cast<int64_t>(at * frame), 0) < 0 ||
        stream.ReadValues(values) != static_cast<int64_t>(values) * stream.BytesPerSample())
      return RegionReadResult::kCannotRead;
    const SampleValue* value = stream.Begin();
    for (uint64_t i = 0; i < want; ++i, value += channels) {
      double sum = 0;
      for (int c = 0; c < channels; ++c) sum += value[c];
      region.samples.push_back(sum / channels);
    }
    at += want;
  }
  return RegionReadResult::kRead;
}

}  // namespace ztlive
