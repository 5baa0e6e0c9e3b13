// The arithmetic of a settings window's value control: an edit field beside a vertical
// trackbar. The trackbar runs from position 0 at the top (the maximum) to 10000 at the
// bottom (the minimum), linearly or logarithmically in the value; the edit shows the value
// divided by the control's scale. Kept apart from the widget so it can be tested alone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ztlive {

inline constexpr int kSliderTop = 0;         // position of the maximum
inline constexpr int kSliderBottom = 10000;  // position of the minimum

struct SliderRange {
  int32_t minimum = 0;
  int32_t maximum = 0;
  bool logarithmic = false;
  int32_t scale = 1;  // the edit shows value / scale; below 2 it shows the plain integer
};

// The value held inside [minimum, maximum].
int32_t HoldInRange(const SliderRange& range, int32_t value);

// The trackbar position of a value, 0..10000, rounded to the nearest step. For the logarithm
// a minimum, maximum or value below 1 is taken as 1.
int SliderPosition(const SliderRange& range, int32_t value);

// The value at a trackbar position (held to 0..10000), rounded to the nearest integer and
// held inside the range.
int32_t SliderValue(const SliderRange& range, int position);

// What the edit shows: the plain integer for a scale below 2, value / scale with "%6.2f" for
// a scale of 2..100 and with "%6.3f" above 100. The text does not depend on the C locale.
std::string SliderEditText(const SliderRange& range, int32_t value);

// Reads typed text back: the number times the scale, held inside the range; inside it, the
// product is rounded to one decimal ("%8.1f") and its integer part taken, so that 0.29 at a
// scale of 100 gives 29 and not 28. Nothing for text that is not one finite number
// (surrounding blanks allowed); the control then keeps its previous value.
std::optional<int32_t> ParseSliderEditText(const SliderRange& range, std::string_view text);

}  // namespace ztlive
