#include "cli/chain_command.h"

#include "cli/chain_members.h"
#include "cli/chain_spec.h"
#include "cli/preset_names.h"
#include "filters/framework/preset_store.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr std::string_view kChainArguments = "save NAME FILTERS | list | show NAME | delete NAME";
constexpr std::string_view kDefaultName = "Default";

int Usage(CommandContext& context) {
  PrintError(context, FormatText(StringId::kCliWrongArguments, {"ztlive-cli chain " + std::string(kChainArguments)}));
  return kExitUsage;
}

void PrintLine(CommandContext& context, const std::string& line) { std::fprintf(context.out, "%s\n", line.c_str()); }

// The chain presets as the window's combo box lists them (never the filters' hidden keys).
PresetNames ListedChainPresets(CommandContext& context) {
  GivenPresetName noName;
  PresetList list(context.prompts, noName);
  list.SetSection(kChainSectionBase);
  PresetNames names;
  list.FillList(names);
  return names;
}

// A name the preset-name dialog could not have given is refused before anything is written.
bool CheckSaveName(const std::string& name, CommandContext& context) {
  if (name.size() > kPresetNameMaxChars) {
    PrintError(context, FormatText(StringId::kCliPresetNameTooLong,
                                   {std::to_string(kPresetNameMaxChars), name, std::to_string(name.size())}));
    return false;
  }
  if (IsHiddenPresetName(name)) {
    PrintError(context, FormatText(StringId::kCliPresetNameHidden, {name}));
    return false;
  }
  return true;
}

int Save(const std::string& name, const std::string& filterList, CommandContext& context) {
  if (!CheckSaveName(name, context)) return kExitUsage;
  std::vector<ChainMember> members;
  if (const auto refusal = ParseChainSpec(filterList, members)) {
    PrintError(context, refusal->message);
    return refusal->exitCode;
  }
  RunState run;
  GivenPresetName given(name);
  FilterChain chain(run, context.prompts, given);
  int exitCode = kExitOk;
  if (!AddChainMembers(members, chain, context, exitCode)) return exitCode;
  // The window's "Save": an existing name asks before it is overwritten.
  PresetNames names = ListedChainPresets(context);
  if (chain.SaveChainPresetAs(names) != 0) {
    PrintError(context, FormatText(StringId::kCliChainNotSaved, {name}));
    return kExitFailure;
  }
  // Each filter's settings are written one by one: what was stored must read back whole.
  const std::string written = ChainSpecText(chain);
  FilterChain stored(run, context.prompts, given);
  const std::string readBack = stored.LoadChainPresetNamed(name) == 0 ? ChainSpecText(stored) : std::string();
  if (readBack != written) {
    PrintError(context, FormatText(StringId::kCliChainReadsBackOtherwise, {name, readBack, written}));
    return kExitFailure;
  }
  PrintLine(context, FormatText(StringId::kCliChainSaved, {name, written}));
  return kExitOk;
}

int List(CommandContext& context) {
  const PresetNames names = ListedChainPresets(context);
  for (const std::string& name : names.Items()) PrintLine(context, name);
  return kExitOk;
}

int Show(const std::string& name, CommandContext& context) {
  std::vector<FilterTypeId> types;
  if (!FilterChain::ReadChainPresetTypes(name, types)) {
    PrintError(context, FormatText(StringId::kPresetNotFound, {name}));
    return kExitFailure;
  }
  RunState run;
  GivenPresetName noName;
  FilterChain chain(run, context.prompts, noName);
  int exitCode = kExitOk;
  if (!LoadStoredChain(name, types, chain, context, exitCode)) return exitCode;
  PrintLine(context, ChainSpecText(chain));
  return kExitOk;
}

int Delete(const std::string& name, CommandContext& context) {
  std::vector<FilterTypeId> types;
  if (name == kDefaultName) {
    PrintError(context, StringText(StringId::kPresetDefaultUndeletable));
    return kExitFailure;
  }
  if (!FilterChain::ReadChainPresetTypes(name, types)) {
    PrintError(context, FormatText(StringId::kPresetNotFound, {name}));
    return kExitFailure;
  }
  // The window's "Delete": the question, then the preset and its filters' hidden settings.
  // Only this name is listed, so that no other preset is loaded once it has gone.
  RunState run;
  GivenPresetName noName;
  FilterChain chain(run, context.prompts, noName);
  const PresetNames listed = ListedChainPresets(context);
  PresetNames names;
  for (const std::string& each : listed.Items())
    if (each == name) names.Add(each);
  names.SetEditText(name);
  if (chain.DeleteChainPreset(names) != 0 || FilterChain::ReadChainPresetTypes(name, types)) {
    PrintError(context, FormatText(StringId::kCliChainNotDeleted, {name}));
    return kExitFailure;
  }
  PrintLine(context, FormatText(StringId::kCliChainDeleted, {name}));
  return kExitOk;
}

int RunChainCommand(const std::vector<std::string>& args, CommandContext& context) {
  const ParsedArguments parsed = ParseArguments(args, {}, "chain");
  if (!parsed.error.empty()) {
    PrintError(context, parsed.error);
    return kExitUsage;
  }
  const std::vector<std::string>& words = parsed.positional;
  const std::string action = words.empty() ? std::string() : words[0];
  if (action == "save" && words.size() == 3) return Save(words[1], words[2], context);
  if (action == "list" && words.size() == 1) return List(context);
  if (action == "show" && words.size() == 2) return Show(words[1], context);
  if (action == "delete" && words.size() == 2) return Delete(words[1], context);
  return Usage(context);
}

}  // namespace

const Command kChainCommand{"chain", kChainArguments,
                            "saves, lists, shows (as the filter list that rebuilds it) and deletes the stored filter chains",
                            RunChainCommand};

}  // namespace ztlive::cli
