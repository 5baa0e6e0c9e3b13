#include "cli/batch_plan.h"

#include <sched.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <set>
#include <thread>
#include <utility>

#include "core/temp_files.h"
#include "live/batch_job.h"

namespace ztlive::cli {

namespace {

bool ParseCount(const std::string& text, long& value) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  value = std::strtol(text.c_str(), nullptr, 10);
  return true;
}

using FileId = std::pair<dev_t, ino_t>;

std::optional<FileId> IdOf(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileId{info.st_dev, info.st_ino};
}

}  // namespace

std::optional<Shard> ParseShard(const std::string& text) {
  const size_t slash = text.find('/');
  long index = 0;
  long count = 0;
  if (slash == std::string::npos || !ParseCount(text.substr(0, slash), index) ||
      !ParseCount(text.substr(slash + 1), count) || index < 1 || index > count)
    return std::nullopt;
  return Shard{static_cast<int>(index), static_cast<int>(count)};
}

std::optional<int> ParseJobs(const std::string& text, int maxJobs) {
  long jobs = 0;
  if (!ParseCount(text, jobs) || jobs < 1 || jobs > maxJobs) return std::nullopt;
  return static_cast<int>(jobs);
}

int AvailableCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
  return std::max(1u, std::thread::hardware_concurrency());
}

bool ExpandPlaylists(const std::vector<std::string>& given, std::vector<std::string>& files, std::string& error) {
  files.clear();
  for (const std::string& path : given) {
    if (!IsPlaylistName(path)) {
      files.push_back(path);
      continue;
    }
    std::vector<std::string> entries;
    const BatchLoadResult result = LoadPlaylistAsFileList(path, entries);
    if (result != BatchLoadResult::Loaded) {
      error = path + ": " + BatchLoadMessage(result);
      return false;
    }
    files.insert(files.end(), entries.begin(), entries.end());
  }
  return true;
}

std::vector<std::string> DirectoryOutputNames(const std::vector<std::string>& sources, const std::string& directory) {
  std::string folder = directory;
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::set<FileId> sourceIds;
  for (const std::string& source : sources)
    if (const auto id = IdOf(source)) sourceIds.insert(*id);
  std::set<std::string> given;
  auto taken = [&](const std::string& name) {
    if (given.count(name) != 0) return true;
    const auto id = IdOf(name);
    return id && sourceIds.count(*id) != 0;
  };

  std::vector<std::string> names;
  names.reserve(sources.size());
  for (const std::string& source : sources) {
    const size_t slash = source.rfind('/');
    const std::string fileName = slash == std::string::npos ? source : source.substr(slash + 1);
    std::string name = folder + "/" + fileName;
    if (taken(name)) name = MakeNumberedName(name, 1, taken);
    if (!name.empty()) given.insert(name);
    names.push_back(name);
  }
  return names;
}

}  // namespace ztlive::cli
