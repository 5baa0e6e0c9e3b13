// null_pass IN.wav OUT.wav BITS: every value of IN through ReadBlock and WriteSample into a
// new file of BITS bits, the way a filter run moves samples, with nothing done to them.
#include <cstdio>
#include <cstdlib>

#include "core/wave_stream.h"

int main(int argc, char** argv) {
  using namespace ztlive;
  if (argc != 4) {
    std::fprintf(stderr, "usage: null_pass IN.wav OUT.wav BITS\n");
    return 2;
  }
  RunState run;
  WaveStream input(4096, 4096, run);
  WaveStream output(4096, 4096, run);
  if (const int error = input.Open(argv[1], kOpenRead); error != kStreamOk) {
    std::fprintf(stderr, "%s\n", std::string(StreamErrorText(error)).c_str());
    return 1;
  }
  WaveFormat format = MakePcmFormat(input.Format().channels, input.Format().sampleRate,
                                    static_cast<uint16_t>(std::atoi(argv[3])));
  if (const int error = output.Create(argv[2], format, kCreateOverwrite); error != kStreamOk) {
    std::fprintf(stderr, "%s\n", std::string(StreamErrorText(error)).c_str());
    return 1;
  }
  output.SetMode(kModeFile);
  output.PrepareWriteBuffer();
  run.regionStart = run.readPosition = 0;
  run.regionEnd = static_cast<uint32_t>(input.DataBytes());
  SampleValue* first = nullptr;
  SampleValue* last = nullptr;
  while (input.ReadBlock(0, 0, &first, &last) == 0) {
    for (const SampleValue* value = first; value < last; ++value) {
      if (!output.WriteSample(*value)) return 1;
    }
  }
  const int finished = output.FinishWrite(kFlagDirty, kFlagDirty);
  output.Close();
  return finished == 0 ? 0 : 1;
}
