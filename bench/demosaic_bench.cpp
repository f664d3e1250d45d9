// The Bayer-mosaic kernels on the 4000 x 3000 16-bit frame. Aims: DemosaicSimple within 4 x and
// bilinear Demosaic within 15 x the time of BM_MemcpyFrame. Both demosaicing functions split
// large frames into row bands on several threads, so they are timed by the wall clock.
#include "bench_frame.h"

#include <ur/demosaic.h>
#include <ur/raw_planar.h>

#include <benchmark/benchmark.h>

#include <QLoggingCategory>

namespace {

// Output buffers are allocated once, outside the timed loop.
ur::ScopedImageBuf AllocOrSkip(benchmark::State& state, int width, int height, int channels,
                               int planar) {
  ur::SxImageBuf b;
  if (ur::Failed(ur::AllocBuffer(b, width, height, channels, 12, ur::eImageDataUInt16, planar)))
    state.SkipWithError("cannot allocate the output");
  return ur::ScopedImageBuf(b);
}

void ReportFrame(benchmark::State& state, const ur::SxImageBuf& frame) {
  state.SetBytesProcessed(std::int64_t(state.iterations()) * ur::BufferBytes(frame));
}

void BM_Demosaic(benchmark::State& state) {
  // Demosaic logs its duration at debug level on every call; keep the report readable.
  QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
  const ur::SxImageBuf& frame = zel::bench::Frame16();
  auto dst = AllocOrSkip(state, frame.width, frame.height, 3, 0);
  const QRect whole(0, 0, frame.width, frame.height);
  for (auto _ : state) {
    if (ur::Failed(ur::Demosaic(frame, whole, dst.get()))) {
      state.SkipWithError("Demosaic failed");
      break;
    }
    benchmark::DoNotOptimize(dst->data);
    benchmark::ClobberMemory();
  }
  ReportFrame(state, frame);
}
BENCHMARK(BM_Demosaic)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DemosaicSimple(benchmark::State& state) {
  const ur::SxImageBuf& frame = zel::bench::Frame16();
  auto dst = AllocOrSkip(state, frame.width / 2, frame.height / 2, 3, 0);
  const QRect whole(0, 0, frame.width, frame.height);
  for (auto _ : state) {
    if (ur::Failed(ur::DemosaicSimple(frame, whole, dst.get(), frame.bayerGrid))) {
      state.SkipWithError("DemosaicSimple failed");
      break;
    }
    benchmark::DoNotOptimize(dst->data);
    benchmark::ClobberMemory();
  }
  ReportFrame(state, frame);
}
BENCHMARK(BM_DemosaicSimple)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ConvertRawToPlanarRaw(benchmark::State& state) {
  const ur::SxImageBuf& frame = zel::bench::Frame16();
  auto planar = AllocOrSkip(state, frame.width / 2, frame.height / 2, 4, 1);
  const QRect whole(0, 0, frame.width, frame.height);
  for (auto _ : state) {
    if (ur::Failed(ur::ConvertRawToPlanarRaw(frame, whole, frame.bayerGrid, planar.get()))) {
      state.SkipWithError("ConvertRawToPlanarRaw failed");
      break;
    }
    benchmark::DoNotOptimize(planar->data);
    benchmark::ClobberMemory();
  }
  ReportFrame(state, frame);
}
BENCHMARK(BM_ConvertRawToPlanarRaw)->Unit(benchmark::kMillisecond);

}  // namespace
