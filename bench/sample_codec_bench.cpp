// Unpack and pack throughput per width, in values per second, against a plain memcpy of the
// same bytes (the memory-bandwidth bound the conversions aim at).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "core/sample_codec.h"

namespace ztlive {
namespace {

constexpr size_t kValues = 1 << 16;  // a working set that stays in cache, as a block does

void BM_Unpack(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  std::vector<uint8_t> bytes(kValues * static_cast<size_t>(width), 0x5A);
  std::vector<SampleValue> values(kValues);
  for (auto _ : state) {
    UnpackSamples(bytes.data(), kValues, width, values.data());
    benchmark::DoNotOptimize(values.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kValues));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kValues * static_cast<size_t>(width)));
}
BENCHMARK(BM_Unpack)->Arg(1)->Arg(2)->Arg(3)->Arg(4);

void BM_Pack(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  std::vector<SampleValue> values(kValues, 0x123456);
  std::vector<uint8_t> bytes(kValues * static_cast<size_t>(width));
  for (auto _ : state) {
    PackSamples(values.data(), kValues, width, bytes.data());
    benchmark::DoNotOptimize(bytes.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kValues));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kValues * static_cast<size_t>(width)));
}
BENCHMARK(BM_Pack)->Arg(1)->Arg(2)->Arg(3);

// The reference: copying the values' own bytes.
void BM_CopyValues(benchmark::State& state) {
  std::vector<SampleValue> from(kValues, 1);
  std::vector<SampleValue> to(kValues);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), kValues * sizeof(SampleValue));
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kValues));
}
BENCHMARK(BM_CopyValues);

}  // namespace
}  // namespace ztlive
