// What the continuous noise filter's settings window does for a run from the command line:
// it takes the averaged spectrum of a noise-sampling run, reduces it to a noise print, and
// hands the print to the filter engine before the filter runs.
#pragma once

#include "document/filter_run.h"
#include "filters/restoration/noise_print.h"

namespace ztlive::cli {

class NoisePrintHolder : public RunDialog {
 public:
  FilterProcessor* AttachProcessor(FilterProcessor* processor) override;
  void PushExtraParams(FilterProcessor& processor) override;
  void TakeAnalysisResult(FilterProcessor& processor) override;

  const NoisePrint& Print() const { return m_print; }
  void SetPrint(const NoisePrint& print) { m_print = print; }
  void SetSampleRate(uint32_t rate) { m_sampleRate = rate; }

 private:
  FilterProcessor* m_attached = nullptr;
  NoisePrint m_print;
  uint32_t m_sampleRate = 44100;
};

}  // namespace ztlive::cli
