#include "cli/command_line.h"

#include "platform/string_table.h"

namespace ztlive::cli {

std::vector<OptionSpec> WithRunChoice(std::vector<OptionSpec> own, bool bands) {
  own.insert(own.end(), {{"filter", true}, {"preset", true}, {"values", true}, {"chain", true}, {"chain-preset", true}});
  if (bands) own.push_back({"bands", true});
  return own;
}

int RunChoiceCount(const ParsedArguments& parsed) {
  return int{parsed.Has("filter")} + int{parsed.Has("chain")} + int{parsed.Has("chain-preset")};
}

bool FilterOptionsMisused(const ParsedArguments& parsed) {
  const bool filterOptions = parsed.Has("preset") || parsed.Has("values") || parsed.Has("bands");
  return (filterOptions && !parsed.Has("filter")) || (parsed.Has("preset") && parsed.Has("values"));
}

ParsedArguments ParseArguments(const std::vector<std::string>& args,
                               const std::vector<OptionSpec>& options, std::string_view command) {
  ParsedArguments parsed;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    const OptionSpec* known = nullptr;
    for (const OptionSpec& option : options)
      if (option.name == name) known = &option;
    if (known == nullptr) {
      parsed.error = FormatText(StringId::kCliUnknownOption, {arg, command});
      return parsed;
    }
    if (!known->takesValue) {
      if (equals != std::string::npos) {
        parsed.error = FormatText(StringId::kCliUnknownOption, {arg, command});
        return parsed;
      }
      parsed.flags.insert(name);
    } else if (equals != std::string::npos) {
      parsed.values[name] = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      parsed.values[name] = args[++i];
    } else {
      parsed.error = FormatText(StringId::kCliOptionNeedsValue, {"--" + name});
      return parsed;
    }
  }
  return parsed;
}

}  // namespace ztlive::cli
