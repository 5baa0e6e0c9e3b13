// Fuzzes reading playlists: any bytes must give an empty or a partial list or a refusal,
// never a read outside a record, and every record read must encode back to itself.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "live/playlist.h"

namespace {

class SilentPrompts : public ztlive::Prompts {
 public:
  void Show(std::string_view, std::string_view, ztlive::PromptIcon) override {}
  ztlive::PromptAnswer Ask(std::string_view, std::string_view, ztlive::PromptButtons, ztlive::PromptIcon,
                           ztlive::PromptAnswer defaultAnswer) override {
    return defaultAnswer;
  }
};

const std::string& ScratchPath() {
  static const std::string path = "/tmp/ztlive-playlist-fuzz-" + std::to_string(getpid()) + ".wls";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (std::FILE* file = std::fopen(ScratchPath().c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  static SilentPrompts prompts;
  ztlive::Playlist list(prompts);
  const ztlive::Playlist::OpenResult result = list.Open(ScratchPath());
  std::remove(ScratchPath().c_str());
  if (result != ztlive::Playlist::OpenResult::Opened) {
    if (list.Count() != 0) std::abort();
    return 0;
  }
  if (static_cast<size_t>(list.Count()) > size / ztlive::kPlaylistRecordBytes) std::abort();
  for (int i = 0; i < list.Count(); ++i) {
    const ztlive::PlaylistEntry& entry = list.Entries()[static_cast<size_t>(i)];
    const uint8_t* stored = data + ztlive::kPlaylistHeaderBytes + ztlive::kPlaylistRecordBytes * static_cast<size_t>(i);
    if (entry.path.size() >= ztlive::kPlaylistPathBytes) continue;  // no terminator: it cannot come back the same
    uint8_t record[ztlive::kPlaylistRecordBytes];
    ztlive::EncodePlaylistRecord(entry, record);
    // The path and the two numbers come back; the bytes after the terminator become zeros.
    if (std::memcmp(record, stored, entry.path.size() + 1) != 0 || std::memcmp(record + 516, stored + 516, 8) != 0)
      std::abort();
  }
  if (list.TotalMs() < 0) std::abort();  // a damaged stored time never shows as negative
  return 0;
}
