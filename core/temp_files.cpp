#include "core/temp_files.h"

#include <sys/stat.h>

#include <algorithm>

#include "platform/folders.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

}  // namespace

std::string MakeTempFileName(const std::string& folder, Prompts& prompts) {
  for (int number = 1; number <= 999; ++number) {
    std::string name = JoinPath(folder, "zttmp" + std::to_string(number) + ".wav");
    if (!Exists(name)) return name;
  }
  prompts.Show(StringText(StringId::kNoTempName), StringText(StringId::kCaptionFileError), PromptIcon::Warning);
  return {};
}

std::string MakeNumberedName(const std::string& path, int startNumber) {
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
  std::string candidate;
  for (;; ++number) {
    candidate = folder + name + std::to_string(number) + extension;
    if (!Exists(candidate) || number >= 999) break;
  }
  return candidate;
}

}  // namespace ztlive
