#include "platform/output_lock.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/file_ops.h"
#include "platform/folders.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

std::optional<std::string> RealPath(const std::string& path, int& error) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) {
    error = errno;
    return std::nullopt;
  }
  return std::string(resolved);
}

}  // namespace

std::optional<std::string> OutputLockPath(const std::string& outputPath, int& error) {
  int ignored = 0;
  if (std::optional<std::string> existing = RealPath(outputPath, ignored)) return LockFilePath(*existing);
  const size_t slash = outputPath.find_last_of('/');
  const std::string name = slash == std::string::npos ? outputPath : outputPath.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") {
    error = EISDIR;
    return std::nullopt;
  }
  const std::optional<std::string> folder = RealPath(ParentFolder(outputPath), error);
  if (!folder) return std::nullopt;
  return LockFilePath(JoinPath(*folder, name));
}

std::optional<OutputLock> OutputLock::Acquire(const std::string& outputPath, std::string& error) {
  int failure = 0;
  const std::optional<std::string> lockPath = OutputLockPath(outputPath, failure);
  if (!lockPath) {
    error = FormatText(StringId::kOutputLockFailed,
                       {outputPath, LockFilePath(outputPath), SystemErrorText(failure)});
    return std::nullopt;
  }
  std::optional<FileLock> lock = FileLock::Acquire(*lockPath, std::chrono::milliseconds(0), failure);
  if (lock) return OutputLock(std::move(*lock));
  if (failure == EWOULDBLOCK)
    error = FormatText(StringId::kOutputBeingWritten, {outputPath});
  else if (failure == EEXIST || failure == ELOOP)
    error = FormatText(StringId::kOutputLockInTheWay, {outputPath, *lockPath});
  else
    error = FormatText(StringId::kOutputLockFailed, {outputPath, *lockPath, SystemErrorText(failure)});
  return std::nullopt;
}

}  // namespace ztlive
