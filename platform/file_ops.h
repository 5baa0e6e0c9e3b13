// File functions of the platform: free disk space, copy, move, delete and the system's error
// texts. Results are 0 or an errno value, turned into words by SystemErrorText.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ztlive {

// Bytes available to this user on the file system that holds path.
int DiskFreeBytes(const std::string& path, uint64_t& bytes);
// Copies a file. The copy is written beside its destination under a temporary name and put in
// place when complete, so a failed copy never leaves a partial file. With failIfExists an
// existing destination is an error (EEXIST) and stays untouched.
int CopyFile(const std::string& from, const std::string& to, bool failIfExists);
// Moves a file, across file systems too (copy, then delete). With failIfExists an existing
// destination is an error (EEXIST).
int MoveFile(const std::string& from, const std::string& to, bool failIfExists);
int DeleteFile(const std::string& path);
bool FileExists(const std::string& path);
// Opens an existing regular file for reading (a pipe of that name is refused, not waited on).
// The descriptor, or -1 with errno set.
int OpenRegularFile(const std::string& path);
// Reads up to count bytes; fewer only at the end of the file or on an error.
size_t ReadFully(int fd, uint8_t* bytes, size_t count);
// The system's text for an errno value, e.g. "No space left on device".
std::string SystemErrorText(int error);

}  // namespace ztlive
