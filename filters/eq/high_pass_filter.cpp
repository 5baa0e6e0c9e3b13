#include "filters/eq/high_pass_filter.h"

#include <array>

#include "filters/eq/classic_parameters.h"

namespace ztlive {

namespace {

constexpr std::array<ParameterRecord, 2> kParameters{{
    classic::kSlope,
    classic::Frequency(1, "Frequency", 20000),
}};

constexpr FilterDescriptor kDescriptor{
    .typeId = 12,
    .sectionBase = "HiPassSet",
    .displayName = "Hi Pass",
    .commandName = "high-pass",
    .windowTitle = "Highpass Filter",
    .menuCommand = "&High Pass...",
    .history = 0,
    .lookAhead = 0,
    .parameters = kParameters,
    .presetRecord = FirstValuesRecord(3),
    .create = &HighPassProcessor::Create,
};

}  // namespace

const FilterDescriptor& HighPassProcessor::Descriptor() { return kDescriptor; }

HighPassProcessor::HighPassProcessor() : CornerFilterProcessor(Descriptor(), false) {}

int HighPassProcessor::Prepare(WaveStream&, WaveStream&) {
  ClearState();
  needsPrepare = 1;  // the first block designs from the values of that moment
  return 1;
}

int HighPassProcessor::Process(WaveStream& in, WaveStream& out) {
  if (needsPrepare) {
    needsPrepare = 0;
    Design(in);
  }
  return RunBlock(in, out);
}

}  // namespace ztlive
