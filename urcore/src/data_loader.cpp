#include "framework_thumbnail.h"

#include <ur/bayer.h>
#include <ur/buffers.h>
#include <ur/data_loader.h>
#include <ur/histogram.h>

#include <QRegularExpression>

#include <memory>
#include <vector>

namespace ur {

namespace {
// The pixels of one frame, owned; null when the loader has none.
std::unique_ptr<CxImageData> FramePixels(IxDataLoader& loader, int frame) {
  std::unique_ptr<CxImageData> data(loader.imageData(frame));
  if (!data || !data->hasPixels()) return nullptr;
  return data;
}

bool RegionInside(const QRect& roi, const SxImageBuf& image) {
  return !roi.isEmpty() && QRect(0, 0, image.width, image.height).contains(roi);
}
}  // namespace

QStringList SuffixesOf(const FileFormatList& formats) {
  static const QRegularExpression separators(QStringLiteral("[\\s;,]+"));
  QStringList suffixes;
  for (const SxFileFormat& format : formats) {
    // "TIFF (*.tif *.tiff)": the patterns are inside the parentheses, or the whole text.
    const int open = format.filter.indexOf(QLatin1Char('('));
    const int close = format.filter.lastIndexOf(QLatin1Char(')'));
    const QString patterns =
        (open >= 0 && close > open) ? format.filter.mid(open + 1, close - open - 1) : format.filter;
    for (const QString& pattern : patterns.split(separators, Qt::SkipEmptyParts)) {
      if (!pattern.startsWith(QLatin1String("*."))) continue;
      const QString suffix = pattern.mid(2).toLower();
      if (!suffix.isEmpty() && !suffix.contains(QLatin1Char('*')) && !suffixes.contains(suffix))
        suffixes.append(suffix);
    }
  }
  return suffixes;
}

// IxDataLoader ------------------------------------------------------------------------------

IxDataLoader::IxDataLoader(QObject* parent) : QObject(parent) {}

IxDataLoader::~IxDataLoader() = default;

int IxDataLoader::frameCount() const { return isOpen() ? 1 : 0; }

IxData* IxDataLoader::data(int frame) { return imageData(frame); }

QString IxDataLoader::frameName(int frame) const {
  return QStringLiteral("Frame %1").arg(frame + 1);
}

QString IxDataLoader::filename() const { return m_fileName; }

void IxDataLoader::setFilename(const QString& fileName) {
  if (isOpen()) close();
  m_fileName = fileName;
}

void IxDataLoader::setBuffer(const QByteArray&, const QString&) {}

bool IxDataLoader::supportsLoadFromBuffer() const { return false; }

int IxDataLoader::index() const { return 0; }

QString IxDataLoader::frameText(int) const { return QString(); }

QString IxDataLoader::metadataSubdir() const { return m_metadataSubdir; }

void IxDataLoader::setMetadataSubdir(const QString& subdir) { m_metadataSubdir = subdir; }

bool IxDataLoader::importMetadata(IxData*, int) { return false; }

bool IxDataLoader::isMultiFileSequence() const { return false; }

QString IxDataLoader::seqFileFrameExtension() const { return QString(); }

QStringList IxDataLoader::sequenceFiles() const {
  return m_fileName.isEmpty() ? QStringList() : QStringList{m_fileName};
}

IxDataLoader* IxDataLoader::internalLoader() { return this; }

// IxImageDataLoader -------------------------------------------------------------------------

IxImageDataLoader::IxImageDataLoader(QObject* parent) : IxDataLoader(parent) {}

CxImageData* IxImageDataLoader::dataRoi(const QRect& roi, int frame) {
  ScopedImageBuf pixels;
  CxMetadata metadata;
  SxImageInfo info;
  if (!loadRoi(frame, roi, pixels.get()) || !loadMetadata(frame, metadata, info)) return nullptr;
  auto data = std::make_unique<CxImageData>();
  data->setMetadata(metadata);
  data->setImageShallow(pixels.release(), frame, 0, QDateTime::currentDateTime());
  return data.release();
}

double IxImageDataLoader::frameRate() const { return 0.0; }

bool IxImageDataLoader::hasFileSource() const { return true; }

bool IxImageDataLoader::loadHistogram(int frame, CxImageHistogram& histogram) {
  const auto data = FramePixels(*this, frame);
  if (!data) return false;
  return ComputeImageHistogram(data->image(), histogram);
}

bool IxImageDataLoader::loadThumbnail(int frame, SxImageBuf& buffer) {
  const auto data = FramePixels(*this, frame);
  return data && detail::MakeThumbnail(data->image(), buffer);
}

bool IxImageDataLoader::loadRoi(int frame, const QRect& roi, SxImageBuf& buffer) {
  const auto data = FramePixels(*this, frame);
  if (!data || !RegionInside(roi, data->image())) return false;
  const SxImageBuf& image = data->image();
  SxImageBuf shape = image;  // the description of the region, without pixels yet
  shape.data = nullptr;
  shape.width = roi.width();
  shape.height = roi.height();
  shape.linePitch = 0;
  ScopedImageBuf region(shape);
  if (Failed(AllocBuffer(region.get()))) return false;
  if (Failed(CopyBuffer(image, roi, region.get(), QPoint(0, 0), true))) return false;
  // The grid names the colours of the region's own top-left cell.
  region->bayerGrid = ShiftBayerGrid(image.bayerGrid, roi.x(), roi.y());
  buffer = region.release();
  return true;
}

bool IxImageDataLoader::loadMetadata(int frame, CxMetadata& metadata, SxImageInfo& info) {
  std::unique_ptr<CxImageData> data(imageData(frame));
  if (!data) return false;
  metadata = data->metadata();
  info = ImageInfo(data->image());
  return true;
}

CxMetadata IxImageDataLoader::globalMetadata() const { return CxMetadata(); }

CxImageData* IxImageDataLoader::takeImageData(int frame) { return imageData(frame); }

}  // namespace ur
