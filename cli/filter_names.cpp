#include "cli/filter_names.h"

#include <cstdlib>

namespace ztlive::cli {

const FilterDescriptor* FilterByName(const std::string& name) {
  if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos && name.size() < 4)
    return FindFilterDescriptor(static_cast<FilterTypeId>(std::atoi(name.c_str())));
  return FindFilterByCommandName(name);
}

std::string FilterCommandName(const FilterDescriptor& descriptor) {
  return descriptor.commandName.empty() ? std::to_string(descriptor.typeId) : std::string(descriptor.commandName);
}

std::vector<std::string> FilterCommandNames() {
  std::vector<std::string> names;
  for (const FilterRegistryRow& row : FilterRegistry()) {
    const FilterDescriptor& descriptor = row.descriptor();
    if (!descriptor.commandName.empty() && descriptor.typeId == row.typeId) names.emplace_back(descriptor.commandName);
  }
  return names;
}

std::string JoinedFilterCommandNames() {
  std::string joined;
  for (const std::string& name : FilterCommandNames()) joined += (joined.empty() ? "" : ", ") + name;
  return joined;
}

}  // namespace ztlive::cli
