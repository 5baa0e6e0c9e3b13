#include "cli/chain_spec.h"

#include "cli/command_line.h"
#include "cli/filter_names.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr std::string_view kPresetOption = "preset=";
constexpr std::string_view kValuesOption = "values=";
constexpr std::string_view kBandsOption = "bands=";

ChainRefusal BadMember(std::string_view member) {
  return {FormatText(StringId::kCliChainBadMember, {member}), kExitUsage};
}

std::optional<ChainRefusal> ParseMember(std::string_view text, ChainMember& member) {
  const size_t colon = text.find(':');
  const std::string name(text.substr(0, colon));
  if (name.empty()) return BadMember(text);
  if (colon != std::string_view::npos) {
    const std::string_view option = text.substr(colon + 1);
    if (option.starts_with(kPresetOption) && option.size() > kPresetOption.size())
      member.preset = std::string(option.substr(kPresetOption.size()));
    else if (option.starts_with(kValuesOption) && option.size() > kValuesOption.size())
      member.values = std::string(option.substr(kValuesOption.size()));
    else if (option.starts_with(kBandsOption) && option.size() > kBandsOption.size())
      member.bands = std::string(option.substr(kBandsOption.size()));
    else
      return BadMember(text);
  }
  member.descriptor = FilterByName(name);
  if (member.descriptor == nullptr)
    return ChainRefusal{FormatText(StringId::kCliUnknownFilter, {name, JoinedFilterCommandNames()}), kExitUsage};
  return std::nullopt;
}

std::string FilterName(const ChainNode& node) { return FilterCommandName(*node.processor->Descriptor()); }

}  // namespace

std::optional<ChainRefusal> ParseChainSpec(std::string_view filterList, std::vector<ChainMember>& members) {
  members.clear();
  size_t start = 0;
  while (true) {
    const size_t plus = filterList.find('+', start);
    const size_t length = plus == std::string_view::npos ? std::string_view::npos : plus - start;
    const std::string_view text = filterList.substr(start, length);
    if (text.empty()) return ChainRefusal{FormatText(StringId::kCliChainEmptyMember, {filterList}), kExitUsage};
    ChainMember member;
    if (auto refusal = ParseMember(text, member)) return refusal;
    members.push_back(std::move(member));
    if (plus == std::string_view::npos) return std::nullopt;
    start = plus + 1;
  }
}

std::optional<ChainRefusal> CheckChainFilters(const std::vector<FilterTypeId>& types) {
  if (types.size() > static_cast<size_t>(kChainSlots))
    return ChainRefusal{FormatText(StringId::kChainFull, {std::to_string(kChainSlots)}), kExitUsage};
  // Punch and Crunch is named before whether it is built: the rule holds either way.
  if (types.size() >= 2 && types.front() == kPunchAndCrunchType)
    return ChainRefusal{std::string(StringText(StringId::kPunchAndCrunchFirst)), kExitFailure};
  for (const FilterTypeId type : types) {
    const FilterDescriptor* descriptor = FindFilterDescriptor(type);
    if (descriptor != nullptr && descriptor->Built() && !descriptor->traits.analysisOnly) continue;
    const std::string name = descriptor != nullptr ? FilterCommandName(*descriptor) : std::to_string(type);
    return ChainRefusal{FormatText(StringId::kFilterNotBuilt, {name, std::to_string(type)}), kExitFailure};
  }
  return std::nullopt;
}

std::string ChainSpecText(const FilterChain& chain) {
  std::string filterList;
  for (const ChainNode& node : chain.Nodes()) {
    if (!node.IsFilter() || node.processor == nullptr) continue;
    const PresetValues& values = node.processor->values;
    // The values left out of a list are 0: the trailing zeros are not written (one value stays).
    size_t count = values.p.size();
    while (count > 1 && values.p[count - 1] == 0) --count;
    std::string list;
    for (size_t i = 0; i < count; ++i) list += (i == 0 ? "" : ",") + std::to_string(values.p[i]);
    filterList += (filterList.empty() ? "" : "+") + FilterName(node) + ":" + std::string(kValuesOption) + list;
  }
  return filterList;
}

std::string ChainNamesText(const FilterChain& chain) {
  std::string names;
  for (const ChainNode& node : chain.Nodes())
    if (node.IsFilter() && node.processor != nullptr) names += (names.empty() ? "" : "+") + FilterName(node);
  return names;
}

}  // namespace ztlive::cli
