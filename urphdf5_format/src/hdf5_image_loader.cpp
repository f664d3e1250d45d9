#include "hdf5_image_loader.h"

#include "hdf5_image_file.h"

#include <ur/buffers.h>
#include <ur/hdf5.h>
#include <ur/result.h>

#include <QDateTime>
#include <QDir>

namespace ur {

namespace {
const QString kEmptyFilename = QStringLiteral("Empty filename.");
}  // namespace

CxHDF5ImageLoader::CxHDF5ImageLoader(QObject* parent) : IxImageDataLoader(parent) {}

CxHDF5ImageLoader::~CxHDF5ImageLoader() = default;

bool CxHDF5ImageLoader::open() {
  const CxHDF5Locker lock;
  if (m_image) return true;
  if (m_fileName.isEmpty()) {
    LogError(kEmptyFilename);
    return false;
  }
  QString error;
  std::unique_ptr<CxImageData> image;
  const bool ok = h5i::Catching(error, [&] {
    const auto file = h5i::OpenFile(m_fileName, false, error);
    if (!file || !h5i::CheckVersion(*file, error)) return false;
    image.reset(CxHDF5::readImageData(*file, h5i::kImageData));
    // An open loader always holds an image: a file whose pixels cannot be read is a failure.
    if (!image) error = CxHDF5::lastError();
    file->close();
    return image != nullptr;
  });
  if (!ok) {
    h5i::LogFailure(error, m_fileName);
    return false;
  }
  m_image = std::move(image);
  return true;
}

bool CxHDF5ImageLoader::isOpen() const { return m_image != nullptr; }

void CxHDF5ImageLoader::close() { m_image.reset(); }

int CxHDF5ImageLoader::frameCount() const { return 1; }

QString CxHDF5ImageLoader::filename() const { return m_fileName; }

void CxHDF5ImageLoader::setFilename(const QString& fileName) {
  if (isOpen()) close();
  m_fileName = QDir::toNativeSeparators(fileName);
}

FileFormatList CxHDF5ImageLoader::fileFormats() const { return h5i::Formats(); }

CxImageData* CxHDF5ImageLoader::imageData(int) { return m_image ? m_image->clone(nullptr) : nullptr; }

CxImageData* CxHDF5ImageLoader::takeImageData(int) { return m_image.release(); }

CxImageData* CxHDF5ImageLoader::dataRoi(const QRect& roi, int frame) {
  ScopedImageBuf pixels;
  CxMetadata metadata;
  SxImageInfo info;
  if (!loadRoi(frame, roi, pixels.get()) || !loadMetadata(frame, metadata, info)) return nullptr;
  auto data = std::make_unique<CxImageData>();
  data->setImageShallow(pixels.release(), 0, 0, QDateTime::currentDateTime());
  data->setMetadata(metadata);
  return data.release();
}

double CxHDF5ImageLoader::frameRate() const { return 0.0; }

bool CxHDF5ImageLoader::hasFileSource() const { return true; }

bool CxHDF5ImageLoader::loadHistogram(int, CxImageHistogram& histogram) {
  if (m_fileName.isEmpty()) return false;
  const CxHDF5Locker lock;
  QString error;
  const bool ok = h5i::Catching(error, [&] {
    const auto file = h5i::OpenFile(m_fileName, false, error);
    if (!file) return false;
    if (CxHDF5::readHistogram(*file, h5i::kHistogramPath, histogram)) return true;
    error = CxHDF5::lastError();
    return false;
  });
  if (!ok) h5i::LogFailure(error, m_fileName);
  return ok;
}

bool CxHDF5ImageLoader::loadThumbnail(int frame, SxImageBuf& buffer) {
  if (m_fileName.isEmpty()) return false;
  const CxHDF5Locker lock;
  QString error;
  bool stored = false;
  bool ok = h5i::Catching(error, [&] {
    const auto file = h5i::OpenFile(m_fileName, false, error);
    if (!file) return false;
    stored = file->nameExists(h5i::kThumbnail.toStdString());
    if (!stored) return true;
    if (CxHDF5::readImageBuf(*file, h5i::kThumbnail, buffer)) return true;
    error = CxHDF5::lastError();
    return false;
  });
  if (ok && !stored) {
    // Small images have no stored preview: make one from the pixels, reading them for this
    // call when the loader is not open.
    const bool wasOpen = isOpen();
    ok = (wasOpen || open()) && IxImageDataLoader::loadThumbnail(frame, buffer);
    if (!wasOpen) close();
    if (!ok) error = QStringLiteral("No preview can be made from the pixels.");
  }
  if (!ok) h5i::LogFailure(error, m_fileName);
  return ok;
}

bool CxHDF5ImageLoader::loadRoi(int, const QRect& roi, SxImageBuf& buffer) {
  if (m_fileName.isEmpty()) {
    LogError(kEmptyFilename);
    return false;
  }
  const CxHDF5Locker lock;
  QString error;
  const bool ok = h5i::Catching(error, [&] {
    const auto file = h5i::OpenFile(m_fileName, false, error);
    if (!file || !h5i::CheckVersion(*file, error)) return false;
    if (CxHDF5::readImageDataRoi(*file, h5i::kImageData, roi, buffer)) return true;
    error = CxHDF5::lastError();
    return false;
  });
  if (!ok) h5i::LogFailure(error, m_fileName);
  return ok;
}

bool CxHDF5ImageLoader::loadMetadata(int, CxMetadata& metadata, SxImageInfo& info) {
  if (m_fileName.isEmpty()) return false;
  const CxHDF5Locker lock;
  QString error;
  const bool ok = h5i::Catching(error, [&] {
    const auto file = h5i::OpenFile(m_fileName, false, error);
    if (!file) return false;
    if (CxHDF5::readMetadata(*file, h5i::kMetadataPath, metadata) &&
        CxHDF5::readImageInfo(*file, h5i::kInfoPath, info))
      return true;
    error = CxHDF5::lastError();
    return false;
  });
  if (!ok) h5i::LogFailure(error, m_fileName);
  return ok;
}

}  // namespace ur
