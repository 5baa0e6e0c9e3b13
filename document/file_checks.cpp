#include "document/file_checks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "core/peak_file.h"
#include "core/wave_stream.h"
#include "platform/file_ops.h"
#include "platform/folders.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

constexpr uint16_t kTagFloat = 3;
constexpr uint16_t kTagExtensible = 0xFFFE;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// What the first bytes of a file say it is.
enum class Kind { Wave, Mp3, Flac, Other };

Kind KindOf(const uint8_t* head, ssize_t length) {
  if (length >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0) return Kind::Wave;
  if (length >= 4 && std::memcmp(head, "fLaC", 4) == 0) return Kind::Flac;
  if (length >= 3 && std::memcmp(head, "ID3", 3) == 0) return Kind::Mp3;
  // An MPEG audio frame starts with 11 set sync bits; layer bits 01 is layer III.
  if (length >= 2 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0 && (head[1] & 0x06) == 0x02) return Kind::Mp3;
  return Kind::Other;
}

// The format tag of a wave file's "fmt " chunk (for an extensible one, its sub-format's), or 0.
uint16_t SampleFormatTag(int fd) {
  uint64_t offset = 12;
  for (int chunk = 0; chunk < 64; ++chunk) {
    uint8_t header[8];
    if (pread(fd, header, sizeof header, static_cast<off_t>(offset)) != 8) return 0;
    const uint32_t size = Le32(header + 4);
    if (std::memcmp(header, "fmt ", 4) == 0) {
      std::array<uint8_t, 40> body{};
      const ssize_t got = pread(fd, body.data(), std::min<size_t>(size, body.size()), static_cast<off_t>(offset + 8));
      if (got < 16) return 0;
      const uint16_t tag = Le16(body.data());
      return tag == kTagExtensible && got >= 26 ? Le16(body.data() + 24) : tag;
    }
    offset += 8 + size + (size & 1);
  }
  return 0;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  if (stat(a.c_str(), &first) != 0 || stat(b.c_str(), &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::string DescribeOutputProblem(const std::string& path) {
  if (IsPeakFileName(path)) return FormatText(StringId::kPeakFileNameForWave, {path});
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return FormatText(StringId::kOutputIsFolder, {path});
    if (!S_ISREG(info.st_mode)) return FormatText(StringId::kOutputNotAFile, {path});
  } else if (errno == ENOTDIR) {
    return FormatText(StringId::kOutputFolderMissing, {path, ParentFolder(path)});
  }
  const std::string folder = ParentFolder(path);
  struct stat folderInfo {};
  if (stat(folder.c_str(), &folderInfo) != 0 || !S_ISDIR(folderInfo.st_mode))
    return FormatText(StringId::kOutputFolderMissing, {path, folder});
  if (access(folder.c_str(), W_OK | X_OK) != 0)
    return FormatText(StringId::kOutputFolderNotWritable, {path, folder, SystemErrorText(errno)});
  return {};
}

std::string DescribeInputProblem(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return FormatText(StringId::kInputNotReadable, {path, SystemErrorText(errno)});
  struct stat info {};
  uint8_t head[12] = {};
  const bool folder = fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
  const ssize_t length = folder ? 0 : pread(fd, head, sizeof head, 0);
  const Kind kind = KindOf(head, length);
  const uint16_t tag = kind == Kind::Wave ? SampleFormatTag(fd) : 0;
  close(fd);
  if (folder) return FormatText(StringId::kInputIsFolder, {path});
  if (kind == Kind::Mp3) return FormatText(StringId::kInputIsMp3, {path});
  if (kind == Kind::Flac) return FormatText(StringId::kInputIsFlac, {path});
  if (kind != Kind::Wave) return FormatText(StringId::kInputNotWave, {path});
  if (tag == kTagFloat) return FormatText(StringId::kInputIsFloat, {path});

  RunState run;
  WaveStream probe(64, 0, run);
  if (probe.Open(path, kOpenRead) != kStreamOk) return FormatText(StringId::kInputWaveNotSupported, {path});
  if (probe.Format().bitsPerSample == 32) return FormatText(StringId::kInputIs32Bit, {path});
  return {};
}

}  // namespace ztlive
