#include "filters/eq/paragraphic_bands.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "filters/framework/preset_store.h"

namespace ztlive {

ParagraphicBands ParagraphicBands::Initial() {
  ParagraphicBands bands;
  for (int k = 0; k < kParagraphicBands; ++k) {
    bands.amp[k] = 1.0;
    bands.bw[k] = 1.0;
    bands.freq[k] = 20.0 * std::ldexp(1.0, k);
  }
  return bands;
}

std::string FormatBandLine(const std::array<double, kParagraphicBands>& values) {
  std::string line;
  for (const double value : values) {
    char text[32];
    // The general format with six significant digits is what "%g" gives in the C locale.
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    line.append(text, result.ptr);
    line += ',';
  }
  return line;
}

namespace {

struct LineReader {
  std::string_view text;
  size_t at = 0;

  void SkipBlanks() {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
  }
  bool Literal(char c) {
    if (at >= text.size() || text[at] != c) return false;
    ++at;
    return true;
  }
  bool Number(double& value) {
    SkipBlanks();
    size_t start = at;
    if (start < text.size() && text[start] == '+') ++start;  // from_chars takes no plus sign
    if (start < text.size() && text[start] == '+') return false;
    if (start != at && start < text.size() && text[start] == '-') return false;
    double read = 0;
    const auto result = std::from_chars(text.data() + start, text.data() + text.size(), read);
    if (result.ec == std::errc::invalid_argument) return false;
    // Out of range: the conversion still consumes the number, as scanf does.
    at = static_cast<size_t>(result.ptr - text.data());
    value = result.ec == std::errc() ? read : (read < 0 ? -HUGE_VAL : HUGE_VAL);
    return true;
  }
};

}  // namespace

int ParseBandLine(std::string_view line, std::array<double, kParagraphicBands>& values) {
  LineReader reader{line};
  for (int k = 0; k < kParagraphicBands; ++k) {
    if (k > 0) {
      // " , " between the first three numbers lets blanks come before the comma; "," after
      // them does not.
      if (k <= 2) reader.SkipBlanks();
      if (!reader.Literal(',')) return k;
    }
    double value = 0;
    if (!reader.Number(value)) return k;
    values[k] = value;
  }
  return kParagraphicBands;
}

std::string AmpSection(std::string_view presetSection) { return std::string(presetSection) + "_amp"; }
std::string WidthSection(std::string_view presetSection) { return std::string(presetSection) + "_q"; }
std::string FrequencySection(std::string_view presetSection) { return std::string(presetSection) + "_freq"; }

bool WriteBandTables(std::string_view presetSection, std::string_view name, const ParagraphicBands& bands) {
  ProfileFile file = PresetFile();
  return file.WriteString(AmpSection(presetSection), name, FormatBandLine(bands.amp)) == 0 &&
         file.WriteString(WidthSection(presetSection), name, FormatBandLine(bands.bw)) == 0 &&
         file.WriteString(FrequencySection(presetSection), name, FormatBandLine(bands.freq)) == 0;
}

bool ReadBandTables(std::string_view presetSection, std::string_view name, ParagraphicBands& bands) {
  const ProfileFile file = PresetFile();
  const int amps = ParseBandLine(file.ReadString(AmpSection(presetSection), name, ""), bands.amp);
  const int widths = ParseBandLine(file.ReadString(WidthSection(presetSection), name, ""), bands.bw);
  const int frequencies = ParseBandLine(file.ReadString(FrequencySection(presetSection), name, ""), bands.freq);
  return amps == kParagraphicBands && widths == kParagraphicBands && frequencies == kParagraphicBands;
}

void DeleteBandTables(std::string_view presetSection, std::string_view name) {
  ProfileFile file = PresetFile();
  file.DeleteKey(AmpSection(presetSection), name);
  file.DeleteKey(WidthSection(presetSection), name);
  file.DeleteKey(FrequencySection(presetSection), name);
}

}  // namespace ztlive
