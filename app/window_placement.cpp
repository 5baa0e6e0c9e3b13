#include "app/window_placement.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace ztlive {

std::optional<WindowPlacement> ParseWindowPlacement(std::string_view text) {
  std::vector<long> numbers;
  const std::string copy(text);
  const char* at = copy.c_str();
  for (;;) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(at, &end, 10);
    if (end == at || errno != 0) return std::nullopt;
    numbers.push_back(value);
    while (*end == ' ') ++end;
    if (*end == '\0') break;
    if (*end != ',') return std::nullopt;
    at = end + 1;
  }
  if (numbers.size() != 10 || numbers[0] < 0 || numbers[1] < 0) return std::nullopt;
  WindowPlacement placement;
  placement.flags = static_cast<unsigned>(numbers[0]);
  placement.showState = static_cast<unsigned>(numbers[1]);
  placement.minX = static_cast<int>(numbers[2]);
  placement.minY = static_cast<int>(numbers[3]);
  placement.maxX = static_cast<int>(numbers[4]);
  placement.maxY = static_cast<int>(numbers[5]);
  placement.left = static_cast<int>(numbers[6]);
  placement.top = static_cast<int>(numbers[7]);
  placement.right = static_cast<int>(numbers[8]);
  placement.bottom = static_cast<int>(numbers[9]);
  return placement;
}

std::string FormatWindowPlacement(const WindowPlacement& p) {
  char text[160];
  std::snprintf(text, sizeof text, "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d", p.flags, p.showState, p.minX, p.minY, p.maxX,
                p.maxY, p.left, p.top, p.right, p.bottom);
  return text;
}

}  // namespace ztlive
