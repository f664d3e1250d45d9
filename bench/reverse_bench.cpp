// The steps of restoring a ZEL image on a full frame: reading the 8-bit ZEL PNG (our decoder
// against FreeImage's loader) and writing the restored 16-bit image as TIFF and PNG (our
// encoders, through CxImage, against FreeImage's writers).

#include "bench_frame.h"

#include <ur/buffers.h>
#include <ur/image.h>
#include <ur/png_reader.h>

#include <FreeImage.h>
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

namespace {

QTemporaryDir& Dir() {
  static QTemporaryDir dir;
  return dir;
}

// The bench frame at 8 bits, written once as a ZEL image is (CxImage's 8-bit PNG encoder).
const QString& ZelPng() {
  static const QString path = [] {
    const ur::SxImageBuf& frame = zel::bench::Frame16();
    ur::ScopedImageBuf grey;
    ur::AllocBuffer(grey.get(), frame.width, frame.height, 1, 8, ur::eImageDataUInt8, 0,
                    ur::eBayerNone);
    for (int y = 0; y < frame.height; ++y) {
      const auto* in = reinterpret_cast<const std::uint16_t*>(ur::RowPtr(frame, y));
      std::uint8_t* out = ur::RowPtr(grey.get(), y);
      for (int x = 0; x < frame.width; ++x) out[x] = std::uint8_t(in[x] >> 4);
    }
    const QString file = Dir().filePath(QStringLiteral("frame.zel.png"));
    ur::CxImage::saveBufferToFile(grey.get(), file);
    return file;
  }();
  return path;
}

void BM_ReverseRead_Ours(benchmark::State& state) {
  const QString& path = ZelPng();
  for (auto _ : state) {
    int bits = 0;
    QString error;
    FIBITMAP* dib =
        ur::LoadPngFile(path, ur::ExPngPaletteForm::eAlphaWhenTransparent, bits, error);
    if (!dib) state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(dib);
    FreeImage_Unload(dib);
  }
}
BENCHMARK(BM_ReverseRead_Ours)->Unit(benchmark::kMillisecond);

void BM_ReverseRead_FreeImage(benchmark::State& state) {
  const QByteArray path = QFile::encodeName(ZelPng());
  for (auto _ : state) {
    FIBITMAP* dib = FreeImage_Load(FIF_PNG, path.constData(), 0);
    if (!dib) state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(dib);
    FreeImage_Unload(dib);
  }
}
BENCHMARK(BM_ReverseRead_FreeImage)->Unit(benchmark::kMillisecond);

// The restored 16-bit frame saved through CxImage (our encoders), to the suffix's format.
void BM_ReverseWrite_Ours(benchmark::State& state, const char* suffix) {
  const QString path = Dir().filePath(QStringLiteral("ours.") + QLatin1String(suffix));
  for (auto _ : state)
    if (ur::Failed(ur::CxImage::saveBufferToFile(zel::bench::Frame16(), path)))
      state.SkipWithError("saving failed");
}
BENCHMARK_CAPTURE(BM_ReverseWrite_Ours, Tiff, "tif")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReverseWrite_Ours, Png, "png")->Unit(benchmark::kMillisecond);

// The same bitmap through FreeImage's writers with the flags CxImage gave them before.
void BM_ReverseWrite_FreeImage(benchmark::State& state, FREE_IMAGE_FORMAT fif, int flags) {
  ur::CxImage image(zel::bench::Frame16());
  const QString path = Dir().filePath(QStringLiteral("freeimage.%1").arg(int(fif)));
  const QByteArray name = QFile::encodeName(path);
  for (auto _ : state)
    if (!FreeImage_Save(fif, image.bitmap(), name.constData(), flags))
      state.SkipWithError("saving failed");
}
BENCHMARK_CAPTURE(BM_ReverseWrite_FreeImage, Tiff, FIF_TIFF, TIFF_DEFAULT)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReverseWrite_FreeImage, Png, FIF_PNG, PNG_Z_BEST_SPEED)
    ->Unit(benchmark::kMillisecond);

}  // namespace
