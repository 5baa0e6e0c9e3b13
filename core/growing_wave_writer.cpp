// growing_wave_writer PATH new|append: writes 16-bit stereo samples into PATH through
// WriteSample, without end, until it is killed. Sample n of the data (counted from the first
// sample of the file, also when appending) is GrowingSample(n), so whoever finds the file
// afterwards can check every byte of it. Used by the tests that kill a writer.
#include <time.h>

#include <cstdio>
#include <cstring>

#include "core/growing_wave_sample.h"
#include "core/wave_stream.h"

int main(int argc, char** argv) {
  using namespace ztlive;
  if (argc != 3 || (std::strcmp(argv[2], "new") != 0 && std::strcmp(argv[2], "append") != 0)) {
    std::fprintf(stderr, "usage: growing_wave_writer PATH new|append\n");
    return 2;
  }
  RunState run;
  WaveStream stream(4096, 4096, run);
  WaveFormat format = MakePcmFormat(2, 44100, 16);
  const int mode = std::strcmp(argv[2], "new") == 0 ? kCreateOverwrite : kCreateAppend;
  if (stream.Create(argv[1], format, mode) != kStreamOk || format.bitsPerSample != 16) return 1;
  stream.SetMode(kModeFile);
  if (stream.PrepareWriteBuffer() != 0) return 1;
  // Paced at about a hundred times real time, so that a kill finds files of a few megabytes.
  const timespec pause{0, 1000000};
  for (uint64_t n = stream.DataBytes() / 2;; ++n) {
    if (!stream.WriteSample(GrowingSample(n) * 256)) return 1;
    if (n % 8820 == 0) nanosleep(&pause, nullptr);
  }
}
