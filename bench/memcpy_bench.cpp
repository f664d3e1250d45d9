// The reference every kernel is measured against: one copy of the frame.
#include "bench_frame.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

void BM_MemcpyFrame(benchmark::State& state) {
  const ur::SxImageBuf& frame = zel::bench::Frame16();
  const std::size_t bytes = std::size_t(ur::BufferBytes(frame));
  std::vector<unsigned char> dst(bytes);
  for (auto _ : state) {
    std::memcpy(dst.data(), frame.data, bytes);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes));
}
BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMillisecond);

}  // namespace
