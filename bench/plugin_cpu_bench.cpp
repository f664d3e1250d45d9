// The plug-in's forward kernels on the 4000 x 3000 16-bit frame, on one thread and on all
// (argument 1 or 0). Aim: within 2 x BM_MemcpyFrame on one thread. Timed by the wall clock,
// since the kernels split the frame into row bands on several threads.
#include <benchmark/benchmark.h>
#include <ur/raw_planar.h>
#include <zel/occupied_levels.h>

#include <vector>

#include "bench_frame.h"
#include "forward_kernels.h"

namespace {

// The frame's rank table at its declared depth, and its highest rank.
struct FrameRanks {
  std::vector<unsigned short> mapping;
  unsigned maximum = 0;
};

const FrameRanks& Ranks() {
  static const FrameRanks ranks = [] {
    const ur::SxImageBuf& frame = zel::bench::Frame16();
    const int levels = 1 << frame.bitDepth;
    std::vector<char> occupied(std::size_t(levels), 0);
    bool* o = reinterpret_cast<bool*>(occupied.data());
    unsigned short m0 = 0, m1 = 0, m2 = 0;
    urs::zel::GetOccupiedLevels(frame, o, nullptr, nullptr, levels, m0, m1, m2, false, -1, -1, -1,
                                -1, -1, -1);
    FrameRanks r;
    r.mapping.assign(std::size_t(levels), 0);
    urs::zel::GetZelChannelMapping(o, nullptr, nullptr, r.mapping.data(), nullptr, nullptr, levels);
    int count = 0, c1 = 0, c2 = 0;
    urs::zel::GetLevelsCount(o, nullptr, nullptr, levels, count, c1, c2);
    r.maximum = count > 0 ? unsigned(count - 1) : 0;
    return r;
  }();
  return ranks;
}

ur::ScopedImageBuf AllocOrSkip(benchmark::State& state, int width, int height, int channels,
                               int bitDepth, ur::ExImageDataType type, int planar) {
  ur::SxImageBuf b;
  if (ur::Failed(ur::AllocBuffer(b, width, height, channels, bitDepth, type, planar)))
    state.SkipWithError("cannot allocate");
  return ur::ScopedImageBuf(b);
}

void ReportFrame(benchmark::State& state) {
  state.SetBytesProcessed(std::int64_t(state.iterations()) *
                          ur::BufferBytes(zel::bench::Frame16()));
}

// convertToZel8 on the frame as a grey image.
void BM_ConvertToZel8Grey(benchmark::State& state) {
  const ur::SxImageBuf& frame = zel::bench::Frame16();
  const FrameRanks& ranks = Ranks();
  auto dst = AllocOrSkip(state, frame.width, frame.height, 1, 8, ur::eImageDataUInt8, 0);
  const unsigned short* mapping[3] = {ranks.mapping.data(), nullptr, nullptr};
  const unsigned maxima[3] = {ranks.maximum, 0, 0};
  const int threads = int(state.range(0));
  for (auto _ : state) {
    if (ur::Failed(zel::cpu::ConvertToZel8(frame, dst.get(), mapping, maxima, urs::zel::Separated,
                                           2, threads))) {
      state.SkipWithError("ConvertToZel8 failed");
      break;
    }
    benchmark::DoNotOptimize(dst->data);
    benchmark::ClobberMemory();
  }
  ReportFrame(state);
}
BENCHMARK(BM_ConvertToZel8Grey)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// The planar 16-to-8 kernel on the frame's four planes (split outside the timed loop).
void BM_Planar16To8(benchmark::State& state) {
  const ur::SxImageBuf& frame = zel::bench::Frame16();
  const FrameRanks& ranks = Ranks();
  auto planar = AllocOrSkip(state, frame.width / 2, frame.height / 2, 4, frame.bitDepth,
                            ur::eImageDataUInt16, 1);
  auto dst = AllocOrSkip(state, frame.width / 2, frame.height / 2, 4, 8, ur::eImageDataUInt8, 1);
  if (ur::Failed(ur::ConvertRawToPlanarRaw(frame, QRect(0, 0, frame.width, frame.height),
                                           frame.bayerGrid, planar.get())))
    state.SkipWithError("cannot split the frame");
  // Rank tables stand in for spread tables: the kernel's work is the same.
  const unsigned short* mapping[4] = {ranks.mapping.data(), ranks.mapping.data(),
                                      ranks.mapping.data(), ranks.mapping.data()};
  const int threads = int(state.range(0));
  for (auto _ : state) {
    if (ur::Failed(zel::cpu::ConvertRawPlanar(planar.get(), dst.get(), mapping, 2, 1, threads))) {
      state.SkipWithError("ConvertRawPlanar failed");
      break;
    }
    benchmark::DoNotOptimize(dst->data);
    benchmark::ClobberMemory();
  }
  ReportFrame(state);
}
BENCHMARK(BM_Planar16To8)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
