#include "cli/filters_command.h"

#include "cli/filter_names.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr std::string_view kArguments = "[NAME]";

// A window caption without its keyboard-mnemonic marks ("&Speed" is shown "Speed").
std::string Plain(std::string_view caption) {
  std::string text;
  for (const char c : caption)
    if (c != '&') text.push_back(c);
  return text;
}

void ListFilters(CommandContext& context) {
  std::fprintf(context.out, "%s\n", std::string(StringText(StringId::kCliFilterListHeading)).c_str());
  for (const FilterRegistryRow& row : FilterRegistry()) {
    const FilterDescriptor& descriptor = row.descriptor();
    if (descriptor.commandName.empty() || descriptor.typeId != row.typeId) continue;
    const std::string_view state =
        StringText(descriptor.Built() ? StringId::kCliFilterBuilt : StringId::kCliFilterNotBuiltYet);
    std::fprintf(context.out, "  %-20.*s %3d  %.*s\n", static_cast<int>(descriptor.commandName.size()),
                 descriptor.commandName.data(), descriptor.typeId, static_cast<int>(state.size()), state.data());
  }
}

std::string Choices(const ParameterRecord& parameter) {
  std::string text;
  for (size_t i = 0; i < parameter.choices.size(); ++i)
    text += (i == 0 ? "  (" : ", ") + std::to_string(i) + " " + Plain(parameter.choices[i]);
  return text.empty() ? text : text + ")";
}

void ShowValues(const FilterDescriptor& descriptor, CommandContext& context) {
  std::fprintf(context.out, "%s\n",
               FormatText(StringId::kCliFilterValuesHeading,
                          {FilterCommandName(descriptor), std::to_string(descriptor.typeId)})
                   .c_str());
  if (!descriptor.Built()) {
    std::fprintf(context.out, "  %s\n", std::string(StringText(StringId::kCliFilterNotBuiltYet)).c_str());
    return;
  }
  if (descriptor.parameters.empty()) {
    std::fprintf(context.out, "%s\n", std::string(StringText(StringId::kCliFilterNoValues)).c_str());
    return;
  }
  for (const ParameterRecord& parameter : descriptor.parameters) {
    const std::string range = std::to_string(parameter.minimum) + " ... " + std::to_string(parameter.maximum);
    const std::string label = Plain(parameter.label);
    std::fprintf(context.out, "  %2d  %-16s %-8.*s %-14s %6d%s\n", parameter.index, label.c_str(),
                 static_cast<int>(parameter.unit.size()), parameter.unit.data(), range.c_str(), parameter.start,
                 Choices(parameter).c_str());
  }
}

int RunFilters(const std::vector<std::string>& args, CommandContext& context) {
  const ParsedArguments parsed = ParseArguments(args, {}, "filters");
  if (!parsed.error.empty()) {
    PrintError(context, parsed.error);
    return kExitUsage;
  }
  if (parsed.positional.size() > 1) {
    PrintError(context, FormatText(StringId::kCliWrongArguments, {"ztlive-cli filters " + std::string(kArguments)}));
    return kExitUsage;
  }
  if (parsed.positional.empty()) {
    ListFilters(context);
    return kExitOk;
  }
  const FilterDescriptor* descriptor = FilterByName(parsed.positional[0]);
  if (descriptor == nullptr) {
    std::string names;
    for (const std::string& name : FilterCommandNames()) names += (names.empty() ? "" : ", ") + name;
    PrintError(context, FormatText(StringId::kCliUnknownFilter, {parsed.positional[0], names}));
    return kExitUsage;
  }
  ShowValues(*descriptor, context);
  return kExitOk;
}

}  // namespace

const Command kFiltersCommand{"filters", kArguments,
                              "lists the filters, or the values of one in the order --values takes them", RunFilters};

}  // namespace ztlive::cli
