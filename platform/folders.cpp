#include "platform/folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace ztlive {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

std::string ParentFolder(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string HomeFolder() {
  std::string home = Environment("HOME");
  if (!home.empty()) return home;
  if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr)
    return entry->pw_dir;
  return "/";
}

std::string ConfigFolder() {
  if (std::string own = Environment("ZTLIVE_HOME"); !own.empty()) return own;
  if (std::string xdg = Environment("XDG_CONFIG_HOME"); !xdg.empty()) return JoinPath(xdg, "ZT-Live");
  return JoinPath(HomeFolder(), ".config/ZT-Live");
}

std::string SettingsFilePath() { return JoinPath(ConfigFolder(), "settings.ini"); }

std::string PresetFilePath() { return JoinPath(ConfigFolder(), "ZTLiveDemoPresets.ini"); }

std::string DefaultTempFolder() {
  std::string folder;
  if (std::string own = Environment("ZTLIVE_HOME"); !own.empty()) {
    folder = JoinPath(own, "tmp");
  } else if (std::string xdg = Environment("XDG_CACHE_HOME"); !xdg.empty()) {
    folder = JoinPath(xdg, "ZT-Live/tmp");
  } else {
    folder = JoinPath(HomeFolder(), ".cache/ZT-Live/tmp");
  }
  EnsureFolder(folder);
  return folder;
}

bool FolderExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

int EnsureFolder(const std::string& path) {
  if (path.empty()) return ENOENT;
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string prefix = path.substr(0, slash);
    if (mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return errno;
    if (slash == std::string::npos) break;
  }
  return FolderExists(path) ? 0 : ENOTDIR;
}

}  // namespace ztlive
