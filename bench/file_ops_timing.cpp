// file_ops_timing FILE.wav: times the peak build of the whole file, ReadDisplayPeaks over 2048
// columns, a CopyRange of all the data into a new file and a CutRange of its first tenth, each
// the best of a few runs, in milliseconds. compare_file_ops.py sets these beside cat and dd.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "core/peak_file.h"
#include "core/wave_ranges.h"
#include "platform/console_prompts.h"
#include "platform/file_ops.h"

namespace {

template <typename Work>
double BestMs(int runs, Work work) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace ztlive;
  if (argc != 2) {
    std::fprintf(stderr, "usage: file_ops_timing FILE.wav\n");
    return 2;
  }
  const std::string wave = argv[1];
  const std::string copy = wave + ".copy.wav";
  RunState run;
  ConsolePrompts prompts(ConsolePrompts::Policy::Yes);
  PeakFile peaks(wave, run, prompts);
  WaveInfo info;
  if (ReadWaveInfo(wave, info, prompts) != 0) return 1;

  const double build = BestMs(3, [&] { peaks.Build(0, 0); });
  std::vector<int16_t> shown;
  const double display = BestMs(20, [&] {
    int columns = 2048;
    peaks.ReadDisplayPeaks(shown, columns, 0, 0);
  });
  const double copyMs = BestMs(3, [&] {
    DeleteFile(copy);
    CopyRange(wave, copy, 0, 0, 0, 0, prompts);
  });
  double cutMs = 0;
  {
    CopyRange(wave, copy, 0, 0, 0, 0, prompts);
    cutMs = BestMs(1, [&] { CutRange(copy, 0, info.dataBytes / 10, prompts); });
  }
  DeleteFile(copy);
  DeleteFile(PeakFile::PeakFileName(copy));
  std::printf("bytes %llu\nbuild_ms %.1f\ndisplay_ms %.3f\ncopy_ms %.1f\ncut_ms %.1f\n",
              static_cast<unsigned long long>(info.dataBytes), build, display, copyMs, cutMs);
  return 0;
}
