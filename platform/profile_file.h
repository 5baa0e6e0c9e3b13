// A profile (INI) file on disk with the classic profile-function semantics (see
// profile_text.h for the reading rules). There is no cache: every read parses the file anew
// and every write is on disk when it returns, so all readers see a change at once. A write
// replaces the file atomically (a temporary beside it, then a rename), so a crash never
// leaves a torn file and a reader sees the old or the new file, never a part. Writers, in
// this process or in others, take turns on the file's lock (see file_lock.h) and read the
// file afresh under it, so no writer loses another's keys. Readers take no lock. Results are
// 0 or an errno value; EWOULDBLOCK when another writer keeps the lock for too long.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile_text.h"

namespace ztlive {

inline constexpr int kProfileUnchanged = -1;

class ProfileFile {
 public:
  explicit ProfileFile(std::string path) : m_path(std::move(path)) {}

  const std::string& Path() const { return m_path; }

  // Copies the value (or defaultValue when the key is missing or the file unreadable) into
  // buffer, cut to bufferSize - 1 characters and terminated; returns the characters copied.
  size_t ReadString(std::string_view section, std::string_view key, std::string_view defaultValue,
                    char* buffer, size_t bufferSize) const;
  // The same as a string of at most maxChars characters.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue, size_t maxChars = 4095) const;
  // Key names of a section in file order, as many as fit whole into a name list of
  // bufferBytes (each name and the list's end take one terminating byte).
  std::vector<std::string> KeyNames(std::string_view section, size_t bufferBytes) const;
  // Section names, with the same limit.
  std::vector<std::string> SectionNames(size_t bufferBytes) const;

  // Writes a value (EINVAL for a name or value that cannot be stored, see ProfileText).
  // A file that exists but cannot be read is never overwritten.
  int WriteString(std::string_view section, std::string_view key, std::string_view value);
  // Removes a key; 0 also when it was not there.
  int DeleteKey(std::string_view section, std::string_view key);
  int DeleteSection(std::string_view section);

  // Several changes in one turn: change gets the current text, read under the lock, and
  // returns 0 to have it written, kProfileUnchanged to write nothing, or an errno value that
  // is returned without writing.
  int Update(const std::function<int(ProfileText&)>& change);

  // How long a writer waits for another writer's turn to end.
  static constexpr std::chrono::milliseconds kLockWait{10000};

  // The whole text; a missing file reads as empty.
  int Load(ProfileText& text) const;

 private:
  int Store(const ProfileText& text) const;

  std::string m_path;
};

// Reads a whole file into text; 0 or errno.
int ReadWholeFile(const std::string& path, std::string& text);
// Replaces path with contents through a temporary file in the same folder and a rename;
// 0 or errno. A missing folder is created; an existing file keeps its permission bits.
int ReplaceFileAtomically(const std::string& path, std::string_view contents);

}  // namespace ztlive
