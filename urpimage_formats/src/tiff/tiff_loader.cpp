#include "tiff/tiff_loader.h"

#include "tiff/tiff_tags.h"

#include <ur/bit_depth.h>
#include <ur/common_image_metadata.h>
#include <ur/result.h>

#include <QDateTime>
#include <QDebug>

namespace ur {

namespace {

constexpr double kMicrosecondsPerSecond = 1000000.0;
constexpr int kBitsOf8 = 8;
constexpr int kBitsOf16 = 16;

// A record's bit depth is taken only if it fits the data type.
bool DepthFitsType(int depth, ExImageDataType type) {
  if (type == eImageDataUInt8) return depth >= 1 && depth <= kBitsOf8;
  if (type == eImageDataUInt16) return depth > kBitsOf8 && depth <= kBitsOf16;
  return false;
}

bool IsValidGrid(ExBayerGrid grid) { return grid >= eBayerBGGR && grid <= eBayerMosaic; }

}  // namespace

CxTiffImageLoader::CxTiffImageLoader(QObject* parent) : IxImageDataLoader(parent) {
  tiff::InstallTiffMessageHandlers();
}

CxTiffImageLoader::~CxTiffImageLoader() { close(); }

bool CxTiffImageLoader::open() {
  close();
  if (openFile()) return true;
  close();
  return false;
}

bool CxTiffImageLoader::openFile() {
  // A missing or foreign file (a PNG named .tif) fails here quietly, before libtiff complains.
  if (!tiff::HasTiffSignature(m_fileName)) return false;
  m_tiff = tiff::OpenTiff(m_fileName, "r");
  if (!m_tiff) return false;
  TIFF* tif = m_tiff.get();
  if (!tiff::ReadPageLayout(tif, m_firstPage)) return false;

  std::unique_ptr<CxCommonImageMetadata> tagRecord;
  CxMetadata metadata = readMetadata(tagRecord);
  std::uint64_t exifOffset = 0;
  if (!m_record.present && !TIFFGetField(tif, TIFFTAG_EXIFIFD, &exifOffset)) exifOffset = 0;

  ScopedImageBuf pixels;
  if (!readPixels(m_firstPage, pixels)) return false;

  m_directoryOffsets = {TIFFCurrentDirOffset(tif)};
  m_timestampsUs = {tiff::PageTimestampUs(tif)};
  listFrames();

  // Cameras keep exposure, aperture and ISO in the EXIF directory rather than in the page.
  if (exifOffset != 0) {
    const bool fromTags = tagRecord != nullptr;
    auto record = fromTags ? std::move(tagRecord) : std::make_unique<CxCommonImageMetadata>();
    if (tiff::AddExifAcquisitionFields(tif, exifOffset, *record) || fromTags)
      tagRecord = std::move(record);
    // Back on frame 0's directory; later frames are reached by their recorded positions.
    TIFFSetSubDirectory(tif, m_directoryOffsets.front());
  }
  if (tagRecord) metadata.addItem(std::move(tagRecord));

  m_image = std::make_unique<CxImageData>();
  m_image->setImageShallow(pixels.release(), 0, 0, QDateTime::currentDateTime());
  m_image->setMetadata(metadata);
  m_currentFrame = 0;
  return m_image->hasPixels();
}

// The framework's metadata from ImageDescription; the pixel fields of its common image
// record are kept for the frames. Without such a record, one is built from the tags.
CxMetadata CxTiffImageLoader::readMetadata(std::unique_ptr<CxCommonImageMetadata>& tagRecord) {
  TIFF* tif = m_tiff.get();
  CxMetadata metadata;
  const QString description = tiff::TextTag(tif, TIFFTAG_IMAGEDESCRIPTION);
  if (!description.isEmpty() && !metadata.loadFromXml(description))
    LogError(QStringLiteral("Failed to load the image metadata."));

  m_record = SxRecordPixelFields{};
  if (const auto* record = metadata.find<CxCommonImageMetadata>()) {
    m_record.present = true;
    m_record.dataType = record->dataType;
    m_record.bitDepth = record->bitDepth;
    m_record.bayerGrid = record->bayerGrid;
    m_record.patternWidth = record->patternWidth;
    m_record.patternHeight = record->patternHeight;
  } else {
    tagRecord = tiff::CommonRecordFromTags(tif);
  }
  return metadata;
}

// The current directory's pixels: allocate, read, and settle the buffer description.
bool CxTiffImageLoader::readPixels(const tiff::TiffPageLayout& layout,
                                   ScopedImageBuf& pixels) const {
  // A page too large for the framework's record is refused like a failed allocation.
  SxImageBuf buf;
  if (!tiff::DescribeBuffer(layout, buf) || Failed(AllocBuffer(buf))) {
    LogError(QStringLiteral("Out of memory."));
    return false;
  }
  ScopedImageBuf guard(buf);
  if (!tiff::ReadPagePixels(m_tiff.get(), layout, guard.get())) return false;
  finishBufferDescription(layout, guard.get());
  pixels = std::move(guard);
  return true;
}

void CxTiffImageLoader::finishBufferDescription(const tiff::TiffPageLayout& layout,
                                                SxImageBuf& buf) const {
  if (m_record.present && m_record.dataType != eImageDataUnknown &&
      BytesPerSample(m_record.dataType) == BytesPerSample(buf.dataType))
    buf.dataType = m_record.dataType;
  // 16-bit samples seldom use all 16 bits; the largest sample tells how many they do.
  if (buf.dataType == eImageDataUInt16 && layout.bits == kBitsOf16) DetectColorBitDepth(buf);
  if (!m_record.present) return;
  if (DepthFitsType(m_record.bitDepth, buf.dataType) && m_record.bitDepth > buf.bitDepth)
    buf.bitDepth = m_record.bitDepth;
  if (IsValidGrid(m_record.bayerGrid)) buf.bayerGrid = m_record.bayerGrid;
  buf.patternWidth = m_record.patternWidth;
  buf.patternHeight = m_record.patternHeight;
}

// Later directories count as frames only if they match the first page; the frame rate comes
// from the first and last time stamps.
void CxTiffImageLoader::listFrames() {
  TIFF* tif = m_tiff.get();
  while (TIFFReadDirectory(tif)) {
    tiff::TiffPageLayout page;
    if (!tiff::ReadPageLayout(tif, page) || !tiff::IsSameFrameShape(m_firstPage, page)) continue;
    m_directoryOffsets.push_back(TIFFCurrentDirOffset(tif));
    m_timestampsUs.push_back(tiff::PageTimestampUs(tif));
  }
  m_frameCount = m_directoryOffsets.size();
  const qint64 first = m_timestampsUs.front();
  const qint64 last = m_timestampsUs.back();
  m_frameRate = last > first ? m_frameCount * kMicrosecondsPerSecond / double(last - first) : 0.0;
}

bool CxTiffImageLoader::isOpen() const { return m_tiff != nullptr && m_image != nullptr; }

void CxTiffImageLoader::close() {
  m_image.reset();
  m_tiff.reset();
  m_firstPage = tiff::TiffPageLayout{};
  m_record = SxRecordPixelFields{};
  m_frameCount = 0;
  m_currentFrame = 0;
  m_directoryOffsets.clear();
  m_timestampsUs.clear();
  m_frameRate = 0.0;
}

int CxTiffImageLoader::frameCount() const {
  // The interface makes this const, yet it opens the file on demand: opening changes only the
  // loader's cache of the file, never what the loader stands for.
  if (!isOpen()) const_cast<CxTiffImageLoader*>(this)->open();
  return m_frameCount;
}

void CxTiffImageLoader::setFilename(const QString& fileName) {
  close();
  IxImageDataLoader::setFilename(fileName);
}

FileFormatList CxTiffImageLoader::fileFormats() const {
  return {SxFileFormat{QStringLiteral("TIFF (*.tif)"), 1},
          SxFileFormat{QStringLiteral("TIFF (*.tiff)"), 1}};
}

// Reads another frame into the image. A frame whose directory cannot be reached or whose pixels
// cannot be decoded fails, with a warning; the frame held before stays loaded and current.
bool CxTiffImageLoader::loadFrame(int frame) {
  TIFF* tif = m_tiff.get();
  const auto refuse = [this, frame](const char* why) {
    qWarning().noquote() << QStringLiteral("%1: frame %2 %3").arg(m_fileName).arg(frame).arg(
                                QLatin1String(why));
    return false;
  };
  if (!tif || !TIFFSetSubDirectory(tif, m_directoryOffsets[frame]))
    return refuse("cannot be reached: its directory cannot be read");
  tiff::TiffPageLayout page;
  ScopedImageBuf pixels;
  if (!tiff::ReadPageLayout(tif, page) || !tiff::IsSameFrameShape(m_firstPage, page))
    return refuse("cannot be read: its directory is damaged");
  if (!readPixels(page, pixels)) return refuse("cannot be read: its pixels are damaged");
  m_image->setImageShallow(pixels.release(), frame, 0, m_image->timestamp());
  m_currentFrame = frame;
  return true;
}

CxImageData* CxTiffImageLoader::frameData(int frame) {
  if (!m_image) return nullptr;
  if (frame < 0 || frame >= m_frameCount) {
    qWarning().noquote() << QStringLiteral("%1: there is no frame %2 (the file has %3)")
                                .arg(m_fileName)
                                .arg(frame)
                                .arg(m_frameCount);
    return nullptr;
  }
  if (frame != m_currentFrame && !loadFrame(frame)) return nullptr;
  if (frame < m_timestampsUs.size()) {
    m_image->setTimestampUs(m_timestampsUs[frame]);
  } else if (m_frameRate > 0) {
    m_image->setTimestampUs(qint64(frame * kMicrosecondsPerSecond / m_frameRate));
  }
  return m_image->hasPixels() ? m_image.get() : nullptr;
}

CxImageData* CxTiffImageLoader::imageData(int frame) {
  const CxImageData* data = frameData(frame);
  return data ? data->clone(nullptr) : nullptr;
}

CxImageData* CxTiffImageLoader::takeImageData(int frame) {
  if (!frameData(frame)) return nullptr;
  m_currentFrame = -1;
  return m_image.release();
}

double CxTiffImageLoader::frameRate() const {
  if (!isOpen()) const_cast<CxTiffImageLoader*>(this)->open();
  return m_frameRate;
}

bool CxTiffImageLoader::hasFileSource() const { return true; }

}  // namespace ur
