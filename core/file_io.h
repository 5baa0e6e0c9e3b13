// Positioned reads and writes on a file or on a growing block of memory (the memory file
// that a stream without a name writes into). Results: 0 or errno for opening, byte counts or
// -1 for reads, true or false for writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ztlive {

class FileIo {
 public:
  FileIo() = default;
  ~FileIo() { Close(); }
  FileIo(const FileIo&) = delete;
  FileIo& operator=(const FileIo&) = delete;

  enum class Links { Follow, Refuse };
  // An existing regular file, for reading, or for reading and writing. With Links::Refuse a
  // path that names a symbolic link is not opened (ELOOP). Anything but a regular file (a
  // folder, a pipe, a device) is refused without waiting on it.
  int OpenFile(const std::string& path, bool write, Links links = Links::Follow);
  // A new or emptied file for reading and writing.
  int CreateFile(const std::string& path);
  // A file that must not exist yet (EEXIST otherwise, also for a link of that name).
  int CreateNewFile(const std::string& path);
  // A file that will be given path by Publish, once its first bytes are written, so that a
  // writer killed before then leaves nothing under the name. Until then it has no name (where
  // the file system cannot do that, it is created under path at once, as by CreateNewFile).
  int CreateUnpublishedFile(const std::string& path);
  // Gives the file from CreateUnpublishedFile its name: 0, EEXIST when the name was taken
  // meanwhile (whatever is there stays as it was), or another errno. Nothing to do otherwise.
  int Publish();
  bool IsUnpublished() const { return !m_unpublishedPath.empty(); }
  // A memory file with room for initialBytes, growing by growBytes at a time.
  void OpenMemory(size_t initialBytes, size_t growBytes);
  void Close();

  bool IsOpen() const { return m_fd >= 0 || m_isMemory; }
  bool IsMemory() const { return m_isMemory; }
  bool IsWritable() const { return m_writable; }

  int64_t ReadAt(uint64_t offset, void* data, size_t bytes);
  bool WriteAt(uint64_t offset, const void* data, size_t bytes);
  // Current length in bytes, or -1.
  int64_t Size() const;
  bool Truncate(uint64_t bytes);
  // The bytes a memory file holds (not the room reserved for it).
  std::span<const uint8_t> Memory() const { return {m_memory.data(), m_memorySize}; }

 private:
  int m_fd = -1;
  bool m_isMemory = false;
  bool m_writable = false;
  std::vector<uint8_t> m_memory;
  size_t m_memorySize = 0;  // bytes in use; m_memory.size() is the room
  size_t m_growBytes = 0;
  std::string m_unpublishedPath;  // the name Publish gives; empty once it has one
};

}  // namespace ztlive
