// Fuzzes reading batch files: any bytes must give a job or a refusal that leaves the job as it
// was, never a read past the bytes nor more paths than bytes, and a job read must encode to
// bytes that read back to the same job.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "live/batch_job.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ztlive::BatchJob before;
  before.presetName = "before";
  before.files = {"/before.wav"};
  before.destinationDirectory = "/out";
  ztlive::BatchJob job = before;
  const ztlive::BatchLoadResult result = ztlive::DecodeBatchFile(std::span<const uint8_t>(data, size), job);
  if (result != ztlive::BatchLoadResult::Loaded) {
    if (!(job == before)) std::abort();
    return 0;
  }
  if (job.files.size() > size || job.destinationDirectory != "/out") std::abort();
  // NaN times never compare equal: compare the encodings instead.
  const std::vector<uint8_t> encoded = ztlive::EncodeBatchFile(job);
  ztlive::BatchJob again;
  if (ztlive::DecodeBatchFile(encoded, again) != ztlive::BatchLoadResult::Loaded) std::abort();
  if (ztlive::EncodeBatchFile(again) != encoded) std::abort();
  return 0;
}
