#include <urs/matlab_image_saver.h>

#include "matlab/mat_io.h"
#include "matlab/metadata_codecs.h"

#include <urs/matlab_file.h>
#include <urs/matlab_metadata.h>

#include <ur/atomic_file.h>
#include <ur/common_image_metadata.h>
#include <ur/image_data.h>
#include <ur/result.h>

#include <memory>

namespace urs::matlab {

namespace {

const QString kOptionName = QStringLiteral("matname");
const QString kOptionReverseRows = QStringLiteral("reverse_rows");

// The item of type T in the collection, added when there is none.
template <typename T>
T& ItemOf(ur::CxMetadata& metadata) {
  if (T* found = metadata.find<T>()) return *found;
  auto item = std::make_unique<T>();
  T& added = *item;
  metadata.addItem(std::move(item));
  return added;
}

// The image's metadata with the records of the mosaic and of how it was written.
ur::CxMetadata MetadataToStore(const ur::CxImageData& data, const ur::SxImageInfo& saved,
                               bool reverseRows) {
  const ur::SxImageBuf& image = data.image();
  ur::CxMetadata metadata = data.metadata();
  auto& common = ItemOf<ur::CxCommonImageMetadata>(metadata);
  common.bayerGrid = image.bayerGrid;
  common.planar = image.planar;
  common.patternWidth = image.patternWidth;
  common.patternHeight = image.patternHeight;
  // The samples alone may understate the bit depth, so a record without one gets the image's.
  if (common.bitDepth == 0) common.bitDepth = image.bitDepth;
  if (common.dataType == ur::eImageDataUnknown) common.dataType = image.dataType;
  auto& matlab = ItemOf<CxMatlabImageMetadata>(metadata);
  matlab.origChannels = image.channels;
  matlab.savedChannels = saved.channels;
  matlab.reverseRows = reverseRows;
  return metadata;
}

}  // namespace

CxMatlabImageSaver::CxMatlabImageSaver(QObject* parent) : ur::IxImageDataSaver(parent) {}

ur::FileFormatList CxMatlabImageSaver::fileFormats() const {
  return detail::MatlabFileFormats();
}

bool CxMatlabImageSaver::saveImageData(const ur::IxData* data, int) {
  const auto* image = qobject_cast<const ur::CxImageData*>(data);
  if (!image) return false;
  QString name = m_options.value(kOptionName).toString();
  if (name.isEmpty()) name = QLatin1String(detail::kDefaultImageName);
  const bool reverseRows = m_options.value(kOptionReverseRows, true).toBool();

  // Written aside and renamed when whole, so a failed save leaves an earlier file as it was.
  ur::CxAtomicFile file(m_fileName);
  detail::MatFilePtr mat(static_cast<mat_t*>(MatOpenWrite(file.tempPath())));
  if (!mat) return false;
  ur::SxImageInfo saved;
  if (!AddImage(mat.get(), image->image(), name, reverseRows, saved, false)) return false;

  detail::RegisterMetadataClasses();
  const ur::CxMetadata metadata = MetadataToStore(*image, saved, reverseRows);
  if (!metadata.isEmpty() &&
      !AddVar(mat.get(), metadata.saveToXml(-1), QLatin1String(detail::kMetadataVariable)))
    ur::LogError(QStringLiteral("Failed to save the image metadata."));
  // Closing flushes the file; a failure there means it was not written whole.
  return MatClose(mat.release()) && file.commit();
}

QVariantMap CxMatlabImageSaver::optionsFromWidget(QWidget*) { return QVariantMap(); }

}  // namespace urs::matlab
