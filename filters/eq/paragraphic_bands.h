// The band set of the paragraphic equalizer and how it is kept in the preset file: three
// lines of ten numbers ("%g," each) in the sections named by the integer section followed by
// "_amp", "_q" and "_freq", under the preset's name.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace ztlive {

inline constexpr int kParagraphicBands = 10;

struct ParagraphicBands {
  std::array<double, kParagraphicBands> amp{};   // linear gain of each band
  std::array<double, kParagraphicBands> freq{};  // centre (peaking) or corner (shelf), Hz
  std::array<double, kParagraphicBands> bw{};    // bandwidth in octaves
  double master = 1.0;                           // linear
  int32_t count = kParagraphicBands;             // bands in use, 1..10

  // 20, 40, ... 10240 Hz, one octave wide, flat.
  static ParagraphicBands Initial();
  friend bool operator==(const ParagraphicBands&, const ParagraphicBands&) = default;
};

// Ten values, each formatted "%g," (a trailing comma included), independent of the locale.
std::string FormatBandLine(const std::array<double, kParagraphicBands>& values);
// Reads a line as the pattern " %lg , %lg , %lg, %lg, %lg, %lg, %lg, %lg, %lg, %lg " does:
// values are stored one after another until the first that does not match; the rest keep
// what they held. Returns how many were read.
int ParseBandLine(std::string_view line, std::array<double, kParagraphicBands>& values);

// The three band sections of an integer preset section.
std::string AmpSection(std::string_view presetSection);
std::string WidthSection(std::string_view presetSection);
std::string FrequencySection(std::string_view presetSection);

// Writes the three lines under name: true when all three were written.
bool WriteBandTables(std::string_view presetSection, std::string_view name, const ParagraphicBands& bands);
// Reads the three lines into bands (amp, bw, freq); true only when each held ten numbers.
bool ReadBandTables(std::string_view presetSection, std::string_view name, ParagraphicBands& bands);
// Removes name's key from the three sections.
void DeleteBandTables(std::string_view presetSection, std::string_view name);

}  // namespace ztlive
