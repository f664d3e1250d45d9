#include "hdf5_image_file.h"

#include <ur/hdf5.h>
#include <ur/hdf5_structure.h>
#include <ur/result.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ur::h5i {

const QString kFormatName = QStringLiteral("HDF5 Image Format");
const QString kNameAttr = QStringLiteral("NAME");
const QString kVersionMajorAttr = QStringLiteral("UR_HDF5_VERSION_MAJOR");
const QString kVersionMinorAttr = QStringLiteral("UR_HDF5_VERSION_MINOR");
const QString kImageData = QStringLiteral("image_data");
const QString kMetadataPath = QStringLiteral("/image_data/metadata");
const QString kInfoPath = QStringLiteral("/image_data/image/format");
const QString kHistogramPath = QStringLiteral("/image_data/histogram");
const QString kThumbnail = QStringLiteral("thumbnail");

FileFormatList Formats() { return {SxFileFormat{QStringLiteral("HDF5 Image Format (*.h5i)"), 1}}; }

std::unique_ptr<H5::H5File> OpenFile(const QString& path, bool writable, QString& error) {
  const QByteArray name = QFile::encodeName(path);
  if (!QFileInfo(path).isFile()) {
    error = QStringLiteral("The file does not exist.");
    return nullptr;
  }
  // The library's own message for a foreign file says only that opening failed.
  if (H5Fis_hdf5(name.constData()) <= 0) {
    error = QStringLiteral("Not an HDF5 file.");
    return nullptr;
  }
  // The library reads outside its buffers on some damaged structures; those are refused first.
  const QString damage = Hdf5StructureProblem(path);
  if (!damage.isEmpty()) {
    error = QStringLiteral("The file is damaged: %1.").arg(damage);
    return nullptr;
  }
  return std::make_unique<H5::H5File>(name.constData(), writable ? H5F_ACC_RDWR : H5F_ACC_RDONLY);
}

bool CheckVersion(H5::H5File& file, QString& error) {
  int major = 0, minor = 0;
  if (!CxHDF5::readAttrInt32(file, kVersionMajorAttr, major, true, 0) ||
      !CxHDF5::readAttrInt32(file, kVersionMinorAttr, minor, true, 0)) {
    error = QStringLiteral("Invalid file format.");
    return false;
  }
  if (major > kVersionMajor || (major == kVersionMajor && minor > kVersionMinor)) {
    error = QStringLiteral("Unsupported HDF5 file format version. File version: %1.%2, "
                           "supported version: %3.%4")
                .arg(major)
                .arg(minor)
                .arg(kVersionMajor)
                .arg(kVersionMinor);
    return false;
  }
  return true;
}

void LogFailure(const QString& text, const QString& path) {
  LogError(QStringLiteral("%1 (%2)").arg(text, QDir::toNativeSeparators(path)));
}

}  // namespace ur::h5i
