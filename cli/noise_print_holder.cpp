#include "cli/noise_print_holder.h"

namespace ztlive::cli {

FilterProcessor* NoisePrintHolder::AttachProcessor(FilterProcessor* processor) {
  FilterProcessor* previous = m_attached;
  m_attached = processor;
  return previous;
}

void NoisePrintHolder::PushExtraParams(FilterProcessor& processor) { m_keeper.PushTo(processor); }

void NoisePrintHolder::TakeAnalysisResult(FilterProcessor& processor) { m_keeper.TakeSample(processor, m_sampleRate); }

}  // namespace ztlive::cli
