// Fuzzes the profile-file parser and editor: any bytes must load without a crash, every key
// listed must be found, and an edit must change only the key it concerns.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "platform/profile_text.h"

namespace {

using Snapshot = std::map<std::pair<std::string, std::string>, std::string>;

Snapshot Read(const ztlive::ProfileText& text) {
  Snapshot values;
  for (const std::string& section : text.SectionNames()) {
    for (const std::string& key : text.KeyNames(section)) {
      const auto value = text.Find(section, key);
      if (!value) __builtin_trap();  // a listed key must be readable
      values[{section, key}] = std::string(*value);
    }
  }
  return values;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Every value of before, other than the one edited, reads the same in after.
void CheckUnchanged(const Snapshot& before, const ztlive::ProfileText& after,
                    const std::string& section, const std::string& key) {
  for (const auto& [name, value] : before) {
    if (SameName(name.first, section) && SameName(name.second, key)) continue;
    const auto now = after.Find(name.first, name.second);
    if (!now || *now != value) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string contents(reinterpret_cast<const char*>(data), size);
  const ztlive::ProfileText original(contents);
  const Snapshot before = Read(original);

  // Rewrite an existing key (chosen by the first byte) with a value that ends in a line feed.
  std::string section = "Fuzz";
  std::string key = "Added";
  if (!before.empty()) {
    auto chosen = before.begin();
    std::advance(chosen, (size > 0 ? data[0] : 0) % before.size());
    section = chosen->first.first;
    key = chosen->first.second;
  }
  ztlive::ProfileText edited = original;
  if (edited.Write(section, key, "1,2,3,4,5,6,7,8,9,10,11\n")) {
    if (edited.Find(section, key) != std::string_view("1,2,3,4,5,6,7,8,9,10,11")) __builtin_trap();
    CheckUnchanged(before, edited, section, key);
  }

  ztlive::ProfileText added = original;
  if (!added.Write("Fuzz", "Added", "value")) __builtin_trap();
  if (added.Find("fuzz", "added") != std::string_view("value")) __builtin_trap();
  CheckUnchanged(before, added, "Fuzz", "Added");

  ztlive::ProfileText deleted = original;
  deleted.DeleteKey(section, key);
  if (deleted.Find(section, key)) __builtin_trap();
  CheckUnchanged(before, deleted, section, key);
  return 0;
}
