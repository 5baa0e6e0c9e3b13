#include "filters/restoration/noise_print.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>

#include "filters/framework/preset_store.h"

namespace ztlive {

void BuildNoiseCurve(const NoisePrint& print, bool right, int32_t bins, std::vector<double>& curve) {
  curve.assign(static_cast<size_t>(std::max(bins, 0)), 0.0);
  const auto level = [&](size_t i) { return right ? print.points[i].right : print.points[i].left; };
  size_t segment = 0;
  for (int32_t j = 0; j < bins; ++j) {
    // A breakpoint below j hands over to the next segment.
    while (segment + 2 < NoisePrint::kPoints && print.points[segment + 1].bin < j) ++segment;
    const NoiseBreakpoint& from = print.points[segment];
    const NoiseBreakpoint& to = print.points[segment + 1];
    double value = level(segment + 1);
    if (to.bin != from.bin)
      value = level(segment) + (level(segment + 1) - level(segment)) * double(j - from.bin) / double(to.bin - from.bin);
    if (value <= 0) value = 0.01;
    curve[static_cast<size_t>(j)] = value * value;
  }
}

namespace {

double Mean(const std::vector<double>& spectrum, int32_t from, int32_t to) {
  if (to <= from) return spectrum[static_cast<size_t>(std::clamp<int32_t>(from, 0, int32_t(spectrum.size()) - 1))];
  double sum = 0;
  for (int32_t j = from; j < to; ++j) sum += spectrum[static_cast<size_t>(j)];
  return sum / double(to - from);
}

}  // namespace

NoisePrint ReduceSpectrum(const std::vector<double>& left, const std::vector<double>* right, uint32_t sampleRate,
                          int32_t bins) {
  NoisePrint print;
  print.bins = bins;
  const int64_t band = sampleRate / 2;
  const int64_t n = bins;
  const int divisors[] = {256, 100, 50, 20, 10, 5, 3, 2};
  print.points[0].bin = 1;
  for (size_t i = 0; i < std::size(divisors); ++i)
    print.points[i + 1].bin = static_cast<int32_t>(band / divisors[i] * n / band);
  print.points[9].bin = static_cast<int32_t>(band * 2 / 3 * n / band);
  print.points[10].bin = bins;
  const double above = std::pow(10.0, 0.3);  // 6 dB above the measured average
  for (size_t i = 0; i < NoisePrint::kPoints; ++i) {
    const int32_t from = i == 0 ? 0 : print.points[i - 1].bin;
    const int32_t to = i == 0 ? 1 : (i + 1 == NoisePrint::kPoints ? bins : print.points[i].bin);
    print.points[i].left = above * (i == 0 ? left[0] : Mean(left, from, to)) + 1;
    if (right == nullptr)
      print.points[i].right = print.points[i].left;
    else
      print.points[i].right = i == 0 ? (*right)[0] + 1 : above * Mean(*right, from, to) + 1;
  }
  return print;
}

int WriteNoisePrintRecords(std::string_view section, std::string_view name, const NoisePrint& print) {
  std::string bins;
  std::string left;
  std::string right;
  char number[64];
  for (const NoiseBreakpoint& point : print.points) {
    std::snprintf(number, sizeof number, "%d,", point.bin);
    bins += number;
    std::snprintf(number, sizeof number, "%g,", point.left / 256);
    left += number;
    std::snprintf(number, sizeof number, "%g,", point.right / 256);
    right += number;
  }
  // The three records change in one turn, so no reader or other writer sees them mixed.
  const std::string base(section);
  const int written = PresetFile().Update([&](ProfileText& text) {
    return text.Write(base + "_bin", name, bins) && text.Write(base + "_amp", name, left) &&
                   text.Write(base + "_amp2", name, right)
               ? 0
               : EINVAL;
  });
  return written == 0 ? 1 : 0;
}

bool ReadNoisePrintRecords(std::string_view section, std::string_view name, NoisePrint& print) {
  // One reading of the file for all three records, so they belong together.
  ProfileText text;
  if (PresetFile().Load(text) != 0) return false;
  const std::string base(section);
  const auto record = [&](const std::string& recordSection) {
    return std::string(text.Find(recordSection, name).value_or("").substr(0, 1024));
  };
  const std::string bins = record(base + "_bin");
  const std::string left = record(base + "_amp");
  const std::string right = record(base + "_amp2");
  int b[11];
  double l[11];
  double r[11];
  if (std::sscanf(bins.c_str(), " %d , %d , %d, %d, %d, %d, %d, %d, %d, %d, %d ", &b[0], &b[1], &b[2], &b[3], &b[4],
                  &b[5], &b[6], &b[7], &b[8], &b[9], &b[10]) != 11 ||
      std::sscanf(left.c_str(), " %lg , %lg , %lg, %lg, %lg, %lg, %lg, %lg, %lg, %lg, %lg ", &l[0], &l[1], &l[2], &l[3],
                  &l[4], &l[5], &l[6], &l[7], &l[8], &l[9], &l[10]) != 11 ||
      std::sscanf(right.c_str(), " %lg , %lg , %lg, %lg, %lg, %lg, %lg, %lg, %lg, %lg, %lg ", &r[0], &r[1], &r[2], &r[3],
                  &r[4], &r[5], &r[6], &r[7], &r[8], &r[9], &r[10]) != 11)
    return false;
  for (size_t i = 0; i < NoisePrint::kPoints; ++i) print.points[i] = {b[i], l[i] * 256, r[i] * 256};
  return true;
}

}  // namespace ztlive
