#include "filters/restoration/noise_print_keeper.h"

#include <algorithm>
#include <cmath>

#include "filters/restoration/continuous_noise_filter.h"
#include "filters/restoration/noise_sampler.h"

namespace ztlive {

NoisePrint FitNoisePrint(const NoisePrint& print, int32_t bins) {
  if (print.Empty() || bins <= 0 || bins == print.bins) return print;
  NoisePrint fitted = print;
  fitted.bins = bins;
  const double level = std::sqrt(double(print.bins) / double(bins));
  for (size_t i = 0; i < NoisePrint::kPoints; ++i) {
    NoiseBreakpoint& point = fitted.points[i];
    // The first breakpoint is the lowest pair above the constant one at every size; the
    // others move to the nearest pair of their frequency, never below the one before, so
    // that a smaller frame keeps them in order.
    if (i > 0) {
      const int64_t scaled = (int64_t{print.points[i].bin} * bins + print.bins / 2) / print.bins;
      point.bin = static_cast<int32_t>(std::max<int64_t>(scaled, fitted.points[i - 1].bin));
    }
    point.left *= level;
    point.right *= level;
  }
  fitted.points[NoisePrint::kPoints - 1].bin = bins;
  return fitted;
}

bool NoisePrintKeeper::TakeSample(const FilterProcessor& engine, uint32_t sampleRate) {
  const auto* sampler = dynamic_cast<const NoiseSampler*>(&engine);
  if (sampler == nullptr || sampler->Bins() <= 0) return false;
  m_sampleBins = sampler->Bins();
  m_sampleRate = sampleRate > 0 ? sampleRate : kDefaultRate;
  m_left = sampler->Average(0);
  if (sampler->Channels() == 2)
    m_right = sampler->Average(1);
  else
    m_right.clear();
  return Reset(m_sampleBins);
}

bool NoisePrintKeeper::Reset(int32_t bins) {
  if (!HasSample()) return false;
  m_print = ReduceSpectrum(m_left, m_right.empty() ? nullptr : &m_right, m_sampleRate, m_sampleBins);
  FitToBins(bins);
  return true;
}

bool NoisePrintKeeper::PushTo(FilterProcessor& engine) const {
  auto* filter = dynamic_cast<NoiseReductionProcessor*>(&engine);
  if (filter == nullptr || m_print.Empty()) return false;
  filter->SetNoisePrint(m_print);
  return true;
}

bool NoisePrintKeeper::Shift(bool up) {
  if (m_print.Empty()) return false;
  // A step never moves a level the other way, not even one already past a limit (from a preset).
  for (NoiseBreakpoint& point : m_print.points)
    for (double* level : {&point.left, &point.right})
      *level = up ? std::min(*level * 1.5, std::max(*level, kHighestLevel))
                  : std::max(*level * 2.0 / 3.0, std::min(*level, kLowestLevel));
  return true;
}

void NoisePrintKeeper::FitToBins(int32_t bins) { m_print = FitNoisePrint(m_print, bins); }

}  // namespace ztlive
