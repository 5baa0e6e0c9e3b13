#include "cli/filter_names.h"

#include <cctype>
#include <cstdlib>

namespace ztlive::cli {

namespace {

std::string Hyphenated(std::string_view displayName) {
  std::string name;
  for (const char c : displayName) {
    if (c == ' ')
      name.push_back('-');
    else
      name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return name;
}

// The chain's short names first; the batch list adds the types a chain cannot hold.
std::vector<std::pair<std::string, FilterTypeId>> NamedTypes() {
  std::vector<std::pair<std::string, FilterTypeId>> named;
  for (const FilterTypeEntry& entry : ChainFilterList())
    if (entry.typeId >= 0) named.emplace_back(Hyphenated(entry.name), entry.typeId);
  for (const FilterTypeEntry& entry : BatchFilterList()) {
    bool known = false;
    for (const auto& [name, type] : named) known = known || type == entry.typeId;
    if (!known) named.emplace_back(Hyphenated(entry.name), entry.typeId);
  }
  return named;
}

}  // namespace

FilterTypeId FilterTypeByName(const std::string& name) {
  if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos && name.size() < 4)
    return static_cast<FilterTypeId>(std::atoi(name.c_str()));
  for (const auto& [known, type] : NamedTypes())
    if (known == name) return type;
  return -1;
}

std::string FilterCommandName(FilterTypeId type) {
  for (const auto& [name, known] : NamedTypes())
    if (known == type) return name;
  return std::to_string(type);
}

std::vector<std::string> FilterCommandNames() {
  std::vector<std::string> names;
  for (const auto& [name, type] : NamedTypes()) names.push_back(name);
  return names;
}

}  // namespace ztlive::cli
