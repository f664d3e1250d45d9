// Level analysis on the full frame: marking occupied levels, and building the mapping tables
// from the frame's occupancy at 16-bit table size.
#include "bench_frame.h"

#include <zel/occupied_levels.h>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kLevels16 = 65536;

// The frame's occupancy, as the converters build it before mapping.
const bool* FrameOccupancy() {
  static const std::unique_ptr<bool[]> occupied = [] {
    auto o = std::make_unique<bool[]>(kLevels16);
    unsigned short m0 = 0, m1 = 0, m2 = 0;
    urs::zel::GetOccupiedLevels(zel::bench::Frame16(), o.get(), nullptr, nullptr, kLevels16, m0,
                                m1, m2, false, -1, -1, -1, -1, -1, -1);
    return o;
  }();
  return occupied.get();
}

void SetFrameBytes(benchmark::State& state) {
  state.SetBytesProcessed(std::int64_t(state.iterations()) *
                          std::int64_t(ur::BufferBytes(zel::bench::Frame16())));
}

void BM_GetOccupiedLevels(benchmark::State& state) {
  const ur::SxImageBuf& frame = zel::bench::Frame16();
  auto occupied = std::make_unique<bool[]>(kLevels16);
  unsigned short max0 = 0, max1 = 0, max2 = 0;
  for (auto _ : state) {
    const unsigned int rc =
        urs::zel::GetOccupiedLevels(frame, occupied.get(), nullptr, nullptr, kLevels16, max0,
                                    max1, max2, false, -1, -1, -1, -1, -1, -1);
    benchmark::DoNotOptimize(rc);
    benchmark::DoNotOptimize(max0);
    benchmark::ClobberMemory();
  }
  SetFrameBytes(state);
}
BENCHMARK(BM_GetOccupiedLevels)->Unit(benchmark::kMillisecond);

// The frame at its declared 12-bit depth, as the converters call it: levelsCount 4096 is below
// the 16-bit sample range, so the kernel tests every level against it.
void BM_GetOccupiedLevelsDeclaredDepth(benchmark::State& state) {
  const ur::SxImageBuf& frame = zel::bench::Frame16();
  const int levels = 1 << frame.bitDepth;
  auto occupied = std::make_unique<bool[]>(levels);
  unsigned short max0 = 0, max1 = 0, max2 = 0;
  for (auto _ : state) {
    const unsigned int rc =
        urs::zel::GetOccupiedLevels(frame, occupied.get(), nullptr, nullptr, levels, max0, max1,
                                    max2, false, -1, -1, -1, -1, -1, -1);
    benchmark::DoNotOptimize(rc);
    benchmark::DoNotOptimize(max0);
    benchmark::ClobberMemory();
  }
  SetFrameBytes(state);
}
BENCHMARK(BM_GetOccupiedLevelsDeclaredDepth)->Unit(benchmark::kMillisecond);

// The frame's memory read as 1333 colour pixels per row with a threshold pair per channel, as
// the single-file converter analyses a demosaiced image at its declared depth.
void BM_GetOccupiedLevelsColourThreshold(benchmark::State& state) {
  ur::SxImageBuf colour = zel::bench::Frame16();
  colour.channels = 3;
  colour.width /= 3;
  const int levels = 1 << colour.bitDepth;
  std::unique_ptr<bool[]> occupied[3];
  for (auto& o : occupied) o = std::make_unique<bool[]>(levels);
  unsigned short max0 = 0, max1 = 0, max2 = 0;
  for (auto _ : state) {
    const unsigned int rc = urs::zel::GetOccupiedLevels(
        colour, occupied[0].get(), occupied[1].get(), occupied[2].get(), levels, max0, max1, max2,
        true, 150, 3000, 150, 3000, 150, 3000);
    benchmark::DoNotOptimize(rc);
    benchmark::DoNotOptimize(max0);
    benchmark::ClobberMemory();
  }
  SetFrameBytes(state);
}
BENCHMARK(BM_GetOccupiedLevelsColourThreshold)->Unit(benchmark::kMillisecond);

// Thresholds that fold the dark and the bright end of the frame's 12-bit range.
void BM_GetOccupiedLevelsThreshold(benchmark::State& state) {
  const ur::SxImageBuf& frame = zel::bench::Frame16();
  auto occupied = std::make_unique<bool[]>(kLevels16);
  unsigned short max0 = 0, max1 = 0, max2 = 0;
  for (auto _ : state) {
    const unsigned int rc =
        urs::zel::GetOccupiedLevels(frame, occupied.get(), nullptr, nullptr, kLevels16, max0,
                                    max1, max2, true, 150, 3000, -1, -1, -1, -1);
    benchmark::DoNotOptimize(rc);
    benchmark::DoNotOptimize(max0);
    benchmark::ClobberMemory();
  }
  SetFrameBytes(state);
}
BENCHMARK(BM_GetOccupiedLevelsThreshold)->Unit(benchmark::kMillisecond);

// Rank mapping of one channel, as the single-file converter builds it for a grey frame.
void BM_GetZelChannelMapping(benchmark::State& state) {
  const bool* occupied = FrameOccupancy();
  auto mapping = std::make_unique<unsigned short[]>(kLevels16);
  for (auto _ : state) {
    const unsigned int rc = urs::zel::GetZelChannelMapping(occupied, nullptr, nullptr,
                                                           mapping.get(), nullptr, nullptr,
                                                           kLevels16);
    benchmark::DoNotOptimize(rc);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_GetZelChannelMapping)->Unit(benchmark::kMillisecond);

// 8-bit spread mapping of four planes, as the directory converter builds it for raw frames.
void BM_GetZel8ChannelMapping(benchmark::State& state) {
  const bool* occupied = FrameOccupancy();
  std::unique_ptr<unsigned short[]> mapping[4];
  for (auto& m : mapping) m = std::make_unique<unsigned short[]>(kLevels16);
  for (auto _ : state) {
    const unsigned int rc = urs::zel::GetZel8ChannelMapping(
        occupied, occupied, occupied, occupied, mapping[0].get(), mapping[1].get(),
        mapping[2].get(), mapping[3].get(), kLevels16, urs::zel::Together);
    benchmark::DoNotOptimize(rc);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_GetZel8ChannelMapping)->Unit(benchmark::kMillisecond);

}  // namespace
