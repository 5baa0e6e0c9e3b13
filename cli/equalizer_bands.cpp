#include "cli/equalizer_bands.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "filters/eq/paragraphic_equalizer.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

// What the window's band controls accept.
struct BandLimit {
  const char* name;
  double minimum;
  double maximum;
};
constexpr BandLimit kFrequencyLimit{"frequency (Hz)", 10, 22000};
constexpr BandLimit kGainLimit{"gain (dB)", -20, 20};
constexpr BandLimit kWidthLimit{"width (octaves)", 0.05, 3.3};

bool ReadNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return *end == '\0' && errno == 0 && std::isfinite(value);
}

std::string Number(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

}  // namespace

BandsParse ParseBandsOption(const std::string& text, const ParagraphicBands& base) {
  BandsParse parse{base, {}};
  std::stringstream list(text);
  std::string item;
  int count = 0;
  while (std::getline(list, item, ',')) {
    const std::string number = std::to_string(count + 1);
    if (count == kParagraphicBands) {
      parse.problem = FormatText(StringId::kCliBandsTooMany, {text});
      return parse;
    }
    double parts[3] = {};
    std::stringstream fields(item);
    std::string field;
    int read = 0;
    bool numbers = true;
    while (std::getline(fields, field, ':')) {
      if (read < 3) numbers = ReadNumber(field, parts[read]) && numbers;
      ++read;
    }
    if (read != 3 || !numbers) {
      parse.problem = FormatText(StringId::kCliBandsBadBand, {number, item});
      return parse;
    }
    const BandLimit limits[3] = {kFrequencyLimit, kGainLimit, kWidthLimit};
    for (int i = 0; i < 3; ++i) {
      if (parts[i] < limits[i].minimum || parts[i] > limits[i].maximum) {
        parse.problem = FormatText(StringId::kCliBandsOutOfRange, {number, limits[i].name, Number(parts[i]),
                                                                   Number(limits[i].minimum), Number(limits[i].maximum)});
        return parse;
      }
    }
    parse.bands.freq[count] = parts[0];
    parse.bands.amp[count] = std::pow(10.0, parts[1] / 20.0);
    parse.bands.bw[count] = parts[2];
    ++count;
  }
  if (count == 0) {
    parse.problem = FormatText(StringId::kCliBandsTooMany, {text});
    return parse;
  }
  parse.bands.count = count;
  return parse;
}

void ExtraParamsHolder::TakeFrom(FilterProcessor& engine) {
  m_type = engine.GetTypeId();
  engine.GetExtraParams(m_a, m_b, m_c, &m_d);
}

FilterProcessor* ExtraParamsHolder::AttachProcessor(FilterProcessor* processor) {
  FilterProcessor* previous = m_attached;
  m_attached = processor;
  return previous;
}

void ExtraParamsHolder::PushExtraParams(FilterProcessor& processor) {
  if (processor.GetTypeId() != m_type) return;
  // The engine copies the arrays; the held ones stay as they are for the next run.
  double a[11], b[11], c[11], d = m_d;
  std::copy(std::begin(m_a), std::end(m_a), a);
  std::copy(std::begin(m_b), std::end(m_b), b);
  std::copy(std::begin(m_c), std::end(m_c), c);
  processor.SetExtraParams(a, b, c, &d);
}

bool ReadEqualizerBands(const std::optional<std::string>& givenBands, bool valuesGiven, FilterProcessor& engine,
                        PresetValues& values, ExtraParamsHolder& holder, int& exitCode, CommandContext& context) {
  auto* equalizer = dynamic_cast<ParagraphicEqProcessor*>(&engine);
  if (equalizer == nullptr) {
    if (!givenBands) return true;
    PrintError(context, StringText(StringId::kCliBandsNotTaken));
    exitCode = kExitUsage;
    return false;
  }
  ParagraphicBands bands = equalizer->Bands();
  if (valuesGiven) {  // the integers carry the master gain and the number of bands
    bands.master = std::pow(10.0, values.p[0] * 0.1 * 0.05);
    bands.count = values.p[3];
  }
  if (givenBands) {
    const BandsParse given = ParseBandsOption(*givenBands, bands);
    if (!given.problem.empty()) {
      PrintError(context, given.problem);
      exitCode = kExitUsage;
      return false;
    }
    bands = given.bands;
  }
  equalizer->SetBands(bands);
  values.p[0] = equalizer->values.p[0];
  values.p[3] = equalizer->values.p[3];
  holder.TakeFrom(*equalizer);
  return true;
}

bool ReadEqualizerBands(const ParsedArguments& parsed, FilterProcessor& engine, PresetValues& values,
                        ExtraParamsHolder& holder, int& exitCode, CommandContext& context) {
  const auto bands = parsed.values.find("bands");
  return ReadEqualizerBands(bands != parsed.values.end() ? std::optional<std::string>(bands->second) : std::nullopt,
                            parsed.Has("values"), engine, values, holder, exitCode, context);
}

}  // namespace ztlive::cli
