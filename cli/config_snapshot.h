// A batch's private folder: a copy of the configuration (settings and presets) taken once at
// the start, which the batch and every child it runs use as their configuration folder, so
// that all files of a batch run with the same settings and none of them writes into the
// user's configuration. It also holds the children's captured messages. Removed at the end;
// the folder of a batch killed outright is removed by the next batch that starts.
#pragma once

#include <optional>
#include <string>

namespace ztlive::cli {

class ConfigSnapshot {
 public:
  // Copies the configuration folder's settings and preset files into a new folder in the
  // temporary directory; nothing, with error set, when that cannot be done.
  static std::optional<ConfigSnapshot> Take(std::string& error);

  ConfigSnapshot(ConfigSnapshot&& other) noexcept : m_folder(std::move(other.m_folder)) { other.m_folder.clear(); }
  ConfigSnapshot& operator=(ConfigSnapshot&&) = delete;
  ConfigSnapshot(const ConfigSnapshot&) = delete;
  ConfigSnapshot& operator=(const ConfigSnapshot&) = delete;
  ~ConfigSnapshot();

  const std::string& Folder() const { return m_folder; }

 private:
  explicit ConfigSnapshot(std::string folder) : m_folder(std::move(folder)) {}

  std::string m_folder;
};

}  // namespace ztlive::cli
