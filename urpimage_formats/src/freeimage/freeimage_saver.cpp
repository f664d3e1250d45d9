#include "freeimage/freeimage_saver.h"

#include "freeimage/freeimage_bitmap.h"
#include "freeimage/freeimage_formats.h"
#include "freeimage/freeimage_metadata.h"
#include "freeimage/freeimage_options_widget.h"
#include "freeimage/freeimage_tiff_description.h"

#include <ur/bit_depth.h>
#include <ur/buffers.h>
#include <ur/color_convert.h>
#include <ur/image_data.h>
#include <ur/units.h>

#include <QFileInfo>

#include <new>
#include <utility>

namespace ur {

namespace {

using freeimage::BitmapPtr;
using freeimage::MemoryPtr;

constexpr int kSample16Bits = 16;

// The image on its way to a bitmap: a view of the caller's pixels until a step converts them,
// then pixels of its own.
class PreparedImage {
public:
  explicit PreparedImage(const SxImageBuf& source) : m_source(source) {}
  const SxImageBuf& view() const { return m_owned->data ? m_owned.get() : m_source; }
  void adopt(ScopedImageBuf&& converted) { m_owned = std::move(converted); }
  // Pixels that may be changed in place: the caller's are copied first.
  Result ownPixels() {
    if (m_owned->data) return rc::Ok;
    ScopedImageBuf copy;
    const Result r = AllocAndCopyBuffer(m_source, copy.get());
    if (Failed(r)) return r;
    adopt(std::move(copy));
    return rc::Ok;
  }
  SxImageBuf& owned() { return m_owned.get(); }

private:
  SxImageBuf m_source;
  ScopedImageBuf m_owned;
};

bool LogUnsupportedType() {
  LogError(QStringLiteral("Unsupported image type."));
  return false;
}

bool LogOutOfMemory() {
  LogError(QStringLiteral("Out of memory."));
  return false;
}

// Allocates dst like src with another channel count, data type and depth, interleaved.
bool AllocateLike(const SxImageBuf& src, int channels, ExImageDataType type, int bitDepth,
                  ScopedImageBuf& dst) {
  const Result r = AllocBuffer(dst.get(), src.width, src.height, channels, bitDepth, type);
  if (r == rc::Fail) return LogOutOfMemory();
  return Succeeded(r) || LogUnsupportedType();
}

// Planar colour images are interleaved (pixel order of the framework).
bool MakeInterleaved(PreparedImage& image) {
  const SxImageBuf& src = image.view();
  if (!src.planar || src.channels == 1) return true;
  ScopedImageBuf dst;
  if (!AllocateLike(src, src.channels, src.dataType, src.bitDepth, dst)) return false;
  if (Failed(ConvertPlanarToRGB(src, dst.get()))) return LogUnsupportedType();
  image.adopt(std::move(dst));
  return true;
}

// 16-bit samples reduced to 8 bits. ReduceBits maps channel by logical channel, so
// colour changes its memory order on the way (16-bit R, G, B to 8-bit B, G, R).
bool ReduceTo8Bits(PreparedImage& image) {
  const SxImageBuf& src = image.view();
  ScopedImageBuf dst;
  if (!AllocateLike(src, src.channels, eImageDataUInt8, 8, dst)) return false;
  if (Failed(ReduceBits(src, dst.get()))) return LogUnsupportedType();
  image.adopt(std::move(dst));
  return true;
}

bool DropAlpha(PreparedImage& image) {
  const SxImageBuf& src = image.view();
  ScopedImageBuf dst;
  if (!AllocateLike(src, 3, eImageDataUInt8, src.bitDepth, dst)) return false;
  if (Failed(ConvertRGBA8ToRGB8(src, dst.get()))) return LogUnsupportedType();
  image.adopt(std::move(dst));
  return true;
}

bool ScaleToFullRange(PreparedImage& image) {
  const int depth = image.view().bitDepth;
  const Result r = image.ownPixels();
  if (r == rc::Fail) return LogOutOfMemory();
  if (Failed(r) || Failed(ShiftBits(image.owned(), kSample16Bits - depth)))
    return LogUnsupportedType();
  return true;
}

// The reductions that make the image fit the format and the options.
bool FitToFormat(PreparedImage& image, FREE_IMAGE_FORMAT format, const SaveOptions& options) {
  using namespace freeimage;
  const bool keep16Bits = options.value(kOptionData16Bit, kDefaultData16Bit).toBool();
  const bool scaleRange = options.value(kOptionScaleRange, kDefaultScaleRange).toBool();

  const SxImageBuf& v = image.view();
  FREE_IMAGE_TYPE type = FIT_UNKNOWN;
  int bitsPerPixel = 0;
  if (v.dataType == eImageDataUInt16 && BitmapTypeOf(v.dataType, v.channels, type, bitsPerPixel)) {
    const bool reduce = !keep16Bits || format == FIF_JPEG || format == FIF_BMP ||
                        !FreeImage_FIFSupportsExportType(format, type);
    if (reduce && !ReduceTo8Bits(image)) return false;
  }
  if (format == FIF_JPEG && image.view().dataType == eImageDataUInt8 &&
      image.view().channels == 4 && !DropAlpha(image))
    return false;
  const SxImageBuf& w = image.view();
  if (format == FIF_TIFF && scaleRange && w.dataType == eImageDataUInt16 && w.bitDepth > 0 &&
      w.bitDepth < kSample16Bits && !ScaleToFullRange(image))
    return false;
  return true;
}

bool IsExportable(FREE_IMAGE_FORMAT format, FREE_IMAGE_TYPE type, int bitsPerPixel) {
  if (type == FIT_BITMAP)
    return FreeImage_FIFSupportsWriting(format) &&
           FreeImage_FIFSupportsExportBPP(format, bitsPerPixel);
  return FreeImage_FIFSupportsExportType(format, type);
}

// A bitmap ready for FreeImage_Save, or null after logging.
// xml receives the metadata text stored in the bitmap (empty when none).
BitmapPtr CreateBitmap(const IxData* data, FREE_IMAGE_FORMAT format, const SaveOptions& options,
                       QByteArray& xml) {
  if (format == FIF_UNKNOWN || !FreeImage_FIFSupportsWriting(format)) {
    LogError(QStringLiteral("Unsupported image format."));
    return nullptr;
  }
  const auto* imageData = qobject_cast<const CxImageData*>(data);
  if (!imageData || !imageData->hasPixels()) {
    LogError(QStringLiteral("No image data to save."));
    return nullptr;
  }

  PreparedImage image(imageData->image());
  if (!MakeInterleaved(image) || !FitToFormat(image, format, options)) return nullptr;

  const SxImageBuf& buf = image.view();
  FREE_IMAGE_TYPE type = FIT_UNKNOWN;
  int bitsPerPixel = 0;
  if (!freeimage::BitmapTypeOf(buf.dataType, buf.channels, type, bitsPerPixel) ||
      !IsExportable(format, type, bitsPerPixel)) {
    LogUnsupportedType();
    return nullptr;
  }

  BitmapPtr bitmap = freeimage::BufferToBitmap(buf, type, bitsPerPixel);
  if (!bitmap) return nullptr;
  xml = freeimage::MetadataXml(format, imageData->metadata(), buf.dataType);
  if (!freeimage::WriteMetadata(bitmap.get(), format, xml)) return nullptr;
  return bitmap;
}

}  // namespace

CxFreeImageSaver::CxFreeImageSaver(QObject* parent) : IxImageDataSaver(parent) {}

CxFreeImageSaver::~CxFreeImageSaver() = default;

FileFormatList CxFreeImageSaver::fileFormats() const { return freeimage::SaverFileFormats(); }

bool CxFreeImageSaver::supportsSaveToBuffer() const { return true; }

bool CxFreeImageSaver::saveImageData(const IxData* data, int /*frame*/) {
  try {
    const FREE_IMAGE_FORMAT format = freeimage::FormatFromName(QFileInfo(m_fileName).suffix());
    QByteArray xml;
    const BitmapPtr bitmap = CreateBitmap(data, format, m_options, xml);
    if (!bitmap) return false;
    const QByteArray path = FileSystemRepresentation(m_fileName);
    if (!FreeImage_Save(format, bitmap.get(), path.constData(),
                        freeimage::SaveFlags(format, m_options))) {
      LogError(QStringLiteral("Cannot save the image to file %1").arg(m_fileName));
      return false;
    }
    if (format == FIF_TIFF && !xml.isEmpty() && !freeimage::SetTiffDescription(m_fileName, xml)) {
      LogError(QStringLiteral("Cannot store the image metadata."));
      return false;
    }
    return true;
  } catch (const std::bad_alloc&) {
    return LogOutOfMemory();
  }
}

bool CxFreeImageSaver::saveToBuffer(const IxData* data, QByteArray& buffer, const QString& format,
                                    int /*frame*/) {
  try {
    const FREE_IMAGE_FORMAT fif = freeimage::FormatFromName(format);
    QByteArray xml;
    const BitmapPtr bitmap = CreateBitmap(data, fif, m_options, xml);
    if (!bitmap) return false;
    const MemoryPtr memory(FreeImage_OpenMemory());
    BYTE* bytes = nullptr;
    DWORD size = 0;
    if (!memory ||
        !FreeImage_SaveToMemory(fif, bitmap.get(), memory.get(),
                                freeimage::SaveFlags(fif, m_options)) ||
        !FreeImage_AcquireMemory(memory.get(), &bytes, &size)) {
      LogError(QStringLiteral("Failed to save the image to memory."));
      return false;
    }
    QByteArray encoded(reinterpret_cast<const char*>(bytes), int(size));
    if (fif == FIF_TIFF && !xml.isEmpty() && !freeimage::SetTiffDescription(encoded, xml)) {
      LogError(QStringLiteral("Cannot store the image metadata."));
      return false;
    }
    buffer = encoded;
    return true;
  } catch (const std::bad_alloc&) {
    return LogOutOfMemory();
  }
}

QWidget* CxFreeImageSaver::widgetForSaveDlg(QWidget* parent) {
  return freeimage::CreateOptionsWidget(QFileInfo(m_fileName).suffix(), m_options, parent);
}

SaveOptions CxFreeImageSaver::optionsFromSaveDlg(QWidget* widget) {
  return freeimage::ReadOptionsWidget(widget, m_options);
}

}  // namespace ur
