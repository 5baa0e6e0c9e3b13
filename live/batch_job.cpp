// The fields of a batch job and what a run takes from them: the region of each file, the
// output names, and the presets of the chosen filter.
#include "live/batch_job.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <set>
#include <utility>

#include "core/temp_files.h"
#include "filters/filter_registry.h"
#include "filters/framework/preset_store.h"
#include "live/filter_chain.h"
#include "platform/ascii.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

// ---- Names ----

// The file name of a path: what follows its last slash.
std::string FileNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// One spelling for every name of a file, for comparing names not yet created: the links in
// the part that exists are followed ("alink/take4.wav" and "a/take4.wav" are one name).
std::string NormalName(const std::string& path) {
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  if (!error) return canonical.string();
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

struct FileIdentity {
  dev_t device;
  ino_t inode;
  auto operator<=>(const FileIdentity&) const = default;
};

// What the output names of one run are kept from: the sources (by file identity, so any
// spelling of one of them is found) and the names already given.
class NameGuard {
 public:
  explicit NameGuard(const std::vector<std::string>& sources) {
    for (const std::string& source : sources) AddSource(source);
  }

  void AddSource(const std::string& source) {
    struct stat info {};
    if (stat(source.c_str(), &info) == 0) m_sources.insert({info.st_dev, info.st_ino});
    Give(source);
  }

  void Give(const std::string& name) { m_given.insert(NormalName(name)); }

  bool IsSourceOrGiven(const std::string& name) const {
    if (m_given.count(NormalName(name)) != 0) return true;
    struct stat info {};
    return stat(name.c_str(), &info) == 0 && m_sources.count({info.st_dev, info.st_ino}) != 0;
  }

  // Taken for a numbered name: anything there (a dangling link too), or given already.
  bool IsTaken(const std::string& name) const {
    struct stat info {};
    return lstat(name.c_str(), &info) == 0 || IsSourceOrGiven(name);
  }

 private:
  std::set<FileIdentity> m_sources;
  std::set<std::string> m_given;
};

// The first free numbered name for path (see MakeNumberedName); empty when none is free.
std::string NextNumberedName(const std::string& path, const NameGuard& guard) {
  return MakeNumberedName(path, 1, [&guard](const std::string& name) { return guard.IsTaken(name); });
}

std::string OutputNameGuarded(const BatchJob& job, const std::string& sourcePath, const NameGuard& guard) {
  if (!job.useDestinationDirectory) return NextNumberedName(sourcePath, guard);
  std::string directory = job.destinationDirectory;
  if (!directory.empty() && directory.back() == '/') directory.pop_back();
  const std::string fileName = FileNameOf(sourcePath);
  const std::string plain = directory.empty() && job.destinationDirectory.empty() ? fileName : directory + "/" + fileName;
  // A result from an earlier run is replaced (the save asks first); a source or a name given
  // in this run never is.
  if (!guard.IsSourceOrGiven(plain)) return plain;
  return NextNumberedName(plain, guard);
}

// ---- Regions ----

// Seconds -> milliseconds (truncated) -> bytes (truncated), saturating instead of overflowing.
uint64_t SecondsToBytes(double seconds, uint64_t avgBytesPerSecond) {
  constexpr uint64_t kAll = std::numeric_limits<uint64_t>::max();
  const double ms = std::trunc(seconds * 1000.0);
  if (!(ms > 0.0) || avgBytesPerSecond == 0) return 0;
  if (ms >= 1.8e19) return kAll;
  const uint64_t wholeMs = static_cast<uint64_t>(ms);
  // avg x ms / 1000 in two parts: the whole seconds' bytes, then the rest's.
  const uint64_t wholeSeconds = wholeMs / 1000;
  if (wholeSeconds > kAll / avgBytesPerSecond / 2) return kAll;
  return wholeSeconds * avgBytesPerSecond + (wholeMs % 1000) * avgBytesPerSecond / 1000;
}

}  // namespace

// ---- The fields ----

bool IsBatchSecondsValid(double seconds) { return seconds >= kBatchSecondsMin && seconds <= kBatchSecondsMax; }

std::string BatchSecondsRangeMessage() { return FormatText(StringId::kBatchNumberRange, {"0", "32000"}); }

int FirstInvalidBatchTimeField(const BatchJob& job) {
  const double fields[] = {job.firstSeconds, job.lastSeconds, job.rangeFrom, job.rangeTo};
  for (int i = 0; i < 4; ++i)
    if (!IsBatchSecondsValid(fields[i])) return i;
  return -1;
}

// ---- The run ----

BatchByteRegion BatchRegion(const BatchJob& job, uint64_t dataBytes, uint32_t avgBytesPerSecond, uint32_t blockAlign) {
  const auto bytes = [&](double seconds) { return std::min(SecondsToBytes(seconds, avgBytesPerSecond), dataBytes); };
  BatchByteRegion region{0, dataBytes};
  switch (static_cast<BatchRegionMode>(job.regionMode)) {
    case BatchRegionMode::LastSeconds: {
      // More seconds than the file holds: empty at the end, not the whole file.
      const uint64_t last = SecondsToBytes(job.lastSeconds, avgBytesPerSecond);
      region.start = last > dataBytes ? dataBytes : dataBytes - last;
      break;
    }
    case BatchRegionMode::FirstSeconds:
      region.end = bytes(job.firstSeconds);
      break;
    case BatchRegionMode::Range:
      region.start = bytes(job.rangeFrom);
      region.end = std::max(region.start, bytes(job.rangeTo));
      break;
    case BatchRegionMode::EntireFile:
    default:
      break;
  }
  if (blockAlign > 1) {
    region.start -= region.start % blockAlign;
    region.end -= region.end % blockAlign;
  }
  return region;
}

std::string BatchOutputName(const BatchJob& job, const std::string& sourcePath, const std::vector<std::string>& taken) {
  NameGuard guard(job.files);
  guard.AddSource(sourcePath);
  for (const std::string& name : taken) guard.Give(name);
  return OutputNameGuarded(job, sourcePath, guard);
}

std::vector<std::string> BatchOutputNames(const BatchJob& job) {
  NameGuard guard(job.files);
  std::vector<std::string> names;
  names.reserve(job.files.size());
  for (const std::string& source : job.files) {
    names.push_back(OutputNameGuarded(job, source, guard));
    if (!names.back().empty()) guard.Give(names.back());
  }
  return names;
}

std::string NoFreeOutputNameMessage(const std::string& sourcePath) {
  return FormatText(StringId::kBatchNoFreeName, {sourcePath});
}

// ---- The filters and their presets ----

std::string BatchPresetSection(FilterTypeId type) {
  if (type == kMultiFilter) return PresetSection(kChainSectionBase);
  if (type == kNormalizeFilter) return {};
  const FilterDescriptor* descriptor = FindFilterDescriptor(type);
  // Without an engine there is nothing to learn the section from.
  if (descriptor == nullptr || !descriptor->Built() || descriptor->sectionBase == "None") return {};
  return PresetSection(descriptor->sectionBase);
}

std::vector<std::string> BatchPresetNames(FilterTypeId type) {
  const std::string section = BatchPresetSection(type);
  std::vector<std::string> names;
  if (section.empty()) return names;
  for (std::string& name : PresetFile().KeyNames(section, kPresetKeyListBytes))
    if (!IsHiddenPresetName(name)) names.push_back(std::move(name));
  return names;
}

int FindBatchPreset(const std::vector<std::string>& names, std::string_view presetName) {
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string_view name = names[i];
    if (name.size() >= presetName.size() && EqualsIgnoringCase(name.substr(0, presetName.size()), presetName))
      return static_cast<int>(i);
  }
  return -1;
}

int BatchFilterRow(FilterTypeId type) { return FindFilterType(BatchFilterList(), type); }

}  // namespace ztlive
