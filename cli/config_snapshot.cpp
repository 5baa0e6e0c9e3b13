#include "cli/config_snapshot.h"

#include <dirent.h>
#include <ftw.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/file_ops.h"
#include "platform/folders.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

int RemoveEntry(const char* path, const struct stat*, int type, struct FTW*) {
  // Links are removed themselves, never followed (FTW_PHYS).
  if (type == FTW_DP)
    rmdir(path);
  else
    unlink(path);
  return 0;
}

constexpr std::string_view kPrefix = "ztlive-batch-";

void RemoveTree(const std::string& folder) { nftw(folder.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); }

// Removes the private folders ("ztlive-batch-<pid>-XXXXXX") that batches killed outright left in
// parent: only real folders of this user whose batch process no longer exists.
void RemoveAbandoned(const std::string& parent) {
  DIR* folder = opendir(parent.c_str());
  if (folder == nullptr) return;
  while (const dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    if (name.compare(0, kPrefix.size(), kPrefix) != 0) continue;
    const size_t dash = name.find('-', kPrefix.size());
    const std::string digits = name.substr(kPrefix.size(), dash == std::string::npos ? 0 : dash - kPrefix.size());
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(digits));
    const std::string path = JoinPath(parent, name);
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid()) continue;
    if (kill(pid, 0) == 0 || errno != ESRCH) continue;  // still running, or not ours to judge
    RemoveTree(path);
  }
  closedir(folder);
}

}  // namespace

std::optional<ConfigSnapshot> ConfigSnapshot::Take(std::string& error) {
  const char* tmp = std::getenv("TMPDIR");
  const std::string parent = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  RemoveAbandoned(parent);
  std::string pattern = JoinPath(parent, std::string(kPrefix) + std::to_string(getpid()) + "-XXXXXX");
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) {
    error = FormatText(StringId::kCliBatchPrivateFolder, {parent, SystemErrorText(errno)});
    return std::nullopt;
  }
  ConfigSnapshot snapshot(name.data());
  for (const std::string& file : {SettingsFilePath(), PresetFilePath()}) {
    if (!FileExists(file)) continue;
    const std::string copy = JoinPath(snapshot.m_folder, file.substr(file.rfind('/') + 1));
    if (const int failed = CopyFile(file, copy, true); failed != 0) {
      error = file + ": " + SystemErrorText(failed);
      return std::nullopt;
    }
  }
  return snapshot;
}

ConfigSnapshot::~ConfigSnapshot() {
  if (!m_folder.empty()) RemoveTree(m_folder);
}

}  // namespace ztlive::cli
