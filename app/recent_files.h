// The recent-file list: the four files opened last, newest first, kept in the settings'
// "Recent File List" section as "File1" ... "File4".
#pragma once

#include <string>
#include <vector>

#include "platform/settings_store.h"

namespace ztlive {

class RecentFiles {
 public:
  static constexpr size_t kEntries = 4;

  explicit RecentFiles(SettingsStore& settings);

  const std::vector<std::string>& Files() const { return m_files; }
  // Puts path first (moving it up when listed) and stores the list.
  void Add(const std::string& path);
  // Drops a file that could not be opened and stores the list.
  void Remove(const std::string& path);

 private:
  void Store();

  SettingsStore& m_settings;
  std::vector<std::string> m_files;
};

}  // namespace ztlive
