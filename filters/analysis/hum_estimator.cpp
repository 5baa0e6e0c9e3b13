#include "filters/analysis/hum_estimator.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "filters/framework/real_fft.h"

namespace ztlive {

namespace {

constexpr size_t kMaxSamples = size_t{1} << 21;  // with four times padding, a transform of 2^23
constexpr double kProminence = 2.302585092994046;  // 10 dB in natural-log power units
constexpr double kNeighbourHz = 0.5;      // where a line's surroundings begin, at the least
constexpr double kNeighbourSpanHz = 1.5;  // and how far they reach
constexpr double kNeighbourStepHz = 0.05;
constexpr double kMaxWeight = 1e4;

// Log power of every bin up to `bins`, and how far each bin rises above its surroundings.
struct Spectrum {
  double binWidth = 0;
  std::vector<double> logPower;
  std::vector<double> prominence;

  // The prominence at a frequency, between bins by a straight line.
  double ProminenceAt(double hz) const {
    const double position = hz / binWidth;
    const auto k = static_cast<size_t>(position);
    if (k + 1 >= prominence.size()) return 0;
    const double t = position - double(k);
    return prominence[k] * (1 - t) + prominence[k + 1] * t;
  }
};

Spectrum Analyse(std::span<const double> samples, double sampleRate, double topFrequency) {
  const size_t n = std::min(samples.size(), kMaxSamples);
  size_t length = 1;
  while (length < 4 * n) length <<= 1;
  std::vector<double> data(length, 0.0);
  const double mean = std::accumulate(samples.begin(), samples.begin() + static_cast<ptrdiff_t>(n), 0.0) / double(n);
  for (size_t i = 0; i < n; ++i)
    data[i] = (samples[i] - mean) * (0.5 - 0.5 * std::cos(2 * M_PI * double(i) / double(n - 1)));
  RealFft fft(static_cast<int>(length));
  fft.Forward(data.data());

  Spectrum spectrum;
  spectrum.binWidth = sampleRate / double(length);
  // A line is measured against the highest of the spectrum from just outside its main lobe to
  // 1.5 Hz further: a lone steady line stands far above it, a line among the dense partials
  // of music (or the comb of anything periodic) does not.
  const double seconds = double(n) / sampleRate;
  const double nearest = std::max(kNeighbourHz, 3 / seconds);
  const auto first = static_cast<size_t>(nearest / spectrum.binWidth);
  const auto last = static_cast<size_t>((nearest + kNeighbourSpanHz) / spectrum.binWidth);
  const size_t stride = std::max<size_t>(1, static_cast<size_t>(kNeighbourStepHz / spectrum.binWidth));
  const size_t bins = std::min(length / 2, static_cast<size_t>(topFrequency / spectrum.binWidth) + last + 2);
  spectrum.logPower.resize(bins);
  for (size_t k = 0; k < bins; ++k) {
    const double power = k == 0 ? data[0] * data[0] : data[2 * k - 1] * data[2 * k - 1] + data[2 * k] * data[2 * k];
    spectrum.logPower[k] = std::log(power + 1e-300);
  }
  spectrum.prominence.assign(bins, 0.0);
  for (size_t k = last; k + last < bins; ++k) {
    double around = -1e300;
    for (size_t m = first; m <= last; m += stride)
      around = std::max({around, spectrum.logPower[k - m], spectrum.logPower[k + m]});
    spectrum.prominence[k] = spectrum.logPower[k] - around;
  }
  return spectrum;
}

// The candidate whose harmonics together rise furthest above their surroundings.
// Steps small enough that the highest harmonic moves by at most two bins (a quarter of the
// window's main lobe), so that no harmonic's peak is stepped over.
double CandidateStep(const Spectrum& spectrum, double top) { return 2 * spectrum.binWidth * 10 / top; }

double BestCandidate(const Spectrum& spectrum, const HumSearch& search, double top, double& bestScore) {
  const double step = CandidateStep(spectrum, top);
  double best = 0;
  bestScore = 0;
  for (const FrequencyRange& range : search.ranges)
    for (double f = range.lowest; f <= range.highest; f += step) {
      double score = 0;
      for (int i = 1; i * f <= top; ++i) {
        // Squared, so that a few sharp lines outweigh many blunt ones: mains hum is steadier,
        // and so narrower, than any note of the music.
        const double rise = std::max(0.0, spectrum.ProminenceAt(i * f) - kProminence);
        score += rise * rise;
      }
      if (score > bestScore) {
        bestScore = score;
        best = f;
      }
    }
  return best;
}

struct Harmonic {
  int number;
  double hz;
  double weight;
  double prominence;
};

// Each prominent harmonic of the candidate, located between bins by a parabola through the
// log power of the highest bin near it and its two neighbours.
std::vector<Harmonic> LocateHarmonics(const Spectrum& spectrum, double candidate, double top, double step) {
  std::vector<Harmonic> found;
  const auto size = spectrum.logPower.size();
  for (int i = 1; i * candidate <= top; ++i) {
    const double expected = i * candidate / spectrum.binWidth;
    const double reach = 3 + i * step / spectrum.binWidth;
    const auto from = static_cast<size_t>(std::max(1.0, expected - reach));
    const auto to = std::min(size - 2, static_cast<size_t>(expected + reach));
    if (from > to) break;
    size_t peak = from;
    for (size_t k = from; k <= to; ++k)
      if (spectrum.logPower[k] > spectrum.logPower[peak]) peak = k;
    if (spectrum.prominence[peak] < kProminence || peak == from || peak == to) continue;
    const double a = spectrum.logPower[peak - 1];
    const double b = spectrum.logPower[peak];
    const double c = spectrum.logPower[peak + 1];
    const double denominator = a - 2 * b + c;
    const double offset = denominator < 0 ? 0.5 * (a - c) / denominator : 0.0;
    const double weight = std::min(std::exp(spectrum.prominence[peak]), kMaxWeight);
    found.push_back({i, (double(peak) + offset) * spectrum.binWidth, weight, spectrum.prominence[peak]});
  }
  return found;
}

// Weighted least squares of f_i = i f0.
double FitFundamental(const std::vector<Harmonic>& harmonics) {
  double numerator = 0;
  double denominator = 0;
  for (const Harmonic& h : harmonics) {
    numerator += h.weight * h.number * h.hz;
    denominator += h.weight * h.number * h.number;
  }
  return denominator > 0 ? numerator / denominator : 0;
}

}  // namespace

std::optional<HumEstimate> EstimateHumFundamental(std::span<const double> samples, double sampleRate,
                                                  const HumSearch& search) {
  if (sampleRate <= 0 || double(samples.size()) < kHumMinimumSeconds * sampleRate) return std::nullopt;
  const double top = std::min(search.topFrequency, 0.45 * sampleRate);
  for (const FrequencyRange& range : search.ranges)
    if (range.lowest < 10 || range.highest < range.lowest || range.highest > top) return std::nullopt;
  const Spectrum spectrum = Analyse(samples, sampleRate, top);
  double score = 0;
  const double candidate = BestCandidate(spectrum, search, top, score);
  if (score <= 0) return std::nullopt;

  std::vector<Harmonic> harmonics =
      LocateHarmonics(spectrum, candidate, top, CandidateStep(spectrum, top));
  if (harmonics.empty()) return std::nullopt;
  double f0 = FitFundamental(harmonics);
  // A partial of the music beside a harmonic is not hum: peaks further than a bin from the
  // fitted series are left out, and the fit is made again.
  for (int pass = 0; pass < 2; ++pass) {
    std::erase_if(harmonics, [&](const Harmonic& h) { return std::abs(h.hz - h.number * f0) > spectrum.binWidth; });
    if (harmonics.empty()) return std::nullopt;
    f0 = FitFundamental(harmonics);
  }
  // A lone steady tone is not hum, though it sits on a harmonic of every candidate that
  // divides it: hum shows its fundamental, or at least three harmonics.
  const bool hasFundamental = std::any_of(harmonics.begin(), harmonics.end(), [](const Harmonic& h) { return h.number == 1; });
  if (!hasFundamental && harmonics.size() < 3) return std::nullopt;
  HumEstimate estimate;
  estimate.fundamental = f0;
  estimate.harmonics = static_cast<int>(harmonics.size());
  for (const Harmonic& h : harmonics)
    estimate.prominenceDb = std::max(estimate.prominenceDb, h.prominence * 10 / std::log(10.0));
  return estimate;
}

}  // namespace ztlive
