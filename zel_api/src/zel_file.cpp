// ZEL image files: building the output image from a compacted buffer, writing it, and reading
// its record back.
#include <zel/zel_file.h>

#include "metadata_common.h"

#include <ur/bit_depth.h>
#include <ur/geometry.h>
#include <ur/result.h>

#include <QCoreApplication>
#include <QDebug>
#include <QDomDocument>
#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace urs::zel {

const char* const kZelMetadataKey = "ZEL_MD";

namespace {

namespace rc = ur::rc;

// The key whose presence marks the record of the first format generation.
const char* const kLegacyVersionKey = "ZEL";
// Every key of that generation's record. They are dropped from a new image: a stale record
// copied from its source would otherwise be read instead of the new one.
const char* const kLegacyKeys[] = {"ZEL",    "ZEL_NMONO", "ZEL_NRGB",  "ZEL_CMONO", "ZEL_CR",
                                   "ZEL_CG", "ZEL_CB",    "ZEL_IMONO", "ZEL_IRGB"};

const char* const kZelSuffix = ".zel.png";
constexpr int kBestQuality = 100;

void LogDebugFailed(const QString& function) {
  qDebug().noquote() << QStringLiteral("Function %1 failed.").arg(function);
}

// The tag's value as Latin-1 text. Reads no further than its count and length, and stops at a
// terminating zero, which some writers count.
QString TagText(const fipTag& tag) {
  const char* value = static_cast<const char*>(tag.getValue());
  if (!value) return {};
  const DWORD limit = std::min(tag.getCount(), tag.getLength());
  const uint length = qstrnlen(value, std::min<uint>(limit, uint(INT_MAX)));
  return QString::fromLatin1(value, int(length));
}

ur::Result LookupRecord(const ur::CxImage& image, fipTag& tag) {
  return image.getMetadata(FIMD_COMMENTS, QString::fromLatin1(kZelMetadataKey), tag);
}

bool HasTag(const ur::CxImage& image, const char* key) {
  fipTag tag;
  return ur::Succeeded(image.getMetadata(FIMD_COMMENTS, QString::fromLatin1(key), tag));
}

// 2^depth, without overflow for any depth a caller may pass.
std::int64_t LevelsOfDepth(int depth) {
  if (depth <= 0) return 1;
  return std::int64_t(1) << std::min(depth, 62);
}

// The source must be one unsigned channel whose samples fit the depth the conversion assumed;
// depth receives the bit depth the record's levels refer to, sampleBits the width of the
// source's samples (8 or 16), which the record keeps for the way back.
ur::Result CheckSource(const ur::CxImage& source, int bitDepth, int& depth, int& sampleBits) {
  ur::SxImageBuf buf;
  const ur::Result got = source.getImageBuf(buf);
  if (ur::Failed(got)) {
    ur::LogFunctionFailed(QStringLiteral("CxImage::getImageInfo()"), got);
    return rc::Fail;
  }
  // buf is a copy of the description: detection writes only its bitDepth and reads the
  // source's pixels, which stay untouched.
  if (ur::Failed(ur::DetectColorBitDepth(buf))) return rc::InvalidArg(1);
  if (buf.bitDepth > bitDepth) return rc::Fail;
  depth = std::max(buf.bitDepth, bitDepth);
  if (buf.channels != 1 ||
      (buf.dataType != ur::eImageDataUInt8 && buf.dataType != ur::eImageDataUInt16))
    return rc::InvalidArg(1);
  sampleBits = 8 * ur::BytesPerSample(buf.dataType);
  return rc::Ok;
}

// The compacted buffer must be 8-bit grey or colour of the size the conversion produces. A
// planar colour buffer is refused here, before its rows are turned, since the image cannot take
// it.
ur::Result CheckZelBuffer(const ur::SxImageBuf& zelBuffer, const QRect& roi,
                          const ZelMetadata& metadata, bool demosaiced) {
  const bool halfSize = demosaiced && metadata.debayer == Simple;
  const int width = halfSize ? roi.width() / 2 : roi.width();
  const int height = halfSize ? roi.height() / 2 : roi.height();
  if (!ur::HasPixels(zelBuffer)) return rc::InvalidArg(3);
  if (zelBuffer.channels != 1 && zelBuffer.channels != 3) return rc::InvalidArg(3);
  if (zelBuffer.channels == 3 && zelBuffer.planar != 0) return rc::InvalidArg(3);
  if (zelBuffer.dataType != ur::eImageDataUInt8) return rc::InvalidArg(3);
  if (zelBuffer.width != width || zelBuffer.height != height) return rc::InvalidArg(3);
  return rc::Ok;
}

// The record describes every channel of the buffer within the source's level range.
ur::Result CheckRecord(const ZelMetadata& metadata, int channels, int depth) {
  const std::int64_t maxLevel = LevelsOfDepth(depth);
  for (int c = 0; c < channels; ++c) {
    if (!metadata.mapping[c]) return rc::InvalidArg(5);
    if (metadata.normalization[c] > maxLevel) return rc::InvalidArg(5);
  }
  return rc::Ok;
}

void DropLegacyRecord(ur::CxImage& image) {
  // A tag without a value removes its key.
  for (const char* key : kLegacyKeys)
    image.setMetadata(FIMD_COMMENTS, QString::fromLatin1(key), fipTag());
}

// Adds the record as an ASCII tag of Latin-1 text, its count and length the number
// of characters.
ur::Result AddRecordTag(ur::CxImage& output, const ZelMetadata& metadata, int sampleBits) {
  QString text;
  fipTag tag;
  bool made = ur::Succeeded(detail::MetadataText(metadata, sampleBits, text));
  if (made) {
    const QByteArray bytes = text.toLatin1();
    made = tag.setKey(kZelMetadataKey) && tag.setType(FIDT_ASCII) &&
           tag.setCount(DWORD(bytes.size())) && tag.setLength(DWORD(bytes.size())) &&
           tag.setValue(bytes.constData());
  }
  if (!made) {
    LogDebugFailed(QStringLiteral("QString(\"Failed to create the ZEL metadata.\")"));
    return rc::OkWithoutRecord;
  }
  const ur::Result stored =
      output.setMetadata(FIMD_COMMENTS, QString::fromLatin1(kZelMetadataKey), tag);
  if (ur::Failed(stored)) {
    LogDebugFailed(QStringLiteral("QString(\"Saving ZEL metadata to XML failed.\")"));
    return rc::OkWithoutRecord;
  }
  return stored;
}

}  // namespace

unsigned int CreateZelImageForSave8(const ur::CxImage& source, const QRect& roi,
                                    SxImageBuf& zelBuffer, ur::CxImage& output,
                                    const ZelMetadata& metadata, int bitDepth, bool demosaiced) {
  int depth = 0, sampleBits = 0;
  ur::Result r = CheckSource(source, bitDepth, depth, sampleBits);
  if (ur::Failed(r)) return r;
  r = CheckZelBuffer(zelBuffer, roi, metadata, demosaiced);
  if (ur::Failed(r)) return r;
  r = CheckRecord(metadata, zelBuffer.channels, depth);
  if (ur::Failed(r)) return r;

  // The buffer is top-down and the image keeps rows in memory order, bottom scanline first:
  // turning it makes the written file upright.
  r = ur::ReverseRowOrder(zelBuffer);
  if (ur::Failed(r)) {
    ur::LogFunctionFailed(QStringLiteral("ur::proc::ReverseRowOrder()"), r);
    return rc::Fail;
  }
  // One channel has the same memory whatever its planar flag; the image wants it interleaved.
  ur::SxImageBuf pixels = zelBuffer;
  if (pixels.channels == 1) pixels.planar = 0;
  r = output.setImageBuf(pixels);
  if (ur::Failed(r)) {
    ur::LogFunctionFailed(QStringLiteral("ur::CxImage::setImageBuf()"), r);
    return rc::Fail;
  }
  r = output.copyMetadataFromImage(source);
  if (ur::Failed(r)) {
    ur::LogFunctionFailed(QStringLiteral("ur::CxImage::copyMetadataFromImage()"), r);
    return rc::Fail;
  }
  DropLegacyRecord(output);
  return AddRecordTag(output, metadata, sampleBits);
}

unsigned int WriteZelImage(ur::CxImage& image, const QString& path, QString* errorText) {
  fipTag tag;
  ur::Result result = rc::Ok;
  QString error;
  const ur::Result lookup = LookupRecord(image, tag);
  if (ur::Failed(lookup)) {
    ur::LogFunctionFailed(QStringLiteral("IsZelImage()"), lookup, true);
    result = rc::Fail;
    error = QCoreApplication::translate("ZelFile", "Cannot check ZEL metadata. Error: 0x%1")
                .arg(ur::ResultToHex(result));
  } else if (TagText(tag).isEmpty()) {
    result = rc::EmptyRecord;
    error = QCoreApplication::translate("ZelFile", "Invalid ZEL metadata");
  } else {
    ur::CxImage::SxSaveParams params;
    params.quality = kBestQuality;
    result = image.save(path, params);
    if (ur::Failed(result)) {
      ur::LogFunctionFailed(QStringLiteral("ur::CxImage::save()"), result, true);
      result = rc::Fail;
      error = QCoreApplication::translate("ZelFile", "Image saving failed with error 0x%1")
                  .arg(ur::ResultToHex(result));
    }
  }
  if (!error.isEmpty() && errorText) *errorText = error;
  return result;
}

unsigned int IsZelImage(const ur::CxImage& image, bool& isZel) {
  isZel = false;
  fipTag tag;
  const ur::Result lookup = LookupRecord(image, tag);
  if (ur::Succeeded(lookup)) isZel = !TagText(tag).isEmpty();
  return lookup;
}

unsigned int ReadZelImage(const QString& path, ur::CxImage& image, ZelMetadata& metadata) {
  if (ur::Failed(image.load(path))) {
    qCritical().noquote() << QStringLiteral("Cannot read ZEL image: ") + path;
    return rc::Fail;
  }
  fipTag tag;
  if (ur::Failed(LookupRecord(image, tag))) {
    qCritical().noquote() << QStringLiteral("The input image %1 is not a ZEL image.").arg(path);
    return rc::NotZelImage;
  }
  ur::SxImageInfo info;
  if (ur::Failed(image.getImageInfo(info))) {
    qCritical().noquote() << QStringLiteral("Cannot read image buffer: ") + path;
    return rc::Fail;
  }
  const ur::Result r = GetZelMetadata(image, metadata);
  if (ur::Failed(r)) {
    qCritical().noquote() << QStringLiteral("Cannot read ZEL metadata of image: ") + path;
    return rc::Fail;
  }
  return r;
}

unsigned int GetZelMetadata(const ur::CxImage& image, ZelMetadata& metadata) {
  if (HasTag(image, kLegacyVersionKey)) return ReadLegacyMetadata(image, metadata);

  fipTag tag;
  if (ur::Failed(LookupRecord(image, tag))) return rc::Fail;
  QDomDocument doc;
  if (!doc.setContent(TagText(tag))) return rc::Fail;
  return ReadMetadataFromXml(doc, metadata);
}

QString ZelOutputFileName(const QString& inputPath) {
  return QStringLiteral("%1%2").arg(QFileInfo(inputPath).completeBaseName(),
                                    QString::fromLatin1(kZelSuffix));
}

}  // namespace urs::zel
