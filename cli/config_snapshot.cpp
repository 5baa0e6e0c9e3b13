#include "cli/config_snapshot.h"

#include <ftw.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

}  // namespace

std::optional<ConfigSnapshot> ConfigSnapshot::Take(std::string& error) {
  const char* tmp = std::getenv("TMPDIR");
  const std::string parent = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  std::string pattern = JoinPath(parent, "ztlive-batch-XXXXXX");
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
  if (!m_folder.empty()) nftw(m_folder.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace ztlive::cli
