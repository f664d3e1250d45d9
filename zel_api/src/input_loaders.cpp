#include "input_loaders.h"

#include <urs/image_loader.h>

#include <ur/bit_depth.h>
#include <ur/buffers.h>
#include <ur/color_convert.h>
#include <ur/format_manager.h>
#include <ur/result.h>

#include <QDebug>
#include <QMap>
#include <QVariant>

#include <iterator>
#include <memory>

namespace urs::zel {

using ur::ScopedImageBuf;
using ur::SxImageBuf;

namespace {

unsigned int ImageFromBuffer(const SxImageBuf& buffer, ur::CxImage& image) {
  ur::CxImage loaded(buffer);
  if (!loaded.isValid()) return ur::rc::Fail;
  image = std::move(loaded);
  return ur::rc::Ok;
}

}  // namespace

unsigned int LoadByFormatManager(const QString& path, ur::CxImage& image) {
  ScopedImageBuf buffer;
  if (!ur::CxImageFormatManager::instance()->loadImageFromFile(path, buffer.get(), nullptr))
    return ur::rc::Fail;
  return ImageFromBuffer(buffer.get(), image);
}

namespace {

// Doubles become 16-bit samples: whole numbers within 0..65535 as they are, with the bit depth
// of the largest, so that a matrix of levels keeps its levels; other data is spread over
// 16 bits by its minimum and maximum, which the conversion reports.
unsigned int ConvertDoublesTo16(const SxImageBuf& loaded, ScopedImageBuf& converted) {
  SxImageBuf& out = converted.get();
  out = loaded;
  out.data = nullptr;
  out.linePitch = 0;
  out.dataType = ur::eImageDataUInt16;
  out.bitDepth = 16;
  if (ur::Failed(ur::AllocBuffer(out))) return ur::rc::Fail;
  if (ur::Failed(
          ur::ConvertDoubleToU(loaded, out, ur::eNormalizeKeepIntegers, nullptr, nullptr, false)))
    return ur::rc::Fail;
  return ur::rc::Ok;
}

// What a loaded matrix holds, for a refusal.
QString DescribeSamples(const SxImageBuf& buf) {
  static const char* const kTypeNames[] = {"unknown", "int8",   "uint8",  "int16",
                                           "uint16",  "int32",  "uint32", "single",
                                           "double",  "complex", "int64", "uint64"};
  const int type = int(buf.dataType);
  const char* name = type >= 0 && type < int(std::size(kTypeNames)) ? kTypeNames[type] : "unknown";
  return QStringLiteral("%1 channel(s) of %2 values").arg(buf.channels).arg(QLatin1String(name));
}

unsigned int Refuse(const QString& path, const QString& reason, unsigned int code) {
  qWarning().noquote() << QStringLiteral("%1: %2").arg(path, reason);
  return code;
}

// Signed 16-bit samples that are all non-negative, relabelled as unsigned ones with the bit
// depth of the largest. False when one is negative.
bool TakeNonNegativeInt16(SxImageBuf& buf) {
  for (int p = 0; p < (buf.planar ? buf.channels : 1); ++p)
    for (int y = 0; y < buf.height; ++y) {
      const auto* row = reinterpret_cast<const qint16*>(ur::RowPtr(buf, y, p));
      const int samples = buf.width * (buf.planar ? 1 : buf.channels);
      for (int x = 0; x < samples; ++x)
        if (row[x] < 0) return false;
    }
  buf.dataType = ur::eImageDataUInt16;
  return ur::Succeeded(ur::DetectColorBitDepth(buf));
}

}  // namespace

unsigned int LoadFitsFrame(const QString& path, ur::CxImage& image) {
  ScopedImageBuf buffer;
  if (!ur::CxImageFormatManager::instance()->loadImageFromFile(path, buffer.get(), nullptr))
    return ur::rc::Fail;
  SxImageBuf& buf = buffer.get();
  if (buf.dataType == ur::eImageDataInt16) {
    if (!TakeNonNegativeInt16(buf))
      return Refuse(path,
                    QStringLiteral("holds %1 with negative samples: only non-negative int16 "
                                   "FITS samples are converted")
                        .arg(DescribeSamples(buf)),
                    ur::rc::Unsupported);
  } else if (buf.dataType != ur::eImageDataUInt8 && buf.dataType != ur::eImageDataUInt16) {
    return Refuse(path,
                  QStringLiteral("holds %1: only uint8, uint16 and non-negative int16 FITS "
                                 "samples are converted")
                      .arg(DescribeSamples(buf)),
                  ur::rc::Unsupported);
  }
  return ImageFromBuffer(buf, image);
}

unsigned int LoadByImageLoader(const QString& path, ur::CxImage& image) {
  QMap<QString, QVariant> params;
  params.insert(QStringLiteral("filename"), path);
  std::unique_ptr<ImageLoader> loader(ImageLoader::instance());
  ScopedImageBuf loaded;
  QString message;
  if (!loader || !loader->load(params, loaded.get(), &message)) {
    qWarning().noquote() << message;
    return ur::rc::Fail;
  }
  const SxImageBuf& buf = loaded.get();
  const bool typeTaken = buf.dataType == ur::eImageDataDouble ||
                         buf.dataType == ur::eImageDataUInt8 ||
                         buf.dataType == ur::eImageDataUInt16;
  if (buf.channels != 1 || !typeTaken)
    return Refuse(path,
                  QStringLiteral("holds %1: only one channel of uint8, uint16 or double values "
                                 "is converted")
                      .arg(DescribeSamples(buf)),
                  ur::rc::Unsupported);

  ScopedImageBuf converted;
  const SxImageBuf* pixels = &buf;
  if (buf.dataType == ur::eImageDataDouble) {
    const unsigned int rc = ConvertDoublesTo16(buf, converted);
    if (ur::Failed(rc)) return Refuse(path, QStringLiteral("cannot convert its values"), rc);
    pixels = &converted.get();
  }
  ur::CxImage result;
  if (ur::Failed(result.setImageBuf(*pixels))) return ur::rc::Fail;
  image = std::move(result);
  return ur::rc::Ok;
}

}  // namespace urs::zel
