#include "filters/framework/slider_mapping.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace ztlive {

namespace {

// The range's ends and a value in the units the trackbar is linear in.
struct Axis {
  double low;
  double high;
};

double AxisPoint(const SliderRange& range, double value) {
  return range.logarithmic ? std::log(std::max(value, 1.0)) : value;
}

Axis MakeAxis(const SliderRange& range) {
  return {AxisPoint(range, range.minimum), AxisPoint(range, range.maximum)};
}

int32_t EffectiveScale(const SliderRange& range) { return std::max<int32_t>(range.scale, 1); }

// Fixed-point text with the given decimals, without regard to the C locale.
std::string FixedText(double value, int decimals) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  return std::string(buffer, result.ptr);
}

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

int32_t HoldInRange(const SliderRange& range, int32_t value) {
  if (range.maximum < range.minimum) return range.minimum;
  return std::clamp(value, range.minimum, range.maximum);
}

int SliderPosition(const SliderRange& range, int32_t value) {
  const Axis axis = MakeAxis(range);
  if (axis.high <= axis.low) return kSliderBottom;
  const double fraction = (AxisPoint(range, value) - axis.low) / (axis.high - axis.low);
  const double position = kSliderBottom - kSliderBottom * fraction;
  return static_cast<int>(std::clamp(std::lround(position), long{kSliderTop}, long{kSliderBottom}));
}

int32_t SliderValue(const SliderRange& range, int position) {
  const Axis axis = MakeAxis(range);
  const double fraction = static_cast<double>(kSliderBottom - std::clamp(position, kSliderTop, kSliderBottom)) / kSliderBottom;
  double value = axis.low + fraction * (axis.high - axis.low);
  if (range.logarithmic) value = std::exp(value);
  const double held = std::clamp(std::round(value), double{INT32_MIN}, double{INT32_MAX});
  return HoldInRange(range, static_cast<int32_t>(held));
}

std::string SliderEditText(const SliderRange& range, int32_t value) {
  if (range.scale < 2) return std::to_string(value);
  std::string text = FixedText(static_cast<double>(value) / range.scale, range.scale <= 100 ? 2 : 3);
  if (text.size() < 6) text.insert(0, 6 - text.size(), ' ');  // the field width of "%6.2f"
  return text;
}

std::optional<int32_t> ParseSliderEditText(const SliderRange& range, std::string_view text) {
  std::string_view number = Trimmed(text);
  if (!number.empty() && number.front() == '+') {
    number.remove_prefix(1);
    if (!number.empty() && number.front() == '-') return std::nullopt;
  }
  if (number.empty()) return std::nullopt;
  double typed = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), typed);
  if (error != std::errc() || end != number.data() + number.size() || std::isnan(typed)) return std::nullopt;

  const double scaled = typed * EffectiveScale(range);
  if (scaled <= range.minimum) return HoldInRange(range, range.minimum);
  if (scaled >= range.maximum) return HoldInRange(range, range.maximum);
  // Rounded to one decimal first, so a product a hair below a whole number is not cut down.
  const std::string rounded = FixedText(scaled, 1);
  int32_t whole = 0;
  std::from_chars(rounded.data(), rounded.data() + rounded.find('.'), whole);
  return HoldInRange(range, whole);
}

}  // namespace ztlive
