// Playlists: an ordered list of wave files kept in a binary .wls file.
//
// A .wls file is a 192-byte header followed by one 524-byte record per file, all integers
// little-endian:
//
//   header  0  32  "ZAnto WaveList Ver 1.00 1997", zero-terminated, then zeros
//          32  10  date of saving, "MM/DD/YY", zero-terminated
//          42  22  time of saving, "HH:MM:SS", zero-terminated, then zeros
//          64  64  an empty text
//         128  64  an empty text
//   record  0 512  the file's full path, zero-terminated, zeros after it
//         512   4  0
//         516   4  size of the file's data chunk in bytes
//         520   4  playing time in ms, counted at two bytes per sample whatever the width
//
// The stored time is written as the format has it, but counts an 8-bit file half and a
// 24-bit file one and a half times its length. The time shown is the true one, read from the
// wave's own header when an entry is added or the list is opened; an entry whose file cannot
// be read shows the stored time and is marked unavailable.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "platform/prompts.h"

namespace ztlive {

inline constexpr size_t kPlaylistHeaderBytes = 192;
inline constexpr size_t kPlaylistRecordBytes = 524;
inline constexpr size_t kPlaylistPathBytes = 512;
inline constexpr std::string_view kPlaylistMagic = "ZAnto WaveList Ver 1.00 1997";

struct PlaylistEntry {
  std::string path;
  uint32_t dataBytes = 0;  // as stored
  int32_t storedMs = 0;    // as stored
  // The file's own format, when it could be read.
  bool available = false;
  int channels = 0;
  uint32_t sampleRate = 0;
  int bitsPerSample = 0;
  int blockAlign = 0;
  uint64_t fileDataBytes = 0;
  int64_t trueMs = 0;

  // The playing time shown: the true one, or the stored one (a damaged negative one as 0)
  // when the file cannot be read.
  int64_t ShownMs() const { return available ? trueMs : std::max<int64_t>(storedMs, 0); }
};

// The stored time: dataBytes x 1000 / (channels x rate x 2), truncated; 0 without channels
// or rate; held to the field's range.
int32_t StoredPlayingMs(uint64_t dataBytes, int channels, uint32_t sampleRate);
// The true time of whole frames, truncated to milliseconds.
int64_t TruePlayingMs(uint64_t dataBytes, int blockAlign, uint32_t sampleRate);
// "MM:S.SSS" as "%02d:%05.3f": whole minutes, then the seconds left with three decimals.
std::string PlayingTimeText(int64_t ms);

// The 192 header bytes for a list saved at the given local time.
std::vector<uint8_t> EncodePlaylistHeader(const std::tm& saved);
// True when the header's zero-terminated text is the magic.
bool IsPlaylistHeader(const uint8_t* bytes, size_t length);
// One 524-byte record; a path longer than 511 bytes is cut (AddEntry refuses such paths).
void EncodePlaylistRecord(const PlaylistEntry& entry, uint8_t* record);
PlaylistEntry DecodePlaylistRecord(const uint8_t* record);

// Reads the entry's file header into its format fields and true time; false (unavailable)
// when the file cannot be opened as a wave file. Shows nothing.
bool ReadEntryFormat(PlaylistEntry& entry);

class Playlist {
 public:
  enum class OpenResult {
    Opened,      // the list was read (possibly empty)
    Missing,     // no such file: the list is empty
    CannotOpen,  // shown; the editor closes
    WrongType,   // shown; the list is empty
  };

  explicit Playlist(Prompts& prompts) : m_prompts(prompts) {}

  // Reads the list at path in place of the entries held; modified is cleared.
  OpenResult Open(const std::string& path);
  // Adds a wave file at the end; false after showing why it cannot be.
  bool AddEntry(const std::string& wavePath);
  // Removal and moves of the entry at index: false (and nothing changes) when there is none
  // to remove or nowhere to move it.
  bool Delete(int index);
  bool MoveUp(int index);
  bool MoveDown(int index);
  // Writes the list to path, whole or not at all; false after showing why it was not saved.
  bool Save(const std::string& path);
  void Clear();

  const std::vector<PlaylistEntry>& Entries() const { return m_entries; }
  int Count() const { return static_cast<int>(m_entries.size()); }
  bool Modified() const { return m_modified; }
  // The sum of the shown times, and its text.
  int64_t TotalMs() const;
  std::string TotalText() const { return PlayingTimeText(TotalMs()); }

 private:
  // Writes header and records into the staged file: 0 or errno.
  int WriteFile(const std::string& writePath) const;

  Prompts& m_prompts;
  std::vector<PlaylistEntry> m_entries;
  bool m_modified = false;
};

}  // namespace ztlive
