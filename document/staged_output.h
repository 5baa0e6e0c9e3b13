// An output file of a run or a conversion, written whole or not at all.
//
// Begin takes the output's lock (one writer per file) for as long as the object lives, and
// names the file to write: a new file, or one that replaces an existing file, is written under
// a temporary name beside the output and renamed over it by Commit, so the output appears
// whole or, until then, keeps whatever it was. Written in place (sync mode, the live log), the
// output is the file itself. Destruction without Commit removes the temporary.
//
// The temporary's name follows from the output's (".<name>.ztpart" in the same folder): a
// writer killed before its rename leaves it behind, and the next writer of that output, which
// holds the lock, removes it before it starts.
#pragma once

#include <optional>
#include <string>

#include "platform/output_lock.h"

namespace ztlive {

class StagedOutput {
 public:
  // The lock and the name to write, or nothing with error set to the message to show.
  // inPlace: the existing file itself is written.
  static std::optional<StagedOutput> Begin(const std::string& path, bool inPlace, std::string& error);

  StagedOutput(StagedOutput&& other) noexcept;
  StagedOutput& operator=(StagedOutput&& other) noexcept;
  StagedOutput(const StagedOutput&) = delete;
  StagedOutput& operator=(const StagedOutput&) = delete;
  ~StagedOutput();

  const std::string& WritePath() const { return m_writePath; }
  const std::string& FinalPath() const { return m_finalPath; }
  bool InPlace() const { return m_writePath == m_finalPath; }

  // Puts the written temporary in place of the output (nothing to do in place). Empty on
  // success, else the message to show; the temporary is removed either way.
  std::string Commit();
  // Removes the temporary; the output keeps what it was.
  void Abandon();

 private:
  StagedOutput(OutputLock lock, std::string finalPath, std::string writePath)
      : m_lock(std::move(lock)), m_finalPath(std::move(finalPath)), m_writePath(std::move(writePath)) {}

  OutputLock m_lock;
  std::string m_finalPath;
  std::string m_writePath;
  bool m_done = false;
};

// The temporary that an output is written under: ".<name>.ztpart" beside it.
std::string StagingPath(const std::string& path);

}  // namespace ztlive
