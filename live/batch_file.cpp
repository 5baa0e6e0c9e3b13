// The files of a batch job: its batch file read and written, a playlist read as its file
// list, and the MP3 entries it cannot process yet.
#include "live/batch_job.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include "document/staged_output.h"
#include "live/playlist.h"
#include "platform/ascii.h"
#include "platform/file_ops.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

// ---- Little-endian fields ----

void PutLittle(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Reads fields from the front of a byte span; every read fails (and stays failed) once the
// bytes run out.
class FieldReader {
 public:
  explicit FieldReader(std::span<const uint8_t> bytes) : m_bytes(bytes) {}

  bool Ok() const { return m_ok; }
  size_t Left() const { return m_bytes.size() - m_at; }

  uint64_t Unsigned(int bytes) {
    if (!Need(static_cast<size_t>(bytes))) return 0;
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= uint64_t{m_bytes[m_at + static_cast<size_t>(i)]} << (8 * i);
    m_at += static_cast<size_t>(bytes);
    return value;
  }
  int32_t Int32() { return static_cast<int32_t>(static_cast<uint32_t>(Unsigned(4))); }
  double Double() { return std::bit_cast<double>(Unsigned(8)); }

  // A string in the batch file's length encoding; a length beyond the bytes left fails.
  std::string String() {
    uint64_t length = Unsigned(1);
    if (length == 0xFF) {
      length = Unsigned(2);
      if (length == 0xFFFF) length = Unsigned(4);
    }
    if (!Need(length)) return {};
    std::string text(reinterpret_cast<const char*>(m_bytes.data() + m_at), length);
    m_at += length;
    return text;
  }

 private:
  bool Need(uint64_t count) {
    if (m_ok && count > Left()) m_ok = false;
    return m_ok;
  }

  std::span<const uint8_t> m_bytes;
  size_t m_at = 0;
  bool m_ok = true;
};

// ---- Files ----

// The whole of a regular file of at most maxBytes, or nothing.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, uint64_t maxBytes) {
  const int fd = OpenRegularFile(path);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  if (fstat(fd, &info) != 0 || static_cast<uint64_t>(info.st_size) > maxBytes) {
    close(fd);
    return std::nullopt;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(info.st_size));
  const size_t got = ReadFully(fd, bytes.data(), bytes.size());
  close(fd);
  if (got != bytes.size()) return std::nullopt;
  return bytes;
}

bool WriteFully(int fd, const uint8_t* bytes, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t put = write(fd, bytes + done, count - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

// Writes bytes into the staged file: 0 or errno.
int WriteStaged(const std::string& writePath, const std::vector<uint8_t>& bytes) {
  const int fd = open(writePath.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno;
  errno = 0;
  int failure = WriteFully(fd, bytes.data(), bytes.size()) ? 0 : (errno != 0 ? errno : EIO);
  if (close(fd) != 0 && failure == 0) failure = errno;
  return failure;
}

// An existing file a save may replace: an empty one or a batch file.
bool MayReplace(const std::string& path) {
  const int fd = OpenRegularFile(path);
  if (fd < 0) return false;
  uint8_t head[1 + kBatchFileMagic.size()] = {};
  const size_t got = ReadFully(fd, head, sizeof head);
  close(fd);
  return got == 0 || (got == sizeof head && head[0] == kBatchFileMagic.size() &&
                      std::memcmp(head + 1, kBatchFileMagic.data(), kBatchFileMagic.size()) == 0);
}

}  // namespace

// ---- The batch file ----

void AppendBatchString(std::vector<uint8_t>& out, std::string_view text) {
  const uint64_t length = text.size();
  if (length < 0xFF) {
    PutLittle(out, length, 1);
  } else if (length <= 0xFFFD) {
    PutLittle(out, 0xFF, 1);
    PutLittle(out, length, 2);
  } else {
    PutLittle(out, 0xFF, 1);
    PutLittle(out, 0xFFFF, 2);
    PutLittle(out, length, 4);
  }
  out.insert(out.end(), text.begin(), text.end());
}

std::vector<uint8_t> EncodeBatchFile(const BatchJob& job) {
  std::vector<uint8_t> out;
  AppendBatchString(out, kBatchFileMagic);
  PutLittle(out, static_cast<uint32_t>(job.filterType), 4);
  PutLittle(out, static_cast<uint32_t>(job.regionMode), 4);
  for (const double seconds : {job.firstSeconds, job.lastSeconds, job.rangeFrom, job.rangeTo})
    PutLittle(out, std::bit_cast<uint64_t>(seconds), 8);
  AppendBatchString(out, job.presetName);
  PutLittle(out, static_cast<uint32_t>(job.files.size()), 4);
  for (const std::string& file : job.files) AppendBatchString(out, file);
  return out;
}

BatchLoadResult DecodeBatchFile(std::span<const uint8_t> bytes, BatchJob& job) {
  std::vector<uint8_t> magic;
  AppendBatchString(magic, kBatchFileMagic);
  if (bytes.size() < magic.size()) {
    // Cut off inside the magic: a damaged batch file; anything else is another kind of file.
    const bool cutMagic = std::equal(bytes.begin(), bytes.end(), magic.begin());
    return cutMagic ? BatchLoadResult::CannotOpen : BatchLoadResult::WrongMagic;
  }
  if (!std::equal(magic.begin(), magic.end(), bytes.begin())) return BatchLoadResult::WrongMagic;
  FieldReader reader(bytes.subspan(magic.size()));
  BatchJob read = job;
  read.filterType = reader.Int32();
  read.regionMode = reader.Int32();
  read.firstSeconds = reader.Double();
  read.lastSeconds = reader.Double();
  read.rangeFrom = reader.Double();
  read.rangeTo = reader.Double();
  read.presetName = reader.String();
  const int32_t count = reader.Int32();
  if (!reader.Ok() || count < 0 || count > kMaxBatchFiles) return BatchLoadResult::CannotOpen;
  // Every path takes at least its length byte: a count beyond the bytes left is damage.
  if (static_cast<uint64_t>(count) > reader.Left()) return BatchLoadResult::CannotOpen;
  read.files.clear();
  for (int32_t i = 0; i < count && reader.Ok(); ++i) read.files.push_back(reader.String());
  if (!reader.Ok()) return BatchLoadResult::CannotOpen;
  job = std::move(read);
  return BatchLoadResult::Loaded;
}

bool IsPlaylistName(std::string_view path) {
  const size_t slash = path.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  return dot != std::string_view::npos && name.substr(dot + 1) == "wls";
}

BatchLoadResult LoadPlaylistAsFileList(const std::string& path, std::vector<std::string>& files) {
  const int fd = OpenRegularFile(path);
  if (fd < 0) return BatchLoadResult::CannotOpen;
  struct stat info {};
  const uint64_t length = fstat(fd, &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
  uint8_t header[kPlaylistHeaderBytes];
  if (ReadFully(fd, header, sizeof header) != sizeof header || !IsPlaylistHeader(header, sizeof header)) {
    close(fd);
    return BatchLoadResult::CannotOpen;
  }
  // At most length / 524 records (the header counted in the length), to the first short one.
  std::vector<std::string> read;
  uint8_t record[kPlaylistRecordBytes];
  for (uint64_t i = 0; i < length / kPlaylistRecordBytes; ++i) {
    if (ReadFully(fd, record, sizeof record) != sizeof record) break;
    read.push_back(DecodePlaylistRecord(record).path);
  }
  close(fd);
  files = std::move(read);
  return BatchLoadResult::Loaded;
}

BatchLoadResult LoadBatchJob(const std::string& path, BatchJob& job) {
  if (IsPlaylistName(path)) return LoadPlaylistAsFileList(path, job.files);
  const std::optional<std::vector<uint8_t>> bytes = ReadWholeFile(path, kMaxBatchFileBytes);
  if (!bytes) return BatchLoadResult::CannotOpen;
  return DecodeBatchFile(*bytes, job);
}

std::string BatchLoadMessage(BatchLoadResult result) {
  if (result != BatchLoadResult::CannotOpen) return {};
  return std::string(StringText(StringId::kStreamCannotOpen));
}

std::string NotABatchFileMessage(const std::string& path) { return FormatText(StringId::kBatchNotABatchFile, {path}); }

std::string SaveBatchJob(const std::string& path, const BatchJob& job) {
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0) {
    if (S_ISLNK(info.st_mode)) return FormatText(StringId::kBatchFileIsLink, {path});
    if (S_ISREG(info.st_mode) && !MayReplace(path)) return FormatText(StringId::kBatchFileNotOurs, {path});
  }
  const std::vector<uint8_t> bytes = EncodeBatchFile(job);
  std::string error;
  std::optional<StagedOutput> output = StagedOutput::Begin(path, false, error);
  if (!output) return error;
  if (const int failure = WriteStaged(output->WritePath(), bytes); failure != 0) {
    output->Abandon();
    return FormatText(StringId::kOutputNotWritten, {path, SystemErrorText(failure)});
  }
  return output->Commit();
}

bool IsMp3(const std::string& path) {
  const std::string_view name = std::string_view(path).substr(path.rfind('/') + 1);
  if (name.size() > 4 && EqualsIgnoringCase(name.substr(name.size() - 4), ".mp3")) return true;
  const int fd = OpenRegularFile(path);
  if (fd < 0) return false;
  uint8_t head[3] = {};
  const size_t got = ReadFully(fd, head, sizeof head);
  close(fd);
  if (got >= 3 && std::memcmp(head, "ID3", 3) == 0) return true;
  // An MPEG audio frame's sync bits with layer III.
  return got >= 2 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0 && (head[1] & 0x06) == 0x02;
}

std::string Mp3RefusedMessage(const std::string& path) { return FormatText(StringId::kBatchMp3Refused, {path}); }

}  // namespace ztlive
