#include "sample_files.h"

#include "synthetic_frame.h"

#include <ur/format_manager.h>

#include <QDir>

#include <vector>

namespace zel::samples {
namespace {

struct SxSampleFile {
  QString name;
  SxFrameSpec desc;
};

SxFrameSpec Grey(int width, int height, int bitDepth, SxLevelSet levels, double noise,
                 std::uint32_t seed) {
  SxFrameSpec desc;
  desc.width = width;
  desc.height = height;
  desc.bitDepth = bitDepth;
  desc.levels[0] = levels;
  desc.noiseLevels = noise;
  desc.seed = seed;
  return desc;
}

SxFrameSpec RggbMosaic(int width, int height, SxLevelSet red, SxLevelSet green, SxLevelSet blue,
                       double noise, std::uint32_t seed) {
  SxFrameSpec desc = Grey(width, height, 16, red, noise, seed);
  desc.levels[1] = green;
  desc.levels[2] = blue;
  desc.mosaicRggb = true;
  return desc;
}

QStringList WriteAll(const QString& dir, const std::vector<SxSampleFile>& files,
                     QString& errorText) {
  if (!QDir().mkpath(dir)) {
    errorText = QStringLiteral("cannot create the folder %1").arg(dir);
    return {};
  }
  QStringList written;
  auto* manager = ur::CxImageFormatManager::instance();
  for (const SxSampleFile& file : files) {
    const QString path = QDir(dir).filePath(file.name);
    const ur::ScopedImageBuf frame = MakeSyntheticFrame(file.desc);
    if (!ur::HasPixels(frame.get())) {
      errorText = QStringLiteral("out of memory making %1").arg(path);
      return {};
    }
    if (!manager->saveImageToFile(path, frame.get())) {
      errorText = QStringLiteral("cannot write %1").arg(path);
      return {};
    }
    written << path;
  }
  return written;
}

}  // namespace

QStringList WriteMainSamples(const QString& dir, QString& errorText) {
  // Level sets: base + step * k. Each stays within its bit depth.
  return WriteAll(
      dir,
      {{QStringLiteral("grey12_few_levels.tif"), Grey(640, 480, 12, {100, 41, 0}, 1.5, 12)},
       {QStringLiteral("grey16_many_levels.tif"), Grey(640, 480, 16, {6000, 10, 2000}, 30.0, 16)},
       {QStringLiteral("grey8.png"), Grey(640, 480, 8, {220, 1, 16}, 2.0, 8)},
       {QStringLiteral("mosaic_rggb16.png"),
        RggbMosaic(640, 480, {40, 300, 1000}, {60, 250, 800}, {30, 400, 1200}, 1.0, 4)}},
      errorText);
}

QStringList WriteBenchFrames(const QString& dir, QString& errorText) {
  // The 10-bit frame's noise is set so that its 16-bit PNG and lossless JPEG XL sizes come
  // close to those of a real 12-megapixel frame of this kind (about 13.8 MB and 8.7 MB).
  return WriteAll(
      dir,
      {{QStringLiteral("bench_grey10_200_levels.tif"), Grey(4000, 3000, 10, {205, 5, 0}, 16.0, 10)},
       {QStringLiteral("bench_grey12_3500_levels.tif"), Grey(4000, 3000, 12, {3500, 1, 300}, 25.0, 3500)}},
      errorText);
}

QStringList WriteBenchMosaics(const QString& dir, int count, QString& errorText) {
  // 10-bit RGGB mosaics whose planes take 200, 250 and 180 levels: the raw path keeps them
  // exactly. Each frame has its own noise.
  std::vector<SxSampleFile> files;
  for (int i = 0; i < count; ++i) {
    SxFrameSpec desc = RggbMosaic(4000, 3000, {200, 5, 0}, {250, 4, 10}, {180, 5, 20}, 1.5,
                                  std::uint32_t(100 + i));
    desc.bitDepth = 10;
    files.push_back({QStringLiteral("mosaic_%1.tif").arg(i, 3, 10, QLatin1Char('0')), desc});
  }
  return WriteAll(dir, files, errorText);
}

}  // namespace zel::samples
