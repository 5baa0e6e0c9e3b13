#include "live/playlist.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>

#include "core/run_state.h"
#include "core/wave_stream.h"
#include "document/staged_output.h"
#include "platform/file_ops.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

constexpr size_t kDateOffset = 32;
constexpr size_t kTimeOffset = 42;

void PutLittle32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLittle32(const uint8_t* at) {
  return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

bool WriteFully(int fd, const uint8_t* bytes, size_t count) {
  errno = 0;
  size_t done = 0;
  while (done < count) {
    const ssize_t put = write(fd, bytes + done, count - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

// Opens the wave file only to read its format into the entry. The stream's result code.
int ProbeWave(PlaylistEntry& entry) {
  RunState run;
  WaveStream stream(64, 0, run);
  const int result = stream.Open(entry.path, kOpenRead);
  entry.available = result == kStreamOk;
  if (!entry.available) return result;
  const WaveFormat& format = stream.Format();
  entry.channels = format.channels;
  entry.sampleRate = format.sampleRate;
  entry.bitsPerSample = format.bitsPerSample;
  entry.blockAlign = format.blockAlign;
  entry.fileDataBytes = stream.DataBytes();
  entry.trueMs = TruePlayingMs(entry.fileDataBytes, entry.blockAlign, entry.sampleRate);
  return kStreamOk;
}

// The full path of a name given relative to the working folder. "." steps are taken out;
// ".." steps stay, since "link/.." need not be the folder the name starts in.
std::string FullPath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) return path;
  for (const std::filesystem::path& part : absolute)
    if (part == "..") return absolute.string();
  return absolute.lexically_normal().string();
}

// An existing file that a save may replace: an empty one or a playlist.
bool MayReplace(const std::string& path) {
  const int fd = OpenRegularFile(path);
  if (fd < 0) return false;
  uint8_t head[kPlaylistMagic.size() + 1] = {};
  const size_t got = ReadFully(fd, head, sizeof head);
  struct stat info {};
  const bool empty = fstat(fd, &info) == 0 && info.st_size == 0;
  close(fd);
  return empty || IsPlaylistHeader(head, got);
}

}  // namespace

int32_t StoredPlayingMs(uint64_t dataBytes, int channels, uint32_t sampleRate) {
  if (channels <= 0 || sampleRate == 0) return 0;
  const uint64_t ms = dataBytes * 1000 / (static_cast<uint64_t>(channels) * sampleRate * 2);
  return static_cast<int32_t>(std::min<uint64_t>(ms, std::numeric_limits<int32_t>::max()));
}

int64_t TruePlayingMs(uint64_t dataBytes, int blockAlign, uint32_t sampleRate) {
  if (blockAlign <= 0 || sampleRate == 0) return 0;
  const uint64_t frames = dataBytes / static_cast<uint64_t>(blockAlign);
  return static_cast<int64_t>(frames * 1000 / sampleRate);
}

std::string PlayingTimeText(int64_t ms) {
  char text[48];
  std::snprintf(text, sizeof text, "%02d:%05.3f", static_cast<int>(ms / 60000), static_cast<double>(ms % 60000) * 0.001);
  return text;
}

std::vector<uint8_t> EncodePlaylistHeader(const std::tm& saved) {
  std::vector<uint8_t> header(kPlaylistHeaderBytes, 0);
  std::memcpy(header.data(), kPlaylistMagic.data(), kPlaylistMagic.size());
  char date[16];
  char time[16];
  std::snprintf(date, sizeof date, "%02d/%02d/%02d", (saved.tm_mon + 1) % 100, saved.tm_mday % 100,
                (saved.tm_year + 1900) % 100);
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", saved.tm_hour % 100, saved.tm_min % 100, saved.tm_sec % 100);
  std::memcpy(header.data() + kDateOffset, date, 8);
  std::memcpy(header.data() + kTimeOffset, time, 8);
  return header;
}

bool IsPlaylistHeader(const uint8_t* bytes, size_t length) {
  const size_t text = kPlaylistMagic.size();
  return length > text && std::memcmp(bytes, kPlaylistMagic.data(), text) == 0 && bytes[text] == 0;
}

void EncodePlaylistRecord(const PlaylistEntry& entry, uint8_t* record) {
  std::memset(record, 0, kPlaylistRecordBytes);
  std::memcpy(record, entry.path.data(), std::min(entry.path.size(), kPlaylistPathBytes - 1));
  PutLittle32(record + 512, 0);
  PutLittle32(record + 516, entry.dataBytes);
  PutLittle32(record + 520, static_cast<uint32_t>(entry.storedMs));
}

PlaylistEntry DecodePlaylistRecord(const uint8_t* record) {
  PlaylistEntry entry;
  const auto* text = reinterpret_cast<const char*>(record);
  entry.path.assign(text, strnlen(text, kPlaylistPathBytes));
  entry.dataBytes = GetLittle32(record + 516);
  entry.storedMs = static_cast<int32_t>(GetLittle32(record + 520));
  return entry;
}

bool ReadEntryFormat(PlaylistEntry& entry) { return ProbeWave(entry) == kStreamOk; }

Playlist::OpenResult Playlist::Open(const std::string& path) {
  m_entries.clear();
  m_modified = false;
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 && errno == ENOENT) return OpenResult::Missing;
  const int fd = OpenRegularFile(path);
  if (fd < 0) {
    m_prompts.Show(StringText(StringId::kStreamCannotOpen), "", PromptIcon::Error);
    return OpenResult::CannotOpen;
  }
  struct stat opened {};
  const uint64_t length = fstat(fd, &opened) == 0 ? static_cast<uint64_t>(opened.st_size) : 0;
  if (length < kPlaylistRecordBytes) {
    close(fd);
    return OpenResult::Opened;
  }
  uint8_t header[kPlaylistHeaderBytes];
  if (ReadFully(fd, header, sizeof header) != sizeof header || !IsPlaylistHeader(header, sizeof header)) {
    close(fd);
    m_prompts.Show(StringText(StringId::kPlaylistWrongType), "", PromptIcon::Error);
    return OpenResult::WrongType;
  }
  uint8_t record[kPlaylistRecordBytes];
  for (uint64_t i = 0; i < length / kPlaylistRecordBytes; ++i) {
    if (ReadFully(fd, record, sizeof record) != sizeof record) break;
    PlaylistEntry entry = DecodePlaylistRecord(record);
    ReadEntryFormat(entry);
    m_entries.push_back(std::move(entry));
  }
  close(fd);
  return OpenResult::Opened;
}

bool Playlist::AddEntry(const std::string& wavePath) {
  PlaylistEntry entry;
  entry.path = FullPath(wavePath);
  if (entry.path.size() >= kPlaylistPathBytes) {
    m_prompts.Show(FormatText(StringId::kPlaylistPathTooLong, {entry.path, std::to_string(kPlaylistPathBytes - 1)}), "",
                   PromptIcon::Error);
    return false;
  }
  if (const int result = ProbeWave(entry); result != kStreamOk) {
    ReportStreamError(m_prompts, result);
    m_prompts.Show(StringText(StringId::kPlaylistWrongType), "", PromptIcon::Error);
    return false;
  }
  entry.dataBytes = static_cast<uint32_t>(std::min<uint64_t>(entry.fileDataBytes, std::numeric_limits<uint32_t>::max()));
  entry.storedMs = StoredPlayingMs(entry.dataBytes, entry.channels, entry.sampleRate);
  m_entries.push_back(std::move(entry));
  m_modified = true;
  return true;
}

bool Playlist::Delete(int index) {
  if (index < 0 || index >= Count()) return false;
  m_entries.erase(m_entries.begin() + index);
  m_modified = true;
  return true;
}

bool Playlist::MoveUp(int index) {
  if (index <= 0 || index >= Count()) return false;
  std::swap(m_entries[static_cast<size_t>(index)], m_entries[static_cast<size_t>(index - 1)]);
  m_modified = true;
  return true;
}

bool Playlist::MoveDown(int index) {
  if (index < 0 || index + 1 >= Count()) return false;
  std::swap(m_entries[static_cast<size_t>(index)], m_entries[static_cast<size_t>(index + 1)]);
  m_modified = true;
  return true;
}

void Playlist::Clear() {
  m_entries.clear();
  m_modified = false;
}

int64_t Playlist::TotalMs() const {
  int64_t total = 0;
  for (const PlaylistEntry& entry : m_entries) total += entry.ShownMs();
  return total;
}

int Playlist::WriteFile(const std::string& writePath) const {
  const int fd = open(writePath.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::vector<uint8_t> bytes = EncodePlaylistHeader(local);
  bytes.resize(kPlaylistHeaderBytes + kPlaylistRecordBytes * m_entries.size());
  for (size_t i = 0; i < m_entries.size(); ++i)
    EncodePlaylistRecord(m_entries[i], bytes.data() + kPlaylistHeaderBytes + i * kPlaylistRecordBytes);
  int failure = WriteFully(fd, bytes.data(), bytes.size()) ? 0 : (errno != 0 ? errno : EIO);
  if (close(fd) != 0 && failure == 0) failure = errno;
  return failure;
}

bool Playlist::Save(const std::string& path) {
  if (path.empty()) {
    m_prompts.Show(StringText(StringId::kPlaylistNameBlank), "", PromptIcon::Error);
    return false;
  }
  // Every refusal names its reason first, then says the list could not be written.
  const auto refuse = [this](const std::string& reason) {
    m_prompts.Show(reason, "", PromptIcon::Error);
    m_prompts.Show(StringText(StringId::kPlaylistWrongType), "", PromptIcon::Error);
    return false;
  };
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0) {
    if (S_ISLNK(info.st_mode)) return refuse(FormatText(StringId::kPlaylistIsLink, {path}));
    if (S_ISREG(info.st_mode) && !MayReplace(path)) return refuse(FormatText(StringId::kPlaylistNotAPlaylist, {path}));
  }
  std::string error;
  std::optional<StagedOutput> output = StagedOutput::Begin(path, false, error);
  if (!output) return refuse(error);
  if (const int failure = WriteFile(output->WritePath()); failure != 0) {
    output->Abandon();
    return refuse(FormatText(StringId::kOutputNotWritten, {path, SystemErrorText(failure)}));
  }
  if (const std::string failure = output->Commit(); !failure.empty()) return refuse(failure);
  m_modified = false;
  return true;
}

}  // namespace ztlive
