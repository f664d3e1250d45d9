#include <zel/input_reading.h>

#include "input_loaders.h"

#include <ur/buffers.h>
#include <ur/demosaic.h>
#include <ur/geometry.h>
#include <ur/result.h>

#include <QFileInfo>
#include <QPoint>

namespace urs::zel {

namespace {

QString LowerSuffix(const QString& path) { return QFileInfo(path).suffix().toLower(); }

bool IsFormatManagerSuffix(const QString& suffix) {
  return suffix == QLatin1String("png") || suffix == QLatin1String("tif") ||
         suffix == QLatin1String("tiff");
}

bool IsFitsSuffix(const QString& suffix) {
  return suffix == QLatin1String("fit") || suffix == QLatin1String("fits") ||
         suffix == QLatin1String("fts");
}

bool IsImageLoaderSuffix(const QString& suffix) {
  return suffix == QLatin1String("mat") || suffix == QLatin1String("txt");
}

// The fallback for files the format manager refuses: FreeImage's own reader, one channel or
// interleaved colour only.
unsigned int LoadByCxImage(const QString& path, ur::CxImage& image) {
  ur::CxImage loaded;
  if (ur::Failed(loaded.load(path))) return ur::rc::Fail;
  SxImageBuf buffer;
  if (ur::Failed(loaded.getImageBuf(buffer))) return ur::rc::Fail;
  const bool layoutOk = buffer.channels == 1 || (buffer.channels == 3 && buffer.planar == 0);
  if (!layoutOk) return ur::rc::Unsupported;
  // FreeImage keeps the bottom row first; the format manager's images, which the converters
  // expect, start with the top row.
  if (ur::Failed(ur::ReverseRowOrder(buffer))) return ur::rc::Fail;
  image = std::move(loaded);
  return ur::rc::Ok;
}

}  // namespace

QStringList GetRawFilter() {
  QStringList filters;
  for (const char* suffix :
       {".png", ".dng", ".mat", ".txt", ".tif", ".tiff", ".fit", ".fits", ".fts"})
    filters << QStringLiteral("*%1").arg(QLatin1String(suffix));
  return filters;
}

unsigned int ReadRawImage(const QString& path, ur::CxImage& image, ExBayerGrid& grid) {
  const QString suffix = LowerSuffix(path);
  if (IsFormatManagerSuffix(suffix)) {
    grid = ur::eBayerNone;
    return LoadByFormatManager(path, image);
  }
  if (suffix == QLatin1String("dng")) return ReadDngImage(path, image, grid);
  if (IsFitsSuffix(suffix)) {
    grid = ur::eBayerNone;
    return LoadFitsFrame(path, image);
  }
  if (IsImageLoaderSuffix(suffix)) {
    const unsigned int rc = LoadByImageLoader(path, image);
    grid = ur::eBayerNone;
    return rc;
  }
  return ur::rc::Unsupported;
}

unsigned int ReadInputImage(const QString& path, ur::CxImage& image, ExBayerGrid& grid) {
  if (!QFileInfo::exists(path)) return ur::rc::InvalidArg(1);
  const QString suffix = LowerSuffix(path);
  if (suffix == QLatin1String("dng")) return ReadDngImage(path, image, grid);
  // TIFF is read exactly like PNG: it is a main input format and listed by GetRawFilter.
  if (IsFormatManagerSuffix(suffix)) {
    const unsigned int rc = LoadByFormatManager(path, image);
    if (ur::Succeeded(rc)) return rc;
    return LoadByCxImage(path, image);
  }
  if (IsFitsSuffix(suffix)) return LoadFitsFrame(path, image);
  if (IsImageLoaderSuffix(suffix)) {
    const unsigned int rc = LoadByImageLoader(path, image);
    grid = ur::eBayerNone;
    return rc;
  }
  return ur::rc::Ok;
}

unsigned int Demosaic(const SxImageBuf& source, const QRect& region, SxImageBuf& destination,
                      DemosaicAlgorithm algorithm) {
  ur::Result rc = ur::rc::Ok;
  if (source.bayerGrid == ur::eBayerNone)
    rc = ur::CopyBuffer(source, region, destination, QPoint(0, 0), true);
  else if (algorithm == Averaging)
    rc = ur::Demosaic(source, region, destination, nullptr);
  else if (algorithm == Simple)
    rc = ur::DemosaicSimple(source, region, destination, source.bayerGrid);
  else
    return ur::rc::InvalidArg(5);
  return ur::Failed(rc) ? ur::rc::Fail : rc;
}

}  // namespace urs::zel
