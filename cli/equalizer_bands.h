// The paragraphic equalizer's bands on the command line: "--bands f:gain:width,..." (Hz, dB,
// octaves; the same ranges as the window's band controls), and what stands in for the window
// at a run: it hands the band set to the engine the run makes, as the window does.
#pragma once

#include <optional>
#include <string>

#include "cli/command.h"
#include "cli/command_line.h"
#include "document/filter_run.h"
#include "filters/eq/paragraphic_bands.h"

namespace ztlive::cli {

// The band set of a --bands text laid over base (the count becomes the number of bands
// given; bands not given keep base's). The message when the text is not a valid band list.
struct BandsParse {
  ParagraphicBands bands;
  std::string problem;  // empty when read
};
BandsParse ParseBandsOption(const std::string& text, const ParagraphicBands& base);

// Keeps an engine's extra parameters and gives them to the run's engine before it starts.
class ExtraParamsHolder : public RunDialog {
 public:
  // Takes what engine keeps beside its eleven integers.
  void TakeFrom(FilterProcessor& engine);
  FilterProcessor* AttachProcessor(FilterProcessor* processor) override;
  void PushExtraParams(FilterProcessor& processor) override;

 private:
  FilterProcessor* m_attached = nullptr;
  FilterTypeId m_type = -1;
  double m_a[11] = {}, m_b[11] = {}, m_c[11] = {}, m_d = 0;
};

// The bands of a paragraphic equalizer run into holder: what the engine holds (its preset's
// bands), with --values' gain and count, and --bands over them. Refuses --bands for another
// filter. False after a message, with the exit code.
bool ReadEqualizerBands(const ParsedArguments& parsed, FilterProcessor& engine, PresetValues& values,
                        ExtraParamsHolder& holder, int& exitCode, CommandContext& context);
// The same from a band list (absent: none given) and whether values were given.
bool ReadEqualizerBands(const std::optional<std::string>& bands, bool valuesGiven, FilterProcessor& engine,
                        PresetValues& values, ExtraParamsHolder& holder, int& exitCode, CommandContext& context);

}  // namespace ztlive::cli
