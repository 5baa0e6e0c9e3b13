// The program settings: whole numbers and texts by section and key, stored in settings.ini in
// the configuration folder. Every read has a default, so a missing or unparsable key is never
// an error; every write is on disk at once.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/profile_file.h"

namespace ztlive {

enum class SettingType { Integer, Text };
// Where a text setting's default comes from when it is not a fixed text.
enum class SettingDefault { Fixed, None, TempFolder, HomeFolder };

struct IntSetting {
  std::string_view section;
  std::string_view key;
  int32_t defaultValue;
};

struct TextSetting {
  std::string_view section;
  std::string_view key;
  std::string_view defaultValue;
  SettingDefault defaultKind = SettingDefault::Fixed;
};

// One row of the table of every known setting.
struct SettingInfo {
  std::string_view section;
  std::string_view key;
  SettingType type;
  int32_t intDefault;
  std::string_view textDefault;
  SettingDefault defaultKind;
};

namespace setting {
#define INT(name, section, key, value) inline constexpr IntSetting name{section, key, value};
#define TEXT(name, section, key, value) inline constexpr TextSetting name{section, key, value};
#define DYNAMIC(name, section, key, kind) \
  inline constexpr TextSetting name{section, key, "", SettingDefault::kind};
#include "platform/settings_keys.def"
#undef INT
#undef TEXT
#undef DYNAMIC
}  // namespace setting

// Every known setting, in table order.
std::span<const SettingInfo> AllSettings();
// The known setting of that section and key (compared without regard to case), or null.
const SettingInfo* FindSetting(std::string_view section, std::string_view key);
// A setting's default as text; nothing for a setting without one.
std::optional<std::string> DefaultText(const SettingInfo& info);

// Parses a whole number as the store keeps it: decimal with an optional sign, or "0x"
// hexadecimal, surrounding blanks allowed, at most 32 bits (values above 0x7FFFFFFF wrap to
// negative numbers, as a 32-bit register value does). Nothing for anything else.
std::optional<int32_t> ParseSettingInt(std::string_view text);

class SettingsStore {
 public:
  // The store in the configuration folder's settings.ini.
  SettingsStore();
  explicit SettingsStore(std::string path) : m_file(std::move(path)) {}

  const std::string& Path() const { return m_file.Path(); }

  int32_t ReadInt(std::string_view section, std::string_view key, int32_t defaultValue) const;
  std::string ReadText(std::string_view section, std::string_view key,
                       std::string_view defaultValue) const;
  // The stored text, or nothing when the key is missing.
  std::optional<std::string> ReadStored(std::string_view section, std::string_view key) const;
  int32_t Read(const IntSetting& setting) const;
  std::string Read(const TextSetting& setting) const;

  // 0 or errno.
  int WriteInt(std::string_view section, std::string_view key, int32_t value);
  int WriteText(std::string_view section, std::string_view key, std::string_view value);
  int Write(const IntSetting& setting, int32_t value) { return WriteInt(setting.section, setting.key, value); }
  int Write(const TextSetting& setting, std::string_view value) {
    return WriteText(setting.section, setting.key, value);
  }
  int Remove(std::string_view section, std::string_view key);

 private:
  ProfileFile m_file;
};

}  // namespace ztlive
