#include "core/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace ztlive {

int FileIo::OpenFile(const std::string& path, bool write, Links links) {
  Close();
  // Non-blocking so that a pipe of that name is refused below instead of waited on.
  const int flags = (write ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK | (links == Links::Refuse ? O_NOFOLLOW : 0);
  const int fd = open(path.c_str(), flags);
  if (fd < 0) return errno;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const int error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    close(fd);
    return error;
  }
  // Regular files ignore the flag, but it is taken back so that nothing else ever sees it.
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  m_fd = fd;
  m_writable = write;
  return 0;
}

int FileIo::CreateNewFile(const std::string& path) {
  Close();
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  m_fd = fd;
  m_writable = true;
  return 0;
}

int FileIo::CreateUnpublishedFile(const std::string& path) {
  Close();
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0644);
  if (fd < 0) {
    // File systems without unnamed files: the name is taken at once.
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return CreateNewFile(path);
    return errno;
  }
  m_fd = fd;
  m_writable = true;
  m_unpublishedPath = path;
  return 0;
}

int FileIo::Publish() {
  if (m_unpublishedPath.empty() || m_fd < 0) return 0;
  // link() never replaces: a name taken meanwhile is left to whoever took it.
  const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
  int error = 0;
  if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, m_unpublishedPath.c_str(), AT_SYMLINK_FOLLOW) != 0) {
    error = errno;
    if (error == ENOENT && linkat(m_fd, "", AT_FDCWD, m_unpublishedPath.c_str(), AT_EMPTY_PATH) == 0) error = 0;
  }
  if (error == 0) m_unpublishedPath.clear();
  return error;
}

int FileIo::CreateFile(const std::string& path) {
  Close();
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  m_fd = fd;
  m_writable = true;
  return 0;
}

void FileIo::OpenMemory(size_t initialBytes, size_t growBytes) {
  Close();
  m_isMemory = true;
  m_writable = true;
  m_memory.assign(initialBytes, 0);
  m_memorySize = 0;
  m_growBytes = std::max<size_t>(growBytes, 1);
}

void FileIo::Close() {
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
  m_unpublishedPath.clear();
  m_isMemory = false;
  m_writable = false;
  m_memorySize = 0;
}

int64_t FileIo::ReadAt(uint64_t offset, void* data, size_t bytes) {
  if (m_isMemory) {
    if (offset >= m_memorySize) return 0;
    const size_t count = std::min<size_t>(bytes, m_memorySize - offset);
    std::memcpy(data, m_memory.data() + offset, count);
    return static_cast<int64_t>(count);
  }
  if (m_fd < 0) return -1;
  size_t done = 0;
  auto* target = static_cast<uint8_t*>(data);
  while (done < bytes) {
    const ssize_t got = pread(m_fd, target + done, bytes - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<int64_t>(done);
}

bool FileIo::WriteAt(uint64_t offset, const void* data, size_t bytes) {
  if (!m_writable) return false;
  if (m_isMemory) {
    const uint64_t needed = offset + bytes;
    if (needed > m_memory.size()) {
      const size_t steps = (needed - m_memory.size() + m_growBytes - 1) / m_growBytes;
      m_memory.resize(m_memory.size() + steps * m_growBytes, 0);
    }
    std::memcpy(m_memory.data() + offset, data, bytes);
    m_memorySize = std::max<size_t>(m_memorySize, needed);
    return true;
  }
  size_t done = 0;
  const auto* source = static_cast<const uint8_t*>(data);
  while (done < bytes) {
    const ssize_t written = pwrite(m_fd, source + done, bytes - done, static_cast<off_t>(offset + done));
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(written);
  }
  return true;
}

int64_t FileIo::Size() const {
  if (m_isMemory) return static_cast<int64_t>(m_memorySize);
  struct stat info {};
  if (m_fd < 0 || fstat(m_fd, &info) != 0) return -1;
  return info.st_size;
}

bool FileIo::Truncate(uint64_t bytes) {
  if (!m_writable) return false;
  if (m_isMemory) {
    m_memorySize = std::min<size_t>(m_memorySize, bytes);
    return true;
  }
  return ftruncate(m_fd, static_cast<off_t>(bytes)) == 0;
}

}  // namespace ztlive
