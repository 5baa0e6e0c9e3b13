#include "document/staged_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "document/file_checks.h"
#include "platform/file_ops.h"
#include "platform/folders.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

// Makes the temporary afresh as a regular file of ours (never through a link), with the
// permissions of the file it will replace. 0 or errno.
int MakeTemporary(const std::string& temporary, const std::string& finalPath) {
  struct stat leftover {};
  if (lstat(temporary.c_str(), &leftover) == 0) {
    if (S_ISDIR(leftover.st_mode)) return EISDIR;
    if (unlink(temporary.c_str()) != 0) return errno;
  }
  struct stat existing {};
  const mode_t mode = stat(finalPath.c_str(), &existing) == 0 ? (existing.st_mode & 0777) : 0644;
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) return errno;
  // The creation mask would otherwise narrow the permissions of a replaced file.
  const int result = fchmod(fd, mode) == 0 ? 0 : errno;
  close(fd);
  if (result != 0) unlink(temporary.c_str());
  return result;
}

// The written file's bytes reach the disk before its name replaces the old file.
int SyncFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return errno;
  const int result = fsync(fd) == 0 ? 0 : errno;
  close(fd);
  return result;
}

}  // namespace

std::string StagingPath(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return JoinPath(ParentFolder(path), "." + name + ".ztpart");
}

std::optional<StagedOutput> StagedOutput::Begin(const std::string& path, bool inPlace, std::string& error) {
  error = DescribeOutputProblem(path);
  if (!error.empty()) return std::nullopt;
  std::optional<OutputLock> lock = OutputLock::Acquire(path, error);
  if (!lock) return std::nullopt;
  if (inPlace) {
    // Writing into the file itself must not go through a link to some other file.
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
      error = FormatText(StringId::kOutputIsLink, {path});
      return std::nullopt;
    }
    return StagedOutput(std::move(*lock), path, path);
  }
  const std::string temporary = StagingPath(path);
  if (const int failure = MakeTemporary(temporary, path); failure != 0) {
    error = failure == EACCES || failure == EROFS || failure == EPERM
                ? FormatText(StringId::kOutputFolderNotWritable, {path, ParentFolder(path), SystemErrorText(failure)})
                : FormatText(StringId::kOutputNotWritten, {path, SystemErrorText(failure)});
    return std::nullopt;
  }
  return StagedOutput(std::move(*lock), path, temporary);
}

StagedOutput::StagedOutput(StagedOutput&& other) noexcept
    : m_lock(std::move(other.m_lock)),
      m_finalPath(std::move(other.m_finalPath)),
      m_writePath(std::move(other.m_writePath)),
      m_done(other.m_done) {
  other.m_done = true;
}

StagedOutput& StagedOutput::operator=(StagedOutput&& other) noexcept {
  if (this != &other) {
    Abandon();
    m_lock = std::move(other.m_lock);
    m_finalPath = std::move(other.m_finalPath);
    m_writePath = std::move(other.m_writePath);
    m_done = other.m_done;
    other.m_done = true;
  }
  return *this;
}

StagedOutput::~StagedOutput() { Abandon(); }

std::string StagedOutput::Commit() {
  if (m_done || InPlace()) {
    m_done = true;
    return {};
  }
  m_done = true;
  int failure = SyncFile(m_writePath);
  if (failure == 0 && rename(m_writePath.c_str(), m_finalPath.c_str()) != 0) failure = errno;
  if (failure == 0) return {};
  unlink(m_writePath.c_str());
  return FormatText(StringId::kOutputNotPutInPlace, {m_finalPath, SystemErrorText(failure)});
}

void StagedOutput::Abandon() {
  if (m_done) return;
  m_done = true;
  if (!InPlace()) unlink(m_writePath.c_str());
}

}  // namespace ztlive
