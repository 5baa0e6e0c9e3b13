#include "platform/string_table.h"

#include <iterator>

namespace ztlive {

namespace {

struct StringEntry {
  int id;
  std::string_view text;
};

// A plain array: deducing a std::array over hundreds of entries exceeds compilers' limits.
constexpr StringEntry kStrings[] = {
#define X(name, id, text) StringEntry{id, text},
#include "platform/string_table.def"
#undef X
};

constexpr bool IdentifiersAreUnique() {
  for (size_t i = 0; i < std::size(kStrings); ++i)
    for (size_t j = i + 1; j < std::size(kStrings); ++j)
      if (kStrings[i].id == kStrings[j].id) return false;
  return true;
}
static_assert(IdentifiersAreUnique(), "two texts share one identifier");

}  // namespace

std::string_view StringText(int id) {
  for (const StringEntry& entry : kStrings)
    if (entry.id == id) return entry.text;
  return {};
}

std::string_view StringText(StringId id) { return StringText(static_cast<int>(id)); }

std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string result;
  result.reserve(pattern.size() + 32);
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
      const auto index = static_cast<size_t>(pattern[i + 1] - '1');
      if (index < args.size()) {
        result.append(*(args.begin() + index));
        ++i;
        continue;
      }
    }
    result.push_back(c);
  }
  return result;
}

}  // namespace ztlive
