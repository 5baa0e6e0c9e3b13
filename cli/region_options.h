// The --from / --to options (seconds) of the commands that work on a region of a file.
#pragma once

#include <cstdint>
#include <string>

#include "cli/command.h"
#include "core/wave_ranges.h"

namespace ztlive::cli {

struct Region {
  uint32_t from = 0;  // data byte offsets, whole frames
  uint32_t to = 0;
};

// The region from --from and --to (the whole file without them), or from the two options
// named; false after a message.
bool ReadRegion(const ParsedArguments& parsed, const WaveInfo& info, Region& region, CommandContext& context,
                const char* fromOption = "from", const char* toOption = "to");

// The format and length of a wave file, without any message; false when it cannot be read.
bool ProbeWaveInfo(const std::string& path, WaveInfo& info);

// "m:ss.mmm".
std::string ClockText(double seconds);

}  // namespace ztlive::cli
