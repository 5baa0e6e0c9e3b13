#include "cli/info_command.h"

#include <cinttypes>
#include <string>

#include "core/stream_error.h"
#include "core/wave_stream.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr std::string_view kArguments = "FILE.wav";

std::string ChunkName(const ChunkInfo& chunk) {
  std::string name;
  for (char c : chunk.id) name.push_back(c >= 0x20 && c < 0x7F ? c : '?');
  return name;
}

int RunInfo(const std::vector<std::string>& args, CommandContext& context) {
  const ParsedArguments parsed = ParseArguments(args, {}, "info");
  if (!parsed.error.empty() || parsed.positional.size() != 1) {
    PrintError(context, parsed.error.empty()
                            ? FormatText(StringId::kCliWrongArguments, {"ztlive-cli info " + std::string(kArguments)})
                            : parsed.error);
    return kExitUsage;
  }
  const std::string& path = parsed.positional[0];
  RunState run;
  WaveStream stream(4096, 4096, run);
  if (const int error = stream.Open(path, kOpenRead); error != kStreamOk) {
    PrintError(context, StreamErrorText(error));
    return kExitFailure;
  }
  const WaveFormat& format = stream.Format();
  const WaveLayout& layout = stream.Layout();
  const uint64_t bytes = stream.DataBytes();
  const uint64_t frames = bytes / format.blockAlign;
  const double seconds = static_cast<double>(frames) / format.sampleRate;
  const auto wholeSeconds = static_cast<uint64_t>(seconds);
  std::FILE* out = context.out;
  std::fprintf(out, "File:     %s\n", path.c_str());
  std::fprintf(out, "Format:   PCM%s, %u channel%s, %u Hz, %u bits, block align %u\n",
               layout.storedTag == kFormatExtensible ? " (extensible)" : "", format.channels,
               format.channels == 1 ? "" : "s", format.sampleRate, format.bitsPerSample, format.blockAlign);
  std::fprintf(out, "Data:     %" PRIu64 " bytes, %" PRIu64 " frames%s\n", bytes, frames,
               bytes < layout.storedDataSize && layout.storedDataSize != 0xFFFFFFFF ? " (the file is cut short)" : "");
  std::fprintf(out, "Duration: %" PRIu64 ":%02" PRIu64 ":%06.3f (%.3f s)\n", wholeSeconds / 3600,
               wholeSeconds / 60 % 60, seconds - static_cast<double>(wholeSeconds - wholeSeconds % 60), seconds);
  std::fprintf(out, "Chunks:  ");
  for (size_t i = 0; i < layout.chunkCount; ++i)
    std::fprintf(out, " %s (%u bytes)%s", ChunkName(layout.chunks[i]).c_str(), layout.chunks[i].size,
                 i + 1 < layout.chunkCount ? "," : "");
  std::fprintf(out, "\n");
  if (stream.LengthRecovered()) std::fprintf(out, "Notice:   %s\n", std::string(StringText(StringId::kLengthRecovered)).c_str());
  // Read, but never written: process and convert refuse it with the same words.
  if (format.bitsPerSample == 32)
    std::fprintf(out, "Notice:   %s\n", FormatText(StringId::kInputIs32Bit, {path}).c_str());
  return kExitOk;
}

}  // namespace

const Command kInfoCommand{"info", kArguments, "show the format, length and chunks of a wave file", RunInfo};

}  // namespace ztlive::cli
