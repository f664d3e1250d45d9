#include "freeimage/freeimage_metadata.h"

#include <ur/common_image_metadata.h>

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <cstring>
#include <memory>

namespace ur::freeimage {

namespace {

const QString kExifDateFormat = QStringLiteral("yyyy:MM:dd HH:mm:ss");

// The raw bytes of a text tag without its terminating zero; empty when absent or not text.
QByteArray TagBytes(FIBITMAP* bitmap, FREE_IMAGE_MDMODEL model, const char* key) {
  FITAG* tag = nullptr;
  if (!FreeImage_GetMetadata(model, bitmap, key, &tag) || !tag) return {};
  if (FreeImage_GetTagType(tag) != FIDT_ASCII) return {};
  const char* value = static_cast<const char*>(FreeImage_GetTagValue(tag));
  if (!value) return {};
  const std::size_t length = FreeImage_GetTagLength(tag);
  return QByteArray(value, int(strnlen(value, length)));
}

// The first value of a rational tag as numerator / denominator; false when absent, of another
// type, or with a zero denominator.
bool TagRational(FIBITMAP* bitmap, FREE_IMAGE_MDMODEL model, const char* key, double& out) {
  FITAG* tag = nullptr;
  if (!FreeImage_GetMetadata(model, bitmap, key, &tag) || !tag) return false;
  const void* value = FreeImage_GetTagValue(tag);
  if (!value || FreeImage_GetTagCount(tag) < 1) return false;
  if (FreeImage_GetTagType(tag) == FIDT_RATIONAL) {
    std::uint32_t pair[2];
    std::memcpy(pair, value, sizeof pair);
    if (pair[1] == 0) return false;
    out = double(pair[0]) / double(pair[1]);
    return true;
  }
  if (FreeImage_GetTagType(tag) == FIDT_SRATIONAL) {
    std::int32_t pair[2];
    std::memcpy(pair, value, sizeof pair);
    if (pair[1] == 0) return false;
    out = double(pair[0]) / double(pair[1]);
    return true;
  }
  return false;
}

// The first value of an integer tag (ISO speed ratings may hold several).
bool TagInteger(FIBITMAP* bitmap, FREE_IMAGE_MDMODEL model, const char* key, int& out) {
  FITAG* tag = nullptr;
  if (!FreeImage_GetMetadata(model, bitmap, key, &tag) || !tag) return false;
  const void* value = FreeImage_GetTagValue(tag);
  if (!value || FreeImage_GetTagCount(tag) < 1) return false;
  switch (FreeImage_GetTagType(tag)) {
    case FIDT_SHORT: {
      std::uint16_t v;
      std::memcpy(&v, value, sizeof v);
      out = int(v);
      return true;
    }
    case FIDT_SSHORT: {
      std::int16_t v;
      std::memcpy(&v, value, sizeof v);
      out = int(v);
      return true;
    }
    case FIDT_LONG:
    case FIDT_SLONG: {
      std::int32_t v;
      std::memcpy(&v, value, sizeof v);
      out = int(v);
      return true;
    }
    default:
      return false;
  }
}

// Sets field from a text tag of the EXIF main model; true when the tag was there.
bool ReadText(FIBITMAP* bitmap, const char* key, QString& field) {
  const QString text = TagText(bitmap, FIMD_EXIF_MAIN, key);
  if (text.isEmpty()) return false;
  field = text;
  return true;
}

// A common image record from the EXIF tags; null when none of them is present.
std::unique_ptr<CxCommonImageMetadata> RecordFromExif(FIBITMAP* bitmap) {
  auto record = std::make_unique<CxCommonImageMetadata>();
  bool any = false;
  any |= ReadText(bitmap, "Artist", record->author);
  any |= ReadText(bitmap, "Make", record->cameraMake);
  any |= ReadText(bitmap, "Model", record->cameraModel);
  any |= ReadText(bitmap, "Software", record->software);
  any |= ReadText(bitmap, "Copyright", record->copyright);
  const QString dateText = TagText(bitmap, FIMD_EXIF_MAIN, "DateTime");
  if (!dateText.isEmpty()) {
    const QDateTime dateTime = QDateTime::fromString(dateText, kExifDateFormat);
    if (dateTime.isValid()) {
      record->dateTime = dateTime;
      any = true;
    }
  }
  any |= TagRational(bitmap, FIMD_EXIF_EXIF, "ExposureTime", record->exposureTime);
  // FreeImage names the APEX aperture tag (0x9202) "ApertureValue".
  any |= TagRational(bitmap, FIMD_EXIF_EXIF, "ApertureValue", record->aperture);
  any |= TagRational(bitmap, FIMD_EXIF_EXIF, "FNumber", record->fNumber);
  any |= TagInteger(bitmap, FIMD_EXIF_EXIF, "ISOSpeedRatings", record->iso);
  if (!any) return nullptr;
  return record;
}

// Takes the pixel description the saver recorded when it is consistent with the pixels.
void ApplyRecord(const CxCommonImageMetadata& record, bool standardBitmap, SxImageBuf& buf) {
  // Only a type of the same sample size can describe the pixels that were read (a signed
  // 16-bit image kept in an unsigned 16-bit file, say); anything else would misdescribe them.
  if (record.dataType != eImageDataUnknown && (!standardBitmap || buf.channels == 1) &&
      BytesPerSample(record.dataType) == BytesPerSample(buf.dataType))
    buf.dataType = record.dataType;
  if (BitDepthFitsType(record.bitDepth, buf.dataType) && record.bitDepth > buf.bitDepth)
    buf.bitDepth = record.bitDepth;
}

}  // namespace

QString TagText(FIBITMAP* bitmap, FREE_IMAGE_MDMODEL model, const char* key) {
  return QString::fromUtf8(TagBytes(bitmap, model, key));
}

void ReadMetadata(FIBITMAP* bitmap, FREE_IMAGE_FORMAT format, bool standardBitmap,
                  CxMetadata& metadata, SxImageBuf& buf) {
  SxMetadataField field;
  if (!MetadataFieldOf(format, field)) return;

  const QString xml = TagText(bitmap, field.model, field.key);
  if (!xml.isEmpty()) {
    CxMetadata parsed;
    if (parsed.loadFromXml(xml))
      metadata = std::move(parsed);
    else
      LogError(QStringLiteral("Failed to load the metadata."));
  }

  if (const auto* record = metadata.find<CxCommonImageMetadata>()) {
    ApplyRecord(*record, standardBitmap, buf);
    return;
  }
  if (auto record = RecordFromExif(bitmap)) metadata.addItem(std::move(record));
}

QByteArray MetadataXml(FREE_IMAGE_FORMAT format, const CxMetadata& metadata,
                       ExImageDataType writtenType) {
  if (metadata.isEmpty()) return {};
  if (format != FIF_JPEG && format != FIF_PNG && format != FIF_TIFF && format != FIF_GIF) return {};
  CxMetadata copy = metadata;
  if (auto* record = copy.find<CxCommonImageMetadata>()) record->dataType = writtenType;
  return copy.saveToXml().toUtf8();
}

bool WriteMetadata(FIBITMAP* bitmap, FREE_IMAGE_FORMAT format, const QByteArray& xml) {
  SxMetadataField field;
  if (xml.isEmpty() || !MetadataFieldOf(format, field)) return true;
  // Count and length include the terminating zero that constData() provides.
  const DWORD length = DWORD(xml.size()) + 1;

  TagPtr tag(FreeImage_CreateTag());
  if (!tag || !FreeImage_SetTagKey(tag.get(), field.key) ||
      !FreeImage_SetTagType(tag.get(), FIDT_ASCII) || !FreeImage_SetTagCount(tag.get(), length) ||
      !FreeImage_SetTagLength(tag.get(), length) ||
      !FreeImage_SetTagValue(tag.get(), xml.constData()) ||
      !FreeImage_SetMetadata(field.model, bitmap, field.key, tag.get())) {
    LogError(QStringLiteral("Cannot store the image metadata."));
    return false;
  }
  return true;
}

}  // namespace ur::freeimage
