// Reading a 16-bit grey PNG of a full frame: our libpng decoder (which keeps the stored samples)
// against FreeImage's own PNG loader on the same bytes.

#include "bench_frame.h"

#include <ur/image.h>
#include <ur/png_reader.h>

#include <FreeImage.h>
#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

namespace {

// The bench frame written once as a PNG by the framework's saver.
const QString& FramePng() {
  static QTemporaryDir dir;
  static const QString path = [] {
    const QString file = dir.filePath(QStringLiteral("frame16.png"));
    ur::CxImage image(zel::bench::Frame16());
    image.save(file);
    return file;
  }();
  return path;
}

void BM_PngRead_Ours(benchmark::State& state) {
  const QString& path = FramePng();
  for (auto _ : state) {
    int bits = 0;
    QString error;
    FIBITMAP* dib = ur::LoadPngFile(path, ur::ExPngPaletteForm::eAlwaysAlpha, bits, error);
    if (!dib) state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(dib);
    FreeImage_Unload(dib);
  }
  state.SetItemsProcessed(state.iterations() * zel::bench::kFrameWidth * zel::bench::kFrameHeight);
}
BENCHMARK(BM_PngRead_Ours)->Unit(benchmark::kMillisecond);

void BM_PngRead_FreeImage(benchmark::State& state) {
  const QByteArray path = QFile::encodeName(FramePng());
  for (auto _ : state) {
    FIBITMAP* dib = FreeImage_Load(FIF_PNG, path.constData(), PNG_IGNOREGAMMA);
    if (!dib) state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(dib);
    FreeImage_Unload(dib);
  }
  state.SetItemsProcessed(state.iterations() * zel::bench::kFrameWidth * zel::bench::kFrameHeight);
}
BENCHMARK(BM_PngRead_FreeImage)->Unit(benchmark::kMillisecond);

}  // namespace
