#include "platform/settings_store.h"

#include <array>
#include <charconv>

#include "platform/ascii.h"
#include "platform/folders.h"

namespace ztlive {

namespace {

constexpr std::array kSettings = {
#define INT(name, section, key, value) \
  SettingInfo{section, key, SettingType::Integer, value, "", SettingDefault::Fixed},
#define TEXT(name, section, key, value) \
  SettingInfo{section, key, SettingType::Text, 0, value, SettingDefault::Fixed},
#define DYNAMIC(name, section, key, kind) \
  SettingInfo{section, key, SettingType::Text, 0, "", SettingDefault::kind},
#include "platform/settings_keys.def"
#undef INT
#undef TEXT
#undef DYNAMIC
};

// Stored texts are cut at this length, as a fixed read buffer would cut them.
constexpr size_t kMaxTextChars = 4095;

std::optional<std::string> ResolveDefault(SettingDefault kind, std::string_view fixed) {
  switch (kind) {
    case SettingDefault::Fixed:
      return std::string(fixed);
    case SettingDefault::TempFolder:
      return DefaultTempFolder();
    case SettingDefault::HomeFolder:
      return HomeFolder();
    case SettingDefault::None:
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

std::span<const SettingInfo> AllSettings() { return kSettings; }

const SettingInfo* FindSetting(std::string_view section, std::string_view key) {
  for (const SettingInfo& info : kSettings)
    if (EqualsIgnoringCase(info.section, section) && EqualsIgnoringCase(info.key, key)) return &info;
  return nullptr;
}

std::optional<std::string> DefaultText(const SettingInfo& info) {
  if (info.type == SettingType::Integer) return std::to_string(info.intDefault);
  return ResolveDefault(info.defaultKind, info.textDefault);
}

std::optional<int32_t> ParseSettingInt(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty()) return std::nullopt;

  bool negative = false;
  if (text.front() == '-' || text.front() == '+') {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  uint64_t magnitude = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (negative ? magnitude > 0x80000000ull : magnitude > 0xFFFFFFFFull) return std::nullopt;
  const uint32_t bits = negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(magnitude))
                                 : static_cast<uint32_t>(magnitude);
  return static_cast<int32_t>(bits);
}

SettingsStore::SettingsStore() : m_file(SettingsFilePath()) {}

std::optional<std::string> SettingsStore::ReadStored(std::string_view section,
                                                     std::string_view key) const {
  ProfileText text;
  if (m_file.Load(text) != 0) return std::nullopt;
  const std::optional<std::string_view> value = text.Find(section, key);
  if (!value) return std::nullopt;
  return std::string(value->substr(0, kMaxTextChars));
}

int32_t SettingsStore::ReadInt(std::string_view section, std::string_view key,
                               int32_t defaultValue) const {
  const std::optional<std::string> stored = ReadStored(section, key);
  if (!stored) return defaultValue;
  return ParseSettingInt(*stored).value_or(defaultValue);
}

std::string SettingsStore::ReadText(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
  return ReadStored(section, key).value_or(std::string(defaultValue));
}

int32_t SettingsStore::Read(const IntSetting& setting) const {
  return ReadInt(setting.section, setting.key, setting.defaultValue);
}

std::string SettingsStore::Read(const TextSetting& setting) const {
  if (std::optional<std::string> stored = ReadStored(setting.section, setting.key)) return *stored;
  return ResolveDefault(setting.defaultKind, setting.defaultValue).value_or(std::string());
}

int SettingsStore::WriteInt(std::string_view section, std::string_view key, int32_t value) {
  return m_file.WriteString(section, key, std::to_string(value));
}

int SettingsStore::WriteText(std::string_view section, std::string_view key,
                             std::string_view value) {
  return m_file.WriteString(section, key, value);
}

int SettingsStore::Remove(std::string_view section, std::string_view key) {
  return m_file.DeleteKey(section, key);
}

}  // namespace ztlive
