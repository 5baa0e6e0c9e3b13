#include "cli/settings_command.h"

#include "platform/file_ops.h"
#include "platform/folders.h"
#include "platform/settings_store.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr std::string_view kArguments = "get SECTION KEY | set SECTION KEY VALUE";

// Prints the stored value, or the default of a known setting.
int Get(const std::string& section, const std::string& key, CommandContext& context) {
  const SettingsStore store;
  std::optional<std::string> value = store.ReadStored(section, key);
  if (!value) {
    if (const SettingInfo* info = FindSetting(section, key)) value = DefaultText(*info);
  }
  if (!value) {
    PrintError(context, FormatText(StringId::kSettingHasNoValue, {section, key}));
    return kExitFailure;
  }
  std::fprintf(context.out, "%s\n", value->c_str());
  return kExitOk;
}

int Set(const std::string& section, const std::string& key, const std::string& value,
        CommandContext& context) {
  const SettingInfo* info = FindSetting(section, key);
  if (info != nullptr && info->type == SettingType::Integer && !ParseSettingInt(value)) {
    PrintError(context, FormatText(StringId::kSettingNotInteger, {section, key, value}));
    return kExitUsage;
  }
  const std::string folder = ConfigFolder();
  if (const int error = EnsureFolder(folder); error != 0) {
    PrintError(context, FormatText(StringId::kConfigFolderUnusable, {folder, SystemErrorText(error)}));
    return kExitFailure;
  }
  SettingsStore store;
  if (const int error = store.WriteText(section, key, value); error != 0) {
    PrintError(context, FormatText(StringId::kSettingNotWritten, {store.Path(), SystemErrorText(error)}));
    return kExitFailure;
  }
  return kExitOk;
}

int RunSettings(const std::vector<std::string>& args, CommandContext& context) {
  const ParsedArguments parsed = ParseArguments(args, {}, "settings");
  if (!parsed.error.empty()) {
    PrintError(context, parsed.error);
    return kExitUsage;
  }
  const std::vector<std::string>& words = parsed.positional;
  if (words.size() == 3 && words[0] == "get") return Get(words[1], words[2], context);
  if (words.size() == 4 && words[0] == "set") return Set(words[1], words[2], words[3], context);
  PrintError(context, FormatText(StringId::kCliWrongArguments,
                                  {"ztlive-cli settings " + std::string(kArguments)}));
  return kExitUsage;
}

}  // namespace

const Command kSettingsCommand{
    "settings", kArguments,
    "read or write a program setting (a missing key reads as its default)", RunSettings};

}  // namespace ztlive::cli
