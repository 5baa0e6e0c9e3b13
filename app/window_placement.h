// The main window's placement as stored in "Settings"/"WindowPos": ten numbers, the flags, the
// show state, the minimised and maximised positions, and the normal rectangle (left, top,
// right, bottom). Text that does not hold exactly ten numbers is no placement.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ztlive {

struct WindowPlacement {
  static constexpr int kShowNormal = 1;
  static constexpr int kShowMinimized = 2;
  static constexpr int kShowMaximized = 3;

  unsigned flags = 0;
  unsigned showState = kShowNormal;
  int minX = -1, minY = -1;
  int maxX = -1, maxY = -1;
  int left = 0, top = 0, right = 0, bottom = 0;
};

std::optional<WindowPlacement> ParseWindowPlacement(std::string_view text);
// "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d"
std::string FormatWindowPlacement(const WindowPlacement& placement);

}  // namespace ztlive
