#pragma once
// The common image record carried in every image's metadata: how the pixels are to be read
// (data type, bit depth, mosaic) and how the picture was taken.

#include <ur/image_buf.h>
#include <ur/metadata.h>
#include <ur/urcore_export.h>

#include <QDateTime>
#include <QString>

namespace ur {

// XML elements (all optional on reading): data_type, bit_depth, bayer_grid, planar,
// pattern_width, pattern_height, camera_make, camera_model, author, software, copyright,
// date_time (ISO 8601), exposure_time (seconds), gain, aperture, f_number, iso, white_balance,
// description.
class URCORE_EXPORT CxCommonImageMetadata : public IxMetadataItem {
  Q_OBJECT
  Q_CLASSINFO("CustomName", "Common Image Metadata")
public:
  Q_INVOKABLE explicit CxCommonImageMetadata(QObject* parent = nullptr);
  IxMetadataItem* clone() const override;

  // Fills the pixel fields from a buffer description.
  void setFromImage(const SxImageBuf& buf);

  // Pixel description. A value of 0 (or grid none) means "not recorded".
  ExImageDataType dataType = eImageDataUnknown;
  int bitDepth = 0;
  ExBayerGrid bayerGrid = eBayerNone;
  int planar = 0;
  int patternWidth = 0;
  int patternHeight = 0;

  // Acquisition. Empty strings, an invalid date, a negative number: not recorded.
  QString cameraMake;
  QString cameraModel;
  QString author;
  QString software;
  QString copyright;
  QString description;
  QDateTime dateTime;
  double exposureTime = -1.0;  // seconds
  double gain = -1.0;
  double aperture = -1.0;  // APEX aperture value
  double fNumber = -1.0;
  int iso = -1;
  int whiteBalance = -1;  // 0 automatic, 1 manual

  // True when any acquisition field is recorded.
  bool hasAcquisitionInfo() const;
};

}  // namespace ur
