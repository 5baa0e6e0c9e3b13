// Fuzzes opening and block-reading wave files: any bytes must give a stream error or blocks
// of values, never a read outside the buffers.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/wave_stream.h"

namespace {

const std::string& ScratchPath() {
  static const std::string path = "/tmp/ztlive-wave-fuzz-" + std::to_string(getpid()) + ".wav";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (std::FILE* file = std::fopen(ScratchPath().c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  static ztlive::RunState run;
  static ztlive::WaveStream stream(512, 512, run);
  run.stopRequested = 0;
  const int opened = stream.Open(ScratchPath(), ztlive::kOpenRead);
  std::remove(ScratchPath().c_str());  // the open stream keeps reading it; nothing is left behind
  if (opened != ztlive::kStreamOk) return 0;

  // History and look-ahead from the input's last bytes, as a processor would choose them.
  const int history = size > 0 ? data[size - 1] * 16 : 0;
  const int lookAhead = size > 1 ? data[size - 2] * 64 : 0;
  run.regionStart = run.readPosition = 0;
  run.regionEnd = static_cast<uint32_t>(stream.DataBytes() + (size & 0xFF));
  ztlive::SampleValue* first = nullptr;
  ztlive::SampleValue* last = nullptr;
  int64_t sum = 0;
  for (int blocks = 0; blocks < 64 && stream.ReadBlock(history, lookAhead, &first, &last) == 0; ++blocks) {
    for (ztlive::SampleValue* value = first - stream.History(); value < last + stream.LookAhead(); ++value) sum += *value;
  }
  stream.SeekData(0, 0);
  stream.ReadValues(static_cast<int>(size));
  stream.Close();
  return sum == 42 ? 0 : 0;  // sum keeps the reads from being optimised away
}
