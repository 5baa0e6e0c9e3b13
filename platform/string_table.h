// The one table of the program's message texts, looked up by identifier.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace ztlive {

enum class StringId : int {
#define X(name, id, text) name = id,
#include "platform/string_table.def"
#undef X
};

// The exact text of a string; empty for an identifier the table does not hold.
std::string_view StringText(StringId id);
std::string_view StringText(int id);

// Replaces %1 ... %9 in pattern by the arguments; a placeholder without an argument stays
// as it is, and every other character is copied unchanged.
std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args);
inline std::string FormatText(StringId id, std::initializer_list<std::string_view> args) {
  return FormatText(StringText(id), args);
}

}  // namespace ztlive
