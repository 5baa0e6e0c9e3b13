#include "cli/noise_print_holder.h"

#include "filters/restoration/continuous_noise_filter.h"
#include "filters/restoration/noise_sampler.h"

namespace ztlive::cli {

FilterProcessor* NoisePrintHolder::AttachProcessor(FilterProcessor* processor) {
  FilterProcessor* previous = m_attached;
  m_attached = processor;
  return previous;
}

void NoisePrintHolder::PushExtraParams(FilterProcessor& processor) {
  if (auto* filter = dynamic_cast<NoiseReductionProcessor*>(&processor); filter != nullptr && !m_print.Empty())
    filter->SetNoisePrint(m_print);
}

void NoisePrintHolder::TakeAnalysisResult(FilterProcessor& processor) {
  const auto* sampler = dynamic_cast<const NoiseSampler*>(&processor);
  if (sampler == nullptr) return;
  m_print = ReduceSpectrum(sampler->Average(0), sampler->Channels() == 2 ? &sampler->Average(1) : nullptr, m_sampleRate,
                           sampler->Bins());
}

}  // namespace ztlive::cli
