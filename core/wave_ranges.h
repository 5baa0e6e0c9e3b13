// Byte-range operations on wave files on disk: copy a range into another file (or over a
// range of it), cut a range out, insert a whole file. Each streams through pieces of 4096
// bytes with its own streams and reports its failures through Prompts. Offsets are data byte
// offsets, rounded down to whole frames.
#pragma once

#include <cstdint>
#include <string>

#include "platform/prompts.h"

namespace ztlive {

struct WaveInfo {
  uint64_t dataBytes = 0;
  int channels = 0;
  uint32_t sampleRate = 0;
  int blockAlign = 0;
  int bitsPerSample = 0;
};

// 0, or the StreamError (also reported).
int ReadWaveInfo(const std::string& path, WaveInfo& info, Prompts& prompts);

// Copies source [from, to) to destination [destFrom, destTo). to = 0: the end of the source's
// data; destTo = 0: destFrom + (to - from). A missing destination is made in the source's
// format; an existing one is written in place and grows when the copy runs past its data.
// 1 done, 0 failed.
int CopyRange(const std::string& source, const std::string& destination, uint64_t from, uint64_t to,
              uint64_t destFrom, uint64_t destTo, Prompts& prompts);

// Removes [from, to) from the file, which becomes shorter on disk. 1 done, 0 failed.
int CutRange(const std::string& path, uint64_t from, uint64_t to, Prompts& prompts);

// Inserts the data of insert into target at position. tempFolder holds the target's tail
// meanwhile; with too little free space the user is asked first. 1 done, 0 failed.
int InsertFile(const std::string& target, uint64_t position, const std::string& insert,
               const std::string& tempFolder, Prompts& prompts);

// Free bytes on the file system of path (0 when unknown), with a display text such as
// "  12.34MB" and the count in kilobytes.
uint64_t DiskFree(const std::string& path, std::string& text, uint64_t& kilobytes);

}  // namespace ztlive
