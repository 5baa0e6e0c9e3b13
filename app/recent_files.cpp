#include "app/recent_files.h"

#include <algorithm>
#include <array>

namespace ztlive {

namespace {

const std::array<const TextSetting*, RecentFiles::kEntries> kKeys = {&setting::kRecentFile1, &setting::kRecentFile2,
                                                                     &setting::kRecentFile3, &setting::kRecentFile4};

}  // namespace

RecentFiles::RecentFiles(SettingsStore& settings) : m_settings(settings) {
  for (const TextSetting* key : kKeys)
    if (std::string file = m_settings.Read(*key); !file.empty()) m_files.push_back(std::move(file));
}

void RecentFiles::Add(const std::string& path) {
  std::erase(m_files, path);
  m_files.insert(m_files.begin(), path);
  if (m_files.size() > kEntries) m_files.resize(kEntries);
  Store();
}

void RecentFiles::Remove(const std::string& path) {
  std::erase(m_files, path);
  Store();
}

void RecentFiles::Store() {
  for (size_t i = 0; i < kKeys.size(); ++i) m_settings.Write(*kKeys[i], i < m_files.size() ? m_files[i] : "");
}

}  // namespace ztlive
