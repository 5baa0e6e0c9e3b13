#include "platform/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/file_lock.h"
#include "platform/folders.h"

namespace ztlive {

namespace {

std::vector<std::string> FitNames(std::vector<std::string> names, size_t bufferBytes) {
  size_t used = 1;  // the list's closing terminator
  size_t fitting = 0;
  for (const std::string& name : names) {
    if (used + name.size() + 1 > bufferBytes) break;
    used += name.size() + 1;
    ++fitting;
  }
  names.resize(fitting);
  return names;
}

int WriteAll(int fd, std::string_view contents) {
  size_t done = 0;
  while (done < contents.size()) {
    const ssize_t written = write(fd, contents.data() + done, contents.size() - done);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<size_t>(written);
  }
  return 0;
}

// Writes go to the file a symbolic link points at, so the link itself survives.
std::string ResolvedTarget(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

// Makes a rename durable: the folder entry reaches the disk too.
void SyncFolderOf(const std::string& path) {
  const int fd = open(ParentFolder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

int ReadWholeFile(const std::string& path, std::string& text) {
  text.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  char chunk[16384];
  int result = 0;
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      result = errno;
      break;
    }
    if (got == 0) break;
    text.append(chunk, static_cast<size_t>(got));
  }
  close(fd);
  return result;
}

int ReplaceFileAtomically(const std::string& path, std::string_view contents) {
  const std::string target = ResolvedTarget(path);
  if (const int created = EnsureFolder(ParentFolder(target)); created != 0) return created;
  std::string temporary = target + ".XXXXXX";
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return errno;

  mode_t mode = 0644;
  struct stat existing {};
  if (stat(target.c_str(), &existing) == 0) mode = existing.st_mode & 07777;

  int result = WriteAll(fd, contents);
  if (result == 0 && fchmod(fd, mode) != 0) result = errno;
  if (result == 0 && fsync(fd) != 0) result = errno;
  if (close(fd) != 0 && result == 0) result = errno;
  if (result == 0 && rename(temporary.c_str(), target.c_str()) != 0) result = errno;
  if (result != 0) {
    unlink(temporary.c_str());
    return result;
  }
  SyncFolderOf(target);
  return 0;
}

int ProfileFile::Load(ProfileText& text) const {
  std::string contents;
  const int result = ReadWholeFile(m_path, contents);
  if (result == ENOENT) {
    text = ProfileText();
    return 0;
  }
  text = ProfileText(std::move(contents));
  return result;
}

int ProfileFile::Store(const ProfileText& text) const {
  return ReplaceFileAtomically(m_path, text.Text());
}

size_t ProfileFile::ReadString(std::string_view section, std::string_view key,
                               std::string_view defaultValue, char* buffer,
                               size_t bufferSize) const {
  if (buffer == nullptr || bufferSize == 0) return 0;
  const std::string value = ReadString(section, key, defaultValue, bufferSize - 1);
  std::memcpy(buffer, value.data(), value.size());
  buffer[value.size()] = '\0';
  return value.size();
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, size_t maxChars) const {
  ProfileText text;
  std::string_view value = defaultValue;
  std::optional<std::string_view> found;
  if (Load(text) == 0) found = text.Find(section, key);
  if (found) value = *found;
  return std::string(value.substr(0, maxChars));
}

std::vector<std::string> ProfileFile::KeyNames(std::string_view section, size_t bufferBytes) const {
  ProfileText text;
  if (Load(text) != 0) return {};
  return FitNames(text.KeyNames(section), bufferBytes);
}

std::vector<std::string> ProfileFile::SectionNames(size_t bufferBytes) const {
  ProfileText text;
  if (Load(text) != 0) return {};
  return FitNames(text.SectionNames(), bufferBytes);
}

int ProfileFile::Update(const std::function<int(ProfileText&)>& change) {
  const std::string target = ResolvedTarget(m_path);
  if (const int created = EnsureFolder(ParentFolder(target)); created != 0) return created;
  int error = 0;
  const std::optional<FileLock> lock = FileLock::Acquire(LockFilePath(target), kLockWait, error);
  if (!lock) return error;
  ProfileText text;
  if (const int result = Load(text); result != 0) return result;
  const int changed = change(text);
  if (changed == kProfileUnchanged) return 0;
  if (changed != 0) return changed;
  return Store(text);
}

int ProfileFile::WriteString(std::string_view section, std::string_view key,
                             std::string_view value) {
  return Update([&](ProfileText& text) { return text.Write(section, key, value) ? 0 : EINVAL; });
}

int ProfileFile::DeleteKey(std::string_view section, std::string_view key) {
  return Update([&](ProfileText& text) { return text.DeleteKey(section, key) ? 0 : kProfileUnchanged; });
}

int ProfileFile::DeleteSection(std::string_view section) {
  return Update([&](ProfileText& text) { return text.DeleteSection(section) ? 0 : kProfileUnchanged; });
}

}  // namespace ztlive
