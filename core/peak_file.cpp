#include "core/peak_file.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "core/file_io.h"
#include "core/riff_layout.h"
#include "core/wave_stream.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

constexpr uint8_t kSignature[16] = {0x42, 0x1F, 0x07, 0xF6, 0x0A, 0x32, 0xD3, 0x11,
                                    0xB0, 0x64, 0x82, 0xD9, 0x1B, 0xE8, 0xD7, 0x4D};
constexpr size_t kMarkerBytes = 260;
constexpr size_t kPieceBytes = 4096;
constexpr size_t kRecordBufferBytes = 8192;

// A sample value's magnitude in 16-bit scale: the magnitude is taken first and then shifted,
// so -257 gives 1 like 257 does (shifting first would round negative values away from zero).
// The most negative values are held at 32767.
inline int32_t Magnitude(SampleValue value) {
  return static_cast<int32_t>(std::min<int64_t>(std::abs(static_cast<int64_t>(value)) >> 8, 32767));
}

bool HasSignature(FileIo& file, size_t bytes) {
  uint8_t read[16];
  return file.ReadAt(0, read, bytes) == static_cast<int64_t>(bytes) && std::memcmp(read, kSignature, bytes) == 0;
}

// Ours: the current signature, or an older layout's, which shares one half of it (the older
// signatures differ in their first eight bytes). Anything else is somebody else's file.
bool HasOwnSignature(FileIo& file) {
  uint8_t read[16];
  return file.ReadAt(0, read, 16) == 16 &&
         (std::memcmp(read, kSignature, 8) == 0 || std::memcmp(read + 8, kSignature + 8, 8) == 0);
}

std::string ErrorText(int error) { return std::strerror(error != 0 ? error : EIO); }

void Put32(uint8_t* b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t Get32(const uint8_t* b) {
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
         (static_cast<uint32_t>(b[3]) << 24);
}

}  // namespace

bool IsPeakFileName(const std::string& path) {
  constexpr std::string_view kExtension = ".pkf";
  if (path.size() < kExtension.size()) return false;
  const std::string_view tail = std::string_view(path).substr(path.size() - kExtension.size());
  return std::equal(tail.begin(), tail.end(), kExtension.begin(),
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

std::string PeakFile::PeakFileName(const std::string& wavePath) {
  const size_t dot = wavePath.rfind('.');
  const size_t slash = wavePath.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return wavePath + ".pkf";
  return wavePath.substr(0, dot) + ".pkf";
}

PeakFile::PeakFile(std::string wavePath, RunState& run, Prompts& prompts)
    : m_wavePath(std::move(wavePath)), m_peakPath(PeakFileName(m_wavePath)), m_run(run), m_prompts(prompts) {
  ReadHeader();
}

bool PeakFile::ReadHeader() {
  FileIo file;
  if (file.OpenFile(m_peakPath, false, FileIo::Links::Refuse) != 0 || !HasSignature(file, 16)) return false;
  std::vector<uint8_t> header(kHeaderBytes);
  if (file.ReadAt(0, header.data(), header.size()) != static_cast<int64_t>(header.size())) return false;
  const auto count = static_cast<int32_t>(Get32(header.data() + 26016));
  m_markers.clear();
  for (int i = 0; i < std::clamp(count, 0, kMaxMarkers); ++i) {
    const uint8_t* entry = header.data() + 16 + static_cast<size_t>(i) * kMarkerBytes;
    const char* label = reinterpret_cast<const char*>(entry + 4);
    m_markers.push_back({Get32(entry), std::string(label, strnlen(label, 255))});
  }
  return true;
}

std::vector<uint8_t> PeakFile::HeaderBytes() const {
  std::vector<uint8_t> header(kHeaderBytes, 0);
  std::memcpy(header.data(), kSignature, sizeof kSignature);
  for (size_t i = 0; i < m_markers.size(); ++i) {
    uint8_t* entry = header.data() + 16 + i * kMarkerBytes;
    Put32(entry, m_markers[i].position);
    std::memcpy(entry + 4, m_markers[i].label.data(), std::min<size_t>(m_markers[i].label.size(), 255));
  }
  Put32(header.data() + 26016, static_cast<uint32_t>(m_markers.size()));
  return header;
}

int PeakFile::Failed(StringId message, std::string_view reason) {
  m_prompts.Show(FormatText(message, {m_peakPath, reason}), StringText(StringId::kCaptionFileError), PromptIcon::Warning);
  return -1;
}

int PeakFile::OpenForWriting(FileIo& file, bool& rebuildAll) {
  rebuildAll = false;
  const int opened = file.OpenFile(m_peakPath, true, FileIo::Links::Refuse);
  if (opened == 0) {
    if (!HasOwnSignature(file)) {
      file.Close();
      return Failed(StringId::kPeakFileNotOurs, "");
    }
    rebuildAll = !HasSignature(file, 16);
  } else if (opened == ELOOP || opened == EISDIR || opened == EINVAL) {
    return Failed(StringId::kPeakFileNotOurs, "");
  } else if (opened != ENOENT) {
    return Failed(StringId::kPeakFileNotWritten, ErrorText(opened));
  } else if (const int created = file.CreateUnpublishedFile(m_peakPath); created != 0) {
    // Exclusive, so that whatever appears under the name meanwhile is not taken over.
    return Failed(created == EEXIST ? StringId::kPeakFileNotOurs : StringId::kPeakFileNotWritten, ErrorText(created));
  } else {
    rebuildAll = true;
  }
  if (rebuildAll) {
    // A new file, or an older layout's: it starts again from the header at once, so that it
    // is never without the signature that makes it ours, nor keeps records of another layout.
    // A new file gets its name only with the header in it: killed before, it leaves nothing.
    const std::vector<uint8_t> header = HeaderBytes();
    if (!file.Truncate(0) || !file.WriteAt(0, header.data(), header.size())) {
      const int failure = errno;
      // Left without its signature (a full disk), the file would no longer count as ours.
      if (!file.IsUnpublished()) unlink(m_peakPath.c_str());
      file.Close();
      return Failed(StringId::kPeakFileNotWritten, ErrorText(failure));
    }
    if (const int published = file.Publish(); published != 0) {
      file.Close();
      return Failed(published == EEXIST ? StringId::kPeakFileNotOurs : StringId::kPeakFileNotWritten,
                    ErrorText(published));
    }
  }
  return 0;
}

bool PeakFile::SaveHeader() {
  FileIo file;
  bool rebuildAll = false;
  if (OpenForWriting(file, rebuildAll) != 0) {
    m_saveFailed = true;
    return false;
  }
  if (rebuildAll) {
    // The header is written; the records come with a build.
    file.Close();
    m_saveFailed = Build(0, 0) != 0;
    return !m_saveFailed;
  }
  const std::vector<uint8_t> header = HeaderBytes();
  m_saveFailed = !file.WriteAt(0, header.data(), header.size());
  if (m_saveFailed) Failed(StringId::kPeakFileNotWritten, ErrorText(errno));
  return !m_saveFailed;
}

int PeakFile::Build(uint64_t from, uint64_t to) {
  if (m_run.suppressPeaks) return 0;
  RunState local;
  WaveStream wave(4096, 4096, local);
  if (const int result = wave.Open(m_wavePath, kOpenRead); result != kStreamOk) {
    ReportStreamError(m_prompts, result);
    return result;
  }
  const int channels = wave.Format().channels;
  const uint64_t frame = wave.Format().blockAlign;
  const uint64_t recordBytes = kFramesPerRecord * frame;
  const uint64_t length = wave.DataBytes() - wave.DataBytes() % frame;
  if (to == 0) to = length;
  to = std::min<uint64_t>(to + kFramesPerRecord * static_cast<uint64_t>(wave.BytesPerSample()), length);
  to -= to % frame;
  from = from > recordBytes ? from - recordBytes : 0;
  if (from > to) from = 0;  // a range past the end says nothing of what changed: all of it
  from -= from % recordBytes;  // records are rebuilt whole

  FileIo peaks;
  bool rebuildAll = false;
  if (OpenForWriting(peaks, rebuildAll) != 0) return -1;
  if (rebuildAll) {
    from = 0;
    to = length;
  }
  auto writeFailed = [this] { return Failed(StringId::kPeakFileNotWritten, ErrorText(errno)); };
  // A short read is no system error: the wave file changed under us.
  auto readFailed = [this](int64_t got) { return Failed(StringId::kPeakFileNotWritten, ErrorText(got < 0 ? errno : EIO)); };
  const std::vector<uint8_t> header = HeaderBytes();
  if (!peaks.WriteAt(0, header.data(), header.size())) return writeFailed();

  const auto recordSize = static_cast<uint64_t>(2 * channels);
  uint64_t record = from / recordBytes;
  std::array<int32_t, 2> maxima{0, 0};
  std::array<SampleValue, 2> values{0, 0};
  std::array<uint8_t, 8> bytes{};
  if (record > 0) {
    // The frame that closed the previous record opens this one.
    wave.SeekData(static_cast<int64_t>(from - frame), 0);
    if (const int64_t got = wave.ReadRaw(bytes.data(), frame); got != static_cast<int64_t>(frame)) return readFailed(got);
    UnpackSamples(bytes.data(), static_cast<size_t>(channels), wave.BytesPerSample(), values.data());
    for (int c = 0; c < channels; ++c) maxima[static_cast<size_t>(c)] = Magnitude(values[static_cast<size_t>(c)]);
  }

  uint8_t piece[kPieceBytes];
  SampleValue samples[kPieceBytes];
  uint8_t out[kRecordBufferBytes];
  size_t outUsed = 0;
  uint64_t outRecord = record;  // the first record in out
  int framesInRecord = 0;
  m_largestPeak = 0;
  const size_t pieceBytes = kPieceBytes - kPieceBytes % frame;
  wave.SeekData(static_cast<int64_t>(from), 0);
  for (uint64_t position = from; position < to;) {
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(pieceBytes, to - position));
    if (const int64_t got = wave.ReadRaw(piece, wanted); got != static_cast<int64_t>(wanted)) return readFailed(got);
    const size_t count = wanted / static_cast<size_t>(wave.BytesPerSample());
    UnpackSamples(piece, count, wave.BytesPerSample(), samples);
    for (size_t i = 0; i < count; i += static_cast<size_t>(channels)) {
      for (int c = 0; c < channels; ++c)
        maxima[static_cast<size_t>(c)] = std::max(maxima[static_cast<size_t>(c)], Magnitude(samples[i + static_cast<size_t>(c)]));
      if (++framesInRecord < kFramesPerRecord) continue;
      for (int c = 0; c < channels; ++c) {
        const int32_t peak = maxima[static_cast<size_t>(c)];
        m_largestPeak = std::max(m_largestPeak, peak);
        out[outUsed++] = static_cast<uint8_t>(peak);
        out[outUsed++] = static_cast<uint8_t>(peak >> 8);
        maxima[static_cast<size_t>(c)] = Magnitude(samples[i + static_cast<size_t>(c)]);
      }
      framesInRecord = 0;
      ++record;
      if (outUsed + recordSize > sizeof out) {
        if (!peaks.WriteAt(kHeaderBytes + outRecord * recordSize, out, outUsed)) return writeFailed();
        outRecord = record;
        outUsed = 0;
      }
    }
    position += wanted;
  }
  // Built to the end, the frames after the last whole record make a record of their own, so
  // that no sample (and no short file) is left out of the peaks. Inside the data a partial
  // record is not written: the next build of that range completes it.
  if (to == length && framesInRecord > 0) {
    for (int c = 0; c < channels; ++c) {
      const int32_t peak = maxima[static_cast<size_t>(c)];
      m_largestPeak = std::max(m_largestPeak, peak);
      out[outUsed++] = static_cast<uint8_t>(peak);
      out[outUsed++] = static_cast<uint8_t>(peak >> 8);
    }
    ++record;
  }
  if (outUsed > 0 && !peaks.WriteAt(kHeaderBytes + outRecord * recordSize, out, outUsed)) return writeFailed();
  // Built to the end: records of a longer earlier file go.
  if (to == length && !peaks.Truncate(kHeaderBytes + record * recordSize)) return writeFailed();
  m_valid = true;
  return 0;
}

int PeakFile::ReadDisplayPeaks(std::vector<int16_t>& peaks, int& columns, uint64_t from, uint64_t to) {
  // The layout alone is enough here: no stream buffers for a view's redraw.
  FileIo wave;
  WaveLayout layout;
  if (wave.OpenFile(m_wavePath, false) != 0) {
    ReportStreamError(m_prompts, kStreamCannotOpen);
    return 0;
  }
  if (const int result = ReadWaveLayout(wave, layout); result != kStreamOk) {
    ReportStreamError(m_prompts, result);
    return 0;
  }
  if (columns <= 0) return 0;
  const int channels = layout.format.channels;
  const int bytesPerSample = BytesPerSample(layout.format.bitsPerSample);
  const uint64_t frame = layout.format.blockAlign;
  const uint64_t length = layout.dataBytes - layout.dataBytes % frame;
  if (to == 0) to = length;
  to = std::min(to, length);
  from -= from % frame;
  to -= to % frame;
  if (to <= from) return 0;
  uint64_t frames = (to - from) / frame;
  const auto width = static_cast<size_t>(channels);

  if ((to - from) / static_cast<uint64_t>(bytesPerSample) < 100ull * static_cast<uint64_t>(columns) ||
      m_run.suppressPeaks) {
    // Zoomed in: from the samples themselves, at least 16 frames over no more columns than frames.
    frames = std::min<uint64_t>(std::max<uint64_t>(frames, 16), (length - from) / frame);
    columns = static_cast<int>(std::min<uint64_t>(static_cast<uint64_t>(columns), frames));
    if (columns == 0) return 0;
    peaks.assign(static_cast<size_t>(columns) * width, 0);
    uint8_t piece[4096 * 4];
    SampleValue samples[4096];
    const size_t pieceFrames = 4096 / width;
    for (uint64_t done = 0; done < frames;) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(pieceFrames, frames - done));
      if (wave.ReadAt(layout.dataOffset + from + done * frame, piece, want * frame) != static_cast<int64_t>(want * frame))
        return 0;
      UnpackSamples(piece, want * width, bytesPerSample, samples);
      for (size_t f = 0; f < want; ++f) {
        const auto column = static_cast<size_t>((done + f) * static_cast<uint64_t>(columns) / frames);
        for (size_t c = 0; c < width; ++c) {
          int16_t& peak = peaks[column * width + c];
          peak = static_cast<int16_t>(std::max<int32_t>(peak, Magnitude(samples[f * width + c])));
        }
      }
      done += want;
    }
    return 1;
  }

  FileIo file;
  if (file.OpenFile(m_peakPath, false, FileIo::Links::Refuse) != 0) {
    if (Build(0, 0) != 0 || file.OpenFile(m_peakPath, false, FileIo::Links::Refuse) != 0) return 0;
  }
  if (!HasSignature(file, 8)) {
    m_prompts.Show(StringText(StringId::kOldPeakFile), "", PromptIcon::Warning);
    return 0;
  }
  ReadHeader();
  const uint64_t recordBytes = kFramesPerRecord * frame;
  const uint64_t firstRecord = from / recordBytes;
  const uint64_t records = std::max<uint64_t>((to - from) / recordBytes, 1);
  const size_t recordSize = 2 * width;
  peaks.assign(static_cast<size_t>(columns) * width, 0);
  // Record r goes to column r * columns / records: walk the column boundaries instead of
  // dividing for every record.
  auto boundary = [&](size_t c) {  // the first record of column c
    return (static_cast<uint64_t>(c) * records + static_cast<uint64_t>(columns) - 1) / static_cast<uint64_t>(columns);
  };
  size_t column = 0;
  uint64_t nextColumnAt = boundary(1);
  uint8_t piece[4096];
  const size_t pieceRecords = sizeof piece / recordSize;
  for (uint64_t done = 0; done < records;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(pieceRecords, records - done));
    const int64_t got = file.ReadAt(kHeaderBytes + (firstRecord + done) * recordSize, piece, want * recordSize);
    const size_t have = got > 0 ? static_cast<size_t>(got) / recordSize : 0;
    for (size_t r = 0; r < have; ++r) {
      while (done + r >= nextColumnAt) nextColumnAt = boundary(++column + 1);
      int16_t* peak = &peaks[column * width];
      const uint8_t* b = piece + r * recordSize;
      for (size_t c = 0; c < width; ++c, b += 2)
        peak[c] = std::max(peak[c], static_cast<int16_t>(b[0] | (b[1] << 8)));
    }
    if (have < want) break;  // records not built yet read as silence
    done += want;
  }
  return 1;
}

void PeakFile::SortMarkers() {
  std::stable_sort(m_markers.begin(), m_markers.end(),
                   [](const Marker& a, const Marker& b) { return a.position < b.position; });
}

int PeakFile::AddMarker(uint32_t position) {
  if (MarkerCount() >= kMaxMarkers) return 0;
  m_markers.push_back({position, std::to_string(MarkerCount())});
  SortMarkers();
  SaveHeader();
  return 1;
}

bool PeakFile::RemoveMarker(int index) {
  if (index == -1)
    m_markers.clear();
  else if (index >= 0 && index < MarkerCount())
    m_markers.erase(m_markers.begin() + index);
  return SaveHeader();
}

bool PeakFile::SetMarker(int index, uint32_t position) {
  if (index < 0 || index >= MarkerCount()) return true;
  m_markers[static_cast<size_t>(index)].position = position;
  SortMarkers();
  return SaveHeader();
}

}  // namespace ztlive
