#include "hdf5_image_saver.h"

#include "hdf5_image_file.h"
#include "hdf5_thumbnail.h"

#include <ur/atomic_file.h>
#include <ur/hdf5.h>
#include <ur/image_data.h>
#include <ur/result.h>

#include <QDir>
#include <QFile>

namespace ur {

namespace {

// Writes the preview of image, if it needs one; a failure is logged and does not fail the save.
void WriteThumbnail(H5::H5File& file, const SxImageBuf& image, const QString& path) {
  if (h5i::ThumbnailSourceSize(image).isEmpty()) return;
  ScopedImageBuf preview;
  if (!h5i::MakeThumbnail(image, preview) ||
      !CxHDF5::writeImageBuf(file, h5i::kThumbnail, preview.get()))
    h5i::LogFailure(QStringLiteral("Failed to save the thumbnail."), path);
}

}  // namespace

CxHDF5ImageSaver::CxHDF5ImageSaver(QObject* parent) : IxImageDataSaver(parent) {}

FileFormatList CxHDF5ImageSaver::fileFormats() const { return h5i::Formats(); }

void CxHDF5ImageSaver::setFilename(const QString& fileName) {
  m_fileName = QDir::toNativeSeparators(fileName);
}

QString CxHDF5ImageSaver::filename() const { return m_fileName; }

bool CxHDF5ImageSaver::saveImageData(const IxData* data, int) {
  const CxHDF5Locker lock;
  const auto* image = qobject_cast<const CxImageData*>(data);
  if (!image) {
    LogError(QStringLiteral("Invalid or null input data."));
    return false;
  }
  if (m_fileName.isEmpty()) {
    LogError(QStringLiteral("Empty filename."));
    return false;
  }
  CxAtomicFile target(m_fileName);
  QString error;
  const bool written = h5i::Catching(error, [&] {
    // The 1.8 file format checksums every header, so that damage is found before it is
    // decoded, and is read by every library from 1.8 on.
    H5::FileAccPropList access;
    access.setLibverBounds(H5F_LIBVER_V18, H5F_LIBVER_V18);
    H5::H5File file(QFile::encodeName(target.tempPath()).constData(), H5F_ACC_EXCL,
                    H5::FileCreatPropList::DEFAULT, access);
    if (!CxHDF5::writeAttrString(file, h5i::kNameAttr, h5i::kFormatName) ||
        !CxHDF5::writeAttrInt32(file, h5i::kVersionMajorAttr, h5i::kVersionMajor) ||
        !CxHDF5::writeAttrInt32(file, h5i::kVersionMinorAttr, h5i::kVersionMinor) ||
        !CxHDF5::writeImageData(file, h5i::kImageData, image)) {
      error = QStringLiteral("Failed to save the image data. %1").arg(CxHDF5::lastError());
      return false;
    }
    WriteThumbnail(file, image->image(), m_fileName);
    file.close();  // flushes; a full disk shows here
    return true;
  });
  if (written && target.commit()) return true;
  if (written) error = QStringLiteral("The written file cannot replace the target.");
  h5i::LogFailure(error, m_fileName);
  return false;  // the temporary file goes with target
}

bool CxHDF5ImageSaver::saveMetadata(int, const CxMetadata& metadata) {
  if (m_fileName.isEmpty()) return false;
  const CxHDF5Locker lock;
  QString error;
  const bool ok = h5i::Catching(error, [&] {
    const auto file = h5i::OpenFile(m_fileName, true, error);
    if (!file) return false;
    if (!CxHDF5::writeMetadata(*file, h5i::kMetadataPath, metadata)) {
      error = CxHDF5::lastError();
      return false;
    }
    file->close();
    return true;
  });
  if (!ok) h5i::LogFailure(error, m_fileName);
  return ok;
}

}  // namespace ur
