#include "platform/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/folders.h"

namespace ztlive {

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : m_fd(fd) {}
  ~FileDescriptor() {
    if (m_fd >= 0) close(m_fd);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return m_fd; }
  int Close() {
    const int result = close(m_fd) == 0 ? 0 : errno;
    m_fd = -1;
    return result;
  }

 private:
  int m_fd;
};

int CopyContents(int source, int destination) {
  std::vector<char> buffer(1 << 18);
  for (;;) {
    const ssize_t got = read(source, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (got == 0) return 0;
    for (ssize_t done = 0; done < got;) {
      const ssize_t written = write(destination, buffer.data() + done, static_cast<size_t>(got - done));
      if (written < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      done += written;
    }
  }
}

}  // namespace

int DiskFreeBytes(const std::string& path, uint64_t& bytes) {
  struct statvfs info {};
  if (statvfs(path.c_str(), &info) != 0) return errno;
  bytes = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
  return 0;
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

int CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
  FileDescriptor source(open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (source.Get() < 0) return errno;
  struct stat info {};
  if (fstat(source.Get(), &info) != 0) return errno;
  if (failIfExists && access(to.c_str(), F_OK) == 0) return EEXIST;

  std::string temporary = ParentFolder(to) + "/.ztlive-copy.XXXXXX";
  FileDescriptor destination(mkostemp(temporary.data(), O_CLOEXEC));
  if (destination.Get() < 0) return errno;
  int result = CopyContents(source.Get(), destination.Get());
  if (result == 0 && fchmod(destination.Get(), info.st_mode & 0777) != 0) result = errno;
  if (result == 0 && fsync(destination.Get()) != 0) result = errno;
  if (const int closed = destination.Close(); result == 0) result = closed;
  if (result == 0) {
    // link() refuses an existing name, which keeps failIfExists exact even against a race.
    if (failIfExists) {
      if (link(temporary.c_str(), to.c_str()) != 0) result = errno;
    } else if (rename(temporary.c_str(), to.c_str()) != 0) {
      result = errno;
    }
  }
  unlink(temporary.c_str());
  return result;
}

int MoveFile(const std::string& from, const std::string& to, bool failIfExists) {
  if (failIfExists) {
    if (access(to.c_str(), F_OK) == 0) return EEXIST;
    if (link(from.c_str(), to.c_str()) == 0) return unlink(from.c_str()) == 0 ? 0 : errno;
    if (errno != EXDEV && errno != EPERM) return errno;
  } else {
    if (rename(from.c_str(), to.c_str()) == 0) return 0;
    if (errno != EXDEV) return errno;
  }
  if (const int copied = CopyFile(from, to, failIfExists); copied != 0) return copied;
  return unlink(from.c_str()) == 0 ? 0 : errno;
}

int DeleteFile(const std::string& path) { return unlink(path.c_str()) == 0 ? 0 : errno; }

std::string SystemErrorText(int error) {
  char buffer[256];
  // The GNU strerror_r returns its text, which may or may not be the buffer.
  return strerror_r(error, buffer, sizeof buffer);
}

// Opens an existing regular file for reading (a pipe of that name is refused, not waited on).
// The descriptor, or -1 with errno set.
int OpenRegularFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

// Reads up to count bytes; fewer only at the end of the file or on an error.
size_t ReadFully(int fd, uint8_t* bytes, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t got = read(fd, bytes + done, count - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

}  // namespace ztlive
