// Reading and writing the RIFF layout of a wave file: "RIFF" <size> "WAVE", a "fmt " chunk
// and a "data" chunk, with any other chunks (LIST, fact, cue, bext ...) skipped wherever they
// lie. Files we write have exactly: RIFF, WAVE, a 16-byte "fmt ", data.
#pragma once

#include <array>
#include <cstdint>

#include "core/file_io.h"
#include "core/wave_format.h"

namespace ztlive {

inline constexpr uint32_t kWaveHeaderBytes = 44;  // the header of the files we write

struct ChunkInfo {
  std::array<char, 4> id{};
  uint32_t size = 0;        // as stored
  uint64_t dataOffset = 0;  // first byte after the chunk's 8-byte header
};

struct WaveLayout {
  WaveFormat format;          // as found; an extensible PCM format reads as tag 1
  uint16_t storedTag = 0;     // the tag as stored in the file
  uint16_t validBits = 0;     // extensible formats: the valid bits; else bitsPerSample
  uint64_t riffEnd = 0;       // one past the RIFF chunk, within the file
  uint64_t dataOffset = 0;    // the first sample's byte
  uint64_t dataBytes = 0;     // data chunk bytes that the file really holds
  uint32_t storedDataSize = 0;
  // The data chunk is the last chunk but its stored size was 0 or short of the bytes after it
  // (a writer that stopped before it wrote the sizes): dataBytes is what the file holds, in
  // whole frames.
  bool lengthRecovered = false;
  std::array<ChunkInfo, 16> chunks{};  // the chunks found, in file order (the first 16)
  size_t chunkCount = 0;
};

// Reads the layout and checks the format in order: RIFF/WAVE, "fmt " of at least 16 bytes
// before "data", PCM (110), a width with a conversion (113), 1 or 2 channels and a sample
// rate (110), a "data" chunk (110). Returns a StreamError code. A data chunk that ends the
// file with a size of 0 or less than the bytes after it takes its length from the file.
int ReadWaveLayout(FileIo& io, WaveLayout& layout);

// Writes the 44-byte header with zero sizes at the start of the file.
bool WriteWaveHeader(FileIo& io, const WaveFormat& format);
// Rewrites the RIFF size (riffEnd - 8) and the data chunk's size.
bool WriteChunkSizes(FileIo& io, uint64_t riffEnd, uint64_t dataOffset, uint32_t dataBytes);
// The same with one write: head holds the file's first dataOffset bytes as they are; the sizes
// are set in it and bytes 4 ... dataOffset - 1 are written back together.
bool WriteChunkSizesInHead(FileIo& io, uint8_t* head, uint64_t riffEnd, uint64_t dataOffset, uint32_t dataBytes);

}  // namespace ztlive
