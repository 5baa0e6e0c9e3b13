#include "core/temp_files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>

#include "core/peak_file.h"
#include "platform/folders.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

// Anything at that name, a dangling link included: a new file made there would follow it.
bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

constexpr std::string_view kTempPrefix = "zttmp";
constexpr std::string_view kTempExtension = ".wav";

// The number of a temporary file's name, or 0 when it is not one.
int TempNumber(const std::string& name) {
  if (name.size() <= kTempPrefix.size() + kTempExtension.size() || !name.starts_with(kTempPrefix) ||
      !name.ends_with(kTempExtension))
    return 0;
  const std::string digits = name.substr(kTempPrefix.size(), name.size() - kTempPrefix.size() - kTempExtension.size());
  if (digits.size() > 3 || digits[0] == '0') return 0;
  int number = 0;
  for (const char digit : digits) {
    if (digit < '0' || digit > '9') return 0;
    number = number * 10 + (digit - '0');
  }
  return number;
}

}  // namespace

bool IsTempFileName(const std::string& name) { return TempNumber(name) != 0; }

std::vector<std::string> FindTempFiles(const std::string& folder) {
  std::vector<std::pair<int, std::string>> found;
  if (DIR* listing = opendir(folder.c_str()); listing != nullptr) {
    while (const dirent* entry = readdir(listing)) {
      const std::string name = entry->d_name;
      const int number = TempNumber(name);
      if (number == 0) continue;
      const std::string path = JoinPath(folder, name);
      struct stat info {};
      if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) found.emplace_back(number, path);
    }
    closedir(listing);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  for (auto& [number, path] : found) paths.push_back(std::move(path));
  return paths;
}

void RemoveUnfinishedRunFiles(const std::string& folder) {
  constexpr std::string_view kUnfinished = ".ztpart";
  constexpr std::string_view kLock = ".lock";
  std::vector<std::string> stale;
  if (DIR* listing = opendir(folder.c_str()); listing != nullptr) {
    while (const dirent* entry = readdir(listing)) {
      const std::string_view name = entry->d_name;
      std::string_view wave;
      if (name.size() > kUnfinished.size() + 1 && name.front() == '.' && name.ends_with(kUnfinished))
        wave = name.substr(1, name.size() - kUnfinished.size() - 1);
      else if (name.ends_with(kLock))
        wave = name.substr(0, name.size() - kLock.size());
      if (wave.empty() || !IsTempFileName(std::string(wave))) continue;
      const std::string path = JoinPath(folder, std::string(name));
      struct stat info {};
      if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) stale.push_back(path);
    }
    closedir(listing);
  }
  for (const std::string& path : stale) unlink(path.c_str());
}

void DeleteTempFile(const std::string& path) {
  unlink(PeakFile::PeakFileName(path).c_str());
  unlink(path.c_str());
}

std::string MakeTempFileName(const std::string& folder, Prompts& prompts) {
  for (int number = 1; number <= 999; ++number) {
    std::string name = JoinPath(folder, "zttmp" + std::to_string(number) + ".wav");
    if (!Exists(name)) return name;
  }
  prompts.Show(StringText(StringId::kNoTempName), StringText(StringId::kCaptionFileError), PromptIcon::Warning);
  return {};
}

std::string MakeNumberedName(const std::string& path, int startNumber,
                             const std::function<bool(const std::string&)>& isTaken) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string extension;
  if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) {
    extension = name.substr(dot);
    name.resize(dot);
  }
  if (name.size() > 249) name.resize(249);
  size_t digits = name.size();
  while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
  int number = std::max(startNumber, 1);
  if (digits < name.size() && name.size() - digits <= 6) number = std::max(number, std::stoi(name.substr(digits)));
  name.resize(digits);
  // The first number is always tried; later ones only up to 999.
  for (;; ++number) {
    std::string candidate = folder + name + std::to_string(number) + extension;
    if (!(isTaken ? isTaken(candidate) : Exists(candidate))) return candidate;
    if (number >= 999) return {};
  }
}

}  // namespace ztlive
