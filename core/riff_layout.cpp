#include "core/riff_layout.h"

#include <algorithm>
#include <cstring>

#include "core/sample_codec.h"
#include "core/stream_error.h"

namespace ztlive {

namespace {

uint16_t Read16(const uint8_t* b) { return static_cast<uint16_t>(b[0] | (b[1] << 8)); }
uint32_t Read32(const uint8_t* b) {
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}
void Put16(uint8_t* b, uint16_t v) {
  b[0] = static_cast<uint8_t>(v);
  b[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}
bool IsId(const uint8_t* b, const char* id) { return std::memcmp(b, id, 4) == 0; }

// The sub-format of an extensible PCM file: {00000001-0000-0010-8000-00aa00389b71}.
constexpr uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};

// Fills the format from a "fmt " chunk's first bytes; false when it is not PCM.
bool ParseFormat(const uint8_t* bytes, size_t length, WaveLayout& layout) {
  WaveFormat& format = layout.format;
  layout.storedTag = Read16(bytes);
  format.formatTag = layout.storedTag;
  format.channels = Read16(bytes + 2);
  format.sampleRate = Read32(bytes + 4);
  format.avgBytesPerSecond = Read32(bytes + 8);
  format.blockAlign = Read16(bytes + 12);
  format.bitsPerSample = Read16(bytes + 14);
  layout.validBits = format.bitsPerSample;
  if (layout.storedTag == kFormatPcm) return true;
  if (layout.storedTag != kFormatExtensible || length < 40 || Read16(bytes + 16) < 22) return false;
  layout.validBits = Read16(bytes + 18);
  if (std::memcmp(bytes + 24, kPcmSubFormat, 16) != 0) return false;
  if (layout.validBits == 0 || layout.validBits > format.bitsPerSample) return false;
  format.formatTag = kFormatPcm;
  return true;
}

// True when the bytes [position, end) are a chain of well-formed chunks that ends at end (the
// last one may lack its pad byte): what follows a data chunk is then not audio.
bool ChunksFill(FileIo& io, uint64_t position, uint64_t end) {
  if (position >= end) return false;
  while (position + 8 <= end) {
    uint8_t chunk[8];
    if (io.ReadAt(position, chunk, 8) != 8) return false;
    for (int i = 0; i < 4; ++i)
      if (chunk[i] < 0x20 || chunk[i] > 0x7E) return false;
    const uint32_t size = Read32(chunk + 4);
    const uint64_t next = position + 8 + size + (size & 1);
    if (next > end + 1) return false;
    if (next >= end) return true;
    position = next;
  }
  return false;
}

// An ID3 tag that a tagging tool appended after the RIFF chunk.
bool StartsWithTag(FileIo& io, uint64_t position) {
  uint8_t bytes[3];
  return io.ReadAt(position, bytes, 3) == 3 && std::memcmp(bytes, "ID3", 3) == 0;
}

// At least 1; 32 bits wide, as a damaged header's channel count times the sample width does
// not fit 16 bits.
uint32_t FrameBytes(const WaveFormat& format) {
  return static_cast<uint32_t>(std::max(1, format.channels * std::max(1, BytesPerSample(format.bitsPerSample))));
}

}  // namespace

int ReadWaveLayout(FileIo& io, WaveLayout& layout) {
  layout = WaveLayout();
  const int64_t fileSize = io.Size();
  uint8_t header[12];
  if (fileSize < 12 || io.ReadAt(0, header, 12) != 12) return kStreamBadFormat;
  if (!IsId(header, "RIFF") || !IsId(header + 8, "WAVE")) return kStreamBadFormat;
  const uint32_t riffSize = Read32(header + 4);
  const auto size = static_cast<uint64_t>(fileSize);
  // A streaming writer that never learnt the size stores 0 or all ones: take the whole file.
  const bool streamingRiff = riffSize == 0 || riffSize == 0xFFFFFFFF;
  layout.riffEnd = streamingRiff ? size : std::min<uint64_t>(8ull + riffSize, size);

  bool haveFormat = false;
  bool formatIsPcm = false;
  bool haveData = false;
  for (uint64_t position = 12; position + 8 <= layout.riffEnd;) {
    uint8_t chunk[8];
    if (io.ReadAt(position, chunk, 8) != 8) return kStreamBadFormat;
    ChunkInfo info;
    std::memcpy(info.id.data(), chunk, 4);
    info.size = Read32(chunk + 4);
    info.dataOffset = position + 8;
    if (layout.chunkCount < layout.chunks.size()) layout.chunks[layout.chunkCount++] = info;

    if (IsId(chunk, "fmt ") && !haveFormat) {
      if (info.size < 16 || info.dataOffset + 16 > layout.riffEnd) return kStreamBadFormat;
      uint8_t bytes[40] = {};
      const size_t wanted = std::min<size_t>(info.size, sizeof bytes);
      if (io.ReadAt(info.dataOffset, bytes, wanted) != static_cast<int64_t>(wanted)) return kStreamBadFormat;
      formatIsPcm = ParseFormat(bytes, wanted, layout);
      haveFormat = true;
    } else if (IsId(chunk, "data") && !haveData) {
      if (!haveFormat) return kStreamBadFormat;  // samples of a format not yet known
      layout.dataOffset = info.dataOffset;
      layout.storedDataSize = info.size;
      const uint64_t held = size > info.dataOffset ? size - info.dataOffset : 0;
      layout.dataBytes = info.size == 0xFFFFFFFF ? held : std::min<uint64_t>(info.size, held);
      haveData = true;
      // A writer killed before it wrote the sizes leaves the data short or empty while the
      // samples run on to the end of the file. Recovered only when the data is the last chunk:
      // the RIFF size says nothing follows it (a streaming RIFF size only with an empty data
      // size), and no chunk nor tag follows what the data states. Then the rest is audio.
      const uint64_t statedEnd = info.dataOffset + info.size + (info.size & 1);
      const bool riffEndsWithData = streamingRiff ? info.size == 0 : 8ull + riffSize <= statedEnd;
      if (formatIsPcm && info.size != 0xFFFFFFFF && statedEnd < size && riffEndsWithData &&
          !ChunksFill(io, statedEnd, size) && !StartsWithTag(io, statedEnd)) {
        const uint64_t whole = held - held % FrameBytes(layout.format);
        if (whole > info.size) {
          layout.dataBytes = whole;
          layout.lengthRecovered = true;
          layout.riffEnd = std::min(size, info.dataOffset + whole + (whole & 1));
          break;
        }
      }
      if (info.dataOffset + info.size > size) break;  // the data runs to the end of the file
    }
    position = info.dataOffset + info.size + (info.size & 1);
  }

  if (!haveFormat || !formatIsPcm) return kStreamBadFormat;
  WaveFormat& format = layout.format;
  if (format.bitsPerSample < 8 || format.bitsPerSample > 32 || !IsSupportedWidth(format.bitsPerSample))
    return kStreamBadResolution;
  if (format.channels < 1 || format.channels > 2 || format.sampleRate == 0) return kStreamBadFormat;
  if (!haveData) return kStreamBadFormat;
  // What the file stores for these is not trusted; they follow from the rest.
  format.blockAlign = static_cast<uint16_t>(format.channels * BytesPerSample(format.bitsPerSample));
  format.avgBytesPerSecond = format.channels * format.sampleRate * format.bitsPerSample / 8;
  format.extraSize = 18;
  return kStreamOk;
}

bool WriteWaveHeader(FileIo& io, const WaveFormat& format) {
  uint8_t header[kWaveHeaderBytes] = {};
  std::memcpy(header, "RIFF", 4);
  std::memcpy(header + 8, "WAVE", 4);
  std::memcpy(header + 12, "fmt ", 4);
  Put32(header + 16, 16);
  Put16(header + 20, format.formatTag);
  Put16(header + 22, format.channels);
  Put32(header + 24, format.sampleRate);
  Put32(header + 28, format.avgBytesPerSecond);
  Put16(header + 32, format.blockAlign);
  Put16(header + 34, format.bitsPerSample);
  std::memcpy(header + 36, "data", 4);
  Put32(header + 4, kWaveHeaderBytes - 8);
  return io.WriteAt(0, header, sizeof header);
}

bool WriteChunkSizes(FileIo& io, uint64_t riffEnd, uint64_t dataOffset, uint32_t dataBytes) {
  uint8_t bytes[4];
  Put32(bytes, static_cast<uint32_t>(std::min<uint64_t>(riffEnd - 8, 0xFFFFFFFF)));
  if (!io.WriteAt(4, bytes, 4)) return false;
  Put32(bytes, dataBytes);
  return io.WriteAt(dataOffset - 4, bytes, 4);
}

bool WriteChunkSizesInHead(FileIo& io, uint8_t* head, uint64_t riffEnd, uint64_t dataOffset, uint32_t dataBytes) {
  Put32(head + 4, static_cast<uint32_t>(std::min<uint64_t>(riffEnd - 8, 0xFFFFFFFF)));
  Put32(head + dataOffset - 4, dataBytes);
  return io.WriteAt(4, head + 4, static_cast<size_t>(dataOffset - 4));
}

}  // namespace ztlive
