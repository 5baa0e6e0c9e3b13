// What the continuous noise filter's settings window does for a run from the command line:
// it takes the averaged spectrum of a noise-sampling run, reduces it to a noise print, and
// hands the print to the filter engine before the filter runs.
#pragma once

#include "document/filter_run.h"
#include "filters/restoration/noise_print_keeper.h"

namespace ztlive::cli {

class NoisePrintHolder : public RunDialog {
 public:
  FilterProcessor* AttachProcessor(FilterProcessor* processor) override;
  void PushExtraParams(FilterProcessor& processor) override;
  void TakeAnalysisResult(FilterProcessor& processor) override;

  const NoisePrint& Print() const { return m_keeper.Print(); }
  void SetPrint(const NoisePrint& print) { m_keeper.SetPrint(print); }
  void SetSampleRate(uint32_t rate) { m_sampleRate = rate; }

 private:
  FilterProcessor* m_attached = nullptr;
  NoisePrintKeeper m_keeper;
  uint32_t m_sampleRate = NoisePrintKeeper::kDefaultRate;
};

}  // namespace ztlive::cli
