#include "tiff/tiff_tags.h"

#include <QByteArray>
#include <QDateTime>

#include <cmath>
#include <cstring>

namespace ur::tiff {

namespace {

// DateTime (306) as TIFF 6.0 writes it.
constexpr char kTiffDateFormat[] = "yyyy:MM:dd HH:mm:ss";

double FirstValue(const void* data, int type, int storageBytes) {
  switch (type) {
    case TIFF_RATIONAL:
    case TIFF_SRATIONAL:
    case TIFF_FLOAT:
    case TIFF_DOUBLE:
      // libtiff keeps rationals as float or double, depending on the field's definition.
      if (storageBytes == 8) return *static_cast<const double*>(data);
      return *static_cast<const float*>(data);
    case TIFF_SBYTE:
      return *static_cast<const std::int8_t*>(data);
    case TIFF_SSHORT:
      return *static_cast<const std::int16_t*>(data);
    case TIFF_SLONG:
      return *static_cast<const std::int32_t*>(data);
    case TIFF_SLONG8:
      return double(*static_cast<const std::int64_t*>(data));
    default:
      switch (storageBytes) {
        case 1:
          return *static_cast<const std::uint8_t*>(data);
        case 2:
          return *static_cast<const std::uint16_t*>(data);
        case 4:
          return *static_cast<const std::uint32_t*>(data);
        case 8:
          return double(*static_cast<const std::uint64_t*>(data));
        default:
          return NAN;
      }
  }
}

// The first value of a numeric tag, whatever its TIFF type and whether libtiff knows it (tags it
// does not know are read as "anonymous" fields with a count). False when absent.
bool NumberTag(TIFF* tif, std::uint32_t tag, double& value) {
  const TIFFField* field = TIFFFindField(tif, tag, TIFF_ANY);
  if (!field) return false;
  // Taken as a number: a damaged file gives anonymous fields types outside the enumeration.
  const int type = static_cast<int>(TIFFFieldDataType(field));
  if (type == TIFF_ASCII || type == TIFF_UNDEFINED) return false;
  const int storageBytes = TIFFFieldSetGetSize(field);
  const int countBytes = TIFFFieldSetGetCountSize(field);
  if (storageBytes <= 0 || storageBytes > 8) return false;

  alignas(8) unsigned char scalar[8] = {};
  const void* data = nullptr;
  if (countBytes == 2) {
    std::uint16_t count = 0;
    void* array = nullptr;
    if (!TIFFGetField(tif, tag, &count, &array) || count == 0) return false;
    data = array;
  } else if (countBytes == 4) {
    std::uint32_t count = 0;
    void* array = nullptr;
    if (!TIFFGetField(tif, tag, &count, &array) || count == 0) return false;
    data = array;
  } else if (TIFFFieldReadCount(field) == 1) {
    if (!TIFFGetField(tif, tag, scalar)) return false;
    data = scalar;
  } else {
    void* array = nullptr;
    if (!TIFFGetField(tif, tag, &array)) return false;
    data = array;
  }
  if (!data) return false;
  value = FirstValue(data, type, storageBytes);
  return std::isfinite(value);
}

// libtiff turns a rational with denominator 0 into 0, so a zero rational counts as absent.
bool RationalTag(TIFF* tif, std::uint32_t tag, double& value) {
  return NumberTag(tif, tag, value) && value != 0.0;
}

// The numeric acquisition fields; each is taken only while the record lacks it.
bool AddNumericFields(TIFF* tif, CxCommonImageMetadata& record) {
  bool any = false;
  double v = 0.0;
  if (record.exposureTime < 0 && RationalTag(tif, kTagExposureTime, v)) {
    record.exposureTime = v;
    any = true;
  }
  if (record.aperture < 0 && RationalTag(tif, kTagApertureValue, v)) {
    record.aperture = v;
    any = true;
  }
  if (record.fNumber < 0 && RationalTag(tif, kTagFNumber, v)) {
    record.fNumber = v;
    any = true;
  }
  if (record.whiteBalance < 0 && NumberTag(tif, kTagWhiteBalance, v)) {
    record.whiteBalance = v == 0.0 ? 0 : 1;  // EXIF: 0 automatic, 1 manual
    any = true;
  }
  if (record.iso < 0 && NumberTag(tif, kTagIsoSpeedRatings, v) && v >= 0) {
    record.iso = int(v);
    any = true;
  }
  return any;
}

}  // namespace

QString TextTag(TIFF* tif, std::uint32_t tag) {
  const char* text = nullptr;
  if (!TIFFGetField(tif, tag, &text) || !text) return QString();
  return QString::fromUtf8(text);
}

void SetTextTag(TIFF* tif, std::uint32_t tag, const QString& text) {
  if (text.isEmpty()) return;
  const QByteArray bytes = text.toUtf8();
  TIFFSetField(tif, tag, bytes.constData());
}

qint64 PageTimestampUs(TIFF* tif) {
  bool ok = false;
  const qint64 us = TextTag(tif, TIFFTAG_PAGENAME).trimmed().toLongLong(&ok);
  return ok ? us : 0;
}

std::unique_ptr<CxCommonImageMetadata> CommonRecordFromTags(TIFF* tif) {
  auto record = std::make_unique<CxCommonImageMetadata>();
  record->cameraMake = TextTag(tif, TIFFTAG_MAKE);
  record->cameraModel = TextTag(tif, TIFFTAG_MODEL);
  record->software = TextTag(tif, TIFFTAG_SOFTWARE);
  record->author = TextTag(tif, TIFFTAG_ARTIST);
  record->copyright = TextTag(tif, TIFFTAG_COPYRIGHT);
  const QString date = TextTag(tif, TIFFTAG_DATETIME);
  if (!date.isEmpty())
    record->dateTime = QDateTime::fromString(date.trimmed(), QLatin1String(kTiffDateFormat));
  bool any = !record->cameraMake.isEmpty() || !record->cameraModel.isEmpty() ||
             !record->software.isEmpty() || !record->author.isEmpty() ||
             !record->copyright.isEmpty() || record->dateTime.isValid();
  any = AddNumericFields(tif, *record) || any;
  if (!any) return nullptr;
  return record;
}

bool AddExifAcquisitionFields(TIFF* tif, std::uint64_t exifOffset, CxCommonImageMetadata& record) {
  if (exifOffset == 0 || !TIFFReadEXIFDirectory(tif, exifOffset)) return false;
  return AddNumericFields(tif, record);
}

void WriteCommonRecordTags(TIFF* tif, const CxCommonImageMetadata& record) {
  SetTextTag(tif, TIFFTAG_MAKE, record.cameraMake);
  SetTextTag(tif, TIFFTAG_MODEL, record.cameraModel);
  SetTextTag(tif, TIFFTAG_SOFTWARE, record.software);
  SetTextTag(tif, TIFFTAG_ARTIST, record.author);
  SetTextTag(tif, TIFFTAG_COPYRIGHT, record.copyright);
  if (record.dateTime.isValid())
    SetTextTag(tif, TIFFTAG_DATETIME, record.dateTime.toString(QLatin1String(kTiffDateFormat)));
}

}  // namespace ur::tiff
