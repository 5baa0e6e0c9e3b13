#include "core/wave_ranges.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>

#include "core/temp_files.h"
#include "core/wave_stream.h"
#include "platform/file_ops.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

constexpr size_t kPieceBytes = 4096;
constexpr int kBlockSize = 4096;

uint64_t FloorToFrame(uint64_t offset, int blockAlign) {
  const auto frame = static_cast<uint64_t>(std::max(blockAlign, 1));
  return offset - offset % frame;
}

void ShowWriteError(Prompts& prompts, const std::string& path) {
  prompts.Show(FormatText(StringId::kRangeWriteError, {path}), "", PromptIcon::Warning);
}

void ShowReadError(Prompts& prompts) { prompts.Show(StringText(StringId::kRangeReadError), "", PromptIcon::Warning); }

}  // namespace

int ReadWaveInfo(const std::string& path, WaveInfo& info, Prompts& prompts) {
  RunState run;
  WaveStream stream(kBlockSize, kBlockSize, run);
  const int result = stream.Open(path, kOpenRead);
  if (result != kStreamOk) {
    ReportStreamError(prompts, result);
    return result;
  }
  const WaveFormat& format = stream.Format();
  info = {stream.DataBytes(), format.channels, format.sampleRate, format.blockAlign, format.bitsPerSample};
  return kStreamOk;
}

int CopyRange(const std::string& source, const std::string& destination, uint64_t from, uint64_t to,
              uint64_t destFrom, uint64_t destTo, Prompts& prompts) {
  RunState run;
  WaveStream input(kBlockSize, kBlockSize, run);
  WaveStream output(kBlockSize, kBlockSize, run);
  if (!input.HasBuffers() || !output.HasBuffers()) {
    prompts.Show(StringText(StringId::kNoMemory), "", PromptIcon::Warning);
    return 0;
  }
  if (const int result = input.Open(source, kOpenRead); result != kStreamOk) {
    ReportStreamError(prompts, result);
    return 0;
  }
  WaveFormat format = input.Format();
  if (output.Create(destination, format, kCreateNoIoBuffer) != kStreamOk) {
    ShowWriteError(prompts, destination);
    return 0;
  }
  // Bytes are copied as they are: both files must have the same frame layout.
  if (format.blockAlign != input.Format().blockAlign) {
    ReportStreamError(prompts, kStreamBadFormat);
    return 0;
  }

  const int frame = input.Format().blockAlign;
  if (to == 0) to = input.DataBytes();
  from = FloorToFrame(from, frame);
  to = FloorToFrame(to, frame);
  if (destTo == 0) destTo = destFrom + (to > from ? to - from : 0);
  destFrom = FloorToFrame(destFrom, frame);
  destTo = FloorToFrame(destTo, frame);
  if (to < from || to > input.DataBytes() || destFrom > output.DataBytes() || destTo < destFrom ||
      input.SeekData(static_cast<int64_t>(from), 0) < 0 || output.SeekData(static_cast<int64_t>(destFrom), 0) < 0) {
    prompts.Show(StringText(StringId::kRangeSeekError), "", PromptIcon::Warning);
    return 0;
  }
  const uint64_t count = std::min(to - from, destTo - destFrom);
  const bool grows = destFrom + count > output.DataBytes();

  uint8_t piece[kPieceBytes];
  for (uint64_t done = 0; done < count;) {
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(kPieceBytes, count - done));
    const int64_t got = input.ReadRaw(piece, wanted);
    if (got != static_cast<int64_t>(wanted)) {
      ShowReadError(prompts);
      output.CloseChunks(kFlagDirty);
      return 0;
    }
    if (!output.WriteRaw(piece, wanted)) {
      ShowWriteError(prompts, destination);
      output.CloseChunks(kFlagDirty);  // the header follows what was written
      return 0;
    }
    done += wanted;
  }
  if (output.CloseChunks(grows ? kFlagDirty : 0) != 0) {
    ShowWriteError(prompts, destination);
    return 0;
  }
  return 1;
}

int CutRange(const std::string& path, uint64_t from, uint64_t to, Prompts& prompts) {
  if (to < from) {
    prompts.Show(StringText(StringId::kCutSizeMismatch), "", PromptIcon::Warning);
    return 0;
  }
  RunState run;
  WaveStream stream(kBlockSize, kBlockSize, run);
  if (const int result = stream.Open(path, kOpenWrite); result != kStreamOk) {
    ReportStreamError(prompts, result);
    return 0;
  }
  const int frame = stream.Format().blockAlign;
  from = FloorToFrame(from, frame);
  to = FloorToFrame(to, frame);
  const uint64_t dataBytes = stream.DataBytes();
  if (to > dataBytes) {
    prompts.Show(StringText(StringId::kCutSizeMismatch), "", PromptIcon::Warning);
    return 0;
  }
  // Move what follows the cut down to its start, piece by piece.
  uint8_t piece[kPieceBytes];
  for (uint64_t readAt = to, writeAt = from; readAt < dataBytes;) {
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(kPieceBytes, dataBytes - readAt));
    if (stream.SeekData(static_cast<int64_t>(readAt), 0) < 0 ||
        stream.ReadRaw(piece, wanted) != static_cast<int64_t>(wanted) ||
        stream.SeekData(static_cast<int64_t>(writeAt), 0) < 0 || !stream.WriteRaw(piece, wanted)) {
      ShowReadError(prompts);
      return 0;
    }
    readAt += wanted;
    writeAt += wanted;
  }
  if (stream.ShortenData(dataBytes - (to - from)) != 0) {
    ShowReadError(prompts);
    return 0;
  }
  return 1;
}

int InsertFile(const std::string& target, uint64_t position, const std::string& insert,
               const std::string& tempFolder, Prompts& prompts) {
  WaveInfo targetInfo;
  WaveInfo insertInfo;
  if (ReadWaveInfo(target, targetInfo, prompts) != kStreamOk || ReadWaveInfo(insert, insertInfo, prompts) != kStreamOk)
    return 0;
  if (position > targetInfo.dataBytes) {
    prompts.Show(StringText(StringId::kRangeSeekError), "", PromptIcon::Warning);
    return 0;
  }
  position = FloorToFrame(position, targetInfo.blockAlign);
  const std::string tail = MakeTempFileName(tempFolder, prompts);
  if (tail.empty()) return 0;

  std::string text;
  uint64_t kilobytes = 0;
  const uint64_t needed = targetInfo.dataBytes + insertInfo.dataBytes - position + 100;
  if (DiskFree(target, text, kilobytes) < needed &&
      prompts.Ask(StringText(StringId::kLowDiskSpace), "", PromptButtons::YesNo, PromptIcon::Warning) != PromptAnswer::Yes)
    return 0;

  if (CopyRange(target, tail, position, 0, 0, 0, prompts) != 1) {
    DeleteFile(tail);
    return 0;
  }
  if (CopyRange(insert, target, 0, 0, position, 0, prompts) == 1 &&
      CopyRange(tail, target, 0, 0, position + insertInfo.dataBytes, 0, prompts) == 1) {
    DeleteFile(tail);
    return 1;
  }
  // The insert failed part-way (a full disk): put the old tail back where it was and cut what
  // the insert added, so the target holds exactly its old data. The tail file is kept when
  // even that fails, so that no audio is lost.
  WaveInfo now;
  const bool restored = CopyRange(tail, target, 0, 0, position, 0, prompts) == 1 &&
                        ReadWaveInfo(target, now, prompts) == kStreamOk &&
                        (now.dataBytes == targetInfo.dataBytes ||
                         CutRange(target, targetInfo.dataBytes, now.dataBytes, prompts) == 1);
  if (restored) DeleteFile(tail);
  return 0;
}

uint64_t DiskFree(const std::string& path, std::string& text, uint64_t& kilobytes) {
  uint64_t bytes = 0;
  std::string folder = path;
  // The path may name a file that does not exist yet: ask about its folder then.
  if (DiskFreeBytes(folder, bytes) != 0) {
    const size_t slash = folder.rfind('/');
    folder = slash == std::string::npos ? "." : folder.substr(0, std::max<size_t>(slash, 1));
    if (DiskFreeBytes(folder, bytes) != 0) {
      text = "---";
      kilobytes = 0;
      return 0;
    }
  }
  kilobytes = bytes / 1024;
  char buffer[32];
  const double kb = static_cast<double>(bytes) / 1024.0;
  if (kilobytes < 1024)
    std::snprintf(buffer, sizeof buffer, "%5.2fKB", kb);
  else if (kilobytes < 1024000)
    std::snprintf(buffer, sizeof buffer, "%7.2fMB", kb / 1024.0);
  else
    std::snprintf(buffer, sizeof buffer, "%7.2fGB", kb / (1024.0 * 1024.0));
  text = buffer;
  return bytes;
}

}  // namespace ztlive
