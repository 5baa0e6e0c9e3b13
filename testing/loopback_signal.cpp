#include "testing/loopback_signal.h"

#include <algorithm>
#include <cmath>

namespace ztlive::test {

std::vector<float> ChordValues(size_t frames, size_t channels, double sampleRate) {
  std::vector<float> values(frames * channels);
  for (size_t i = 0; i < frames; ++i) {
    const double t = double(i) / sampleRate;
    const double envelope = 0.2 * std::min(1.0, t * 20) * (0.6 + 0.4 * std::sin(2 * M_PI * 3 * t));
    values[i * channels] =
        static_cast<float>(envelope * (std::sin(2 * M_PI * 440 * t) + 0.5 * std::sin(2 * M_PI * 554.37 * t)));
    if (channels == 2)
      values[i * 2 + 1] =
          static_cast<float>(envelope * (std::sin(2 * M_PI * 659.25 * t) + 0.5 * std::sin(2 * M_PI * 329.63 * t + 1)));
  }
  return values;
}

long FindLag(const std::vector<float>& recorded, const std::vector<float>& played, size_t from, size_t window,
             size_t channels) {
  if (from + window > played.size()) return -1;
  long best = -1;
  double bestError = 1e300;
  for (size_t lag = 0; lag + window <= recorded.size(); lag += channels) {
    double error = 0;
    for (size_t i = 0; i < window && error < bestError; ++i) {
      const double d = double(recorded[lag + i]) - played[from + i];
      error += d * d;
    }
    if (error < bestError) {
      bestError = error;
      best = static_cast<long>(lag);
    }
  }
  return best < 0 ? -1 : best - static_cast<long>(from);
}

double ShareFoundIn(const std::vector<float>& recorded, const std::vector<float>& played, size_t channels,
                    size_t stretchFrames, double tolerance) {
  const size_t stretch = stretchFrames * channels;
  // The largest difference of a stretch placed at `at` in the recording, or none.
  auto worstAt = [&](size_t from, long at) {
    if (at < 0 || static_cast<size_t>(at) + stretch > recorded.size()) return 1e300;
    double worst = 0;
    for (size_t i = 0; i < stretch; ++i)
      worst = std::max(worst, std::abs(double(recorded[static_cast<size_t>(at) + i]) - played[from + i]));
    return worst;
  };
  size_t found = 0;
  size_t stretches = 0;
  long lag = -1;  // of the last stretch found: the next one is tried there first
  for (size_t from = 0; from + stretch <= played.size(); from += stretch, ++stretches) {
    if (lag >= 0 && worstAt(from, lag + static_cast<long>(from)) <= tolerance) {
      ++found;
      continue;
    }
    const long searched = FindLag(recorded, played, from, stretch, channels);
    if (searched >= 0 && worstAt(from, searched + static_cast<long>(from)) <= tolerance) {
      ++found;
      lag = searched;
    }
  }
  return stretches == 0 ? 0 : double(found) / double(stretches);
}

double WorstDifference(const std::vector<float>& recorded, const std::vector<float>& played, long lag) {
  double worst = 0;
  for (size_t i = 0; i < played.size(); ++i)
    worst = std::max(worst, std::abs(double(recorded[static_cast<size_t>(lag) + i]) - played[i]));
  return worst;
}

namespace {

// played delayed to a fractional frame position, by windowed sinc over 32 frames each side.
double Delayed(const std::vector<float>& played, size_t channels, double frame, size_t channel) {
  const auto frames = static_cast<long>(played.size() / channels);
  const auto centre = static_cast<long>(std::floor(frame));
  double sum = 0;
  for (long k = centre - 31; k <= centre + 32; ++k) {
    if (k < 0 || k >= frames) continue;
    const double x = frame - double(k);
    const double window = 0.5 + 0.5 * std::cos(M_PI * x / 33);
    const double sinc = x == 0 ? 1 : std::sin(M_PI * x) / (M_PI * x);
    sum += played[static_cast<size_t>(k) * channels + channel] * sinc * window;
  }
  return sum;
}

}  // namespace

double ErrorDb(const std::vector<float>& recorded, const std::vector<float>& played, size_t channels, double lagFrames,
               size_t from, size_t to) {
  const double whole = std::floor(lagFrames);
  double signal = 0;
  double error = 0;
  for (size_t f = from; f < to; ++f)
    for (size_t c = 0; c < channels; ++c) {
      const size_t at = (f + static_cast<size_t>(whole)) * channels + c;
      if (at >= recorded.size()) return 0;
      const double p = Delayed(played, channels, double(f) - (lagFrames - whole), c);
      signal += p * p;
      error += (recorded[at] - p) * (recorded[at] - p);
    }
  return 10 * std::log10(std::max(error, 1e-30) / std::max(signal, 1e-30));
}

double FitFractionalLag(const std::vector<float>& recorded, const std::vector<float>& played, size_t channels,
                        double lagFrames, size_t from, size_t to) {
  double best = lagFrames;
  for (const double step : {1.0 / 64, 1.0 / 2048}) {
    double bestDb = 1e300;
    const double centre = best;
    for (double offset = -32 * step; offset <= 32 * step; offset += step) {
      const double db = ErrorDb(recorded, played, channels, centre + offset, from, to);
      if (db < bestDb) {
        bestDb = db;
        best = centre + offset;
      }
    }
  }
  return best;
}

}  // namespace ztlive::test
