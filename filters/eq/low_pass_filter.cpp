#include "filters/eq/low_pass_filter.h"

#include <array>

#include "filters/eq/classic_parameters.h"

namespace ztlive {

namespace {

constexpr std::array<ParameterRecord, 2> kParameters{{
    classic::kSlope,
    classic::Frequency(1, "Frequency", 20000),
}};

constexpr FilterDescriptor kDescriptor{
    .typeId = 19,
    .sectionBase = "LowPassSet",
    .displayName = "LowPass",
    .commandName = "low-pass",
    .windowTitle = "Lowpass Filter",
    .menuCommand = "&Low Pass...",
    .history = 0,
    .lookAhead = 0,
    .parameters = kParameters,
    .presetRecord = FirstValuesRecord(3),
    .create = &LowPassProcessor::Create,
};

}  // namespace

const FilterDescriptor& LowPassProcessor::Descriptor() { return kDescriptor; }

LowPassProcessor::LowPassProcessor() : CornerFilterProcessor(Descriptor(), true) {}

int LowPassProcessor::Prepare(WaveStream& in, WaveStream&) {
  Design(in);
  ClearState();
  needsPrepare = 0;
  return 1;
}

int LowPassProcessor::Process(WaveStream& in, WaveStream& out) {
  if (needsPrepare) {  // new values during a run: redesign, keep the state
    needsPrepare = 0;
    Design(in);
  }
  return RunBlock(in, out);
}

}  // namespace ztlive
