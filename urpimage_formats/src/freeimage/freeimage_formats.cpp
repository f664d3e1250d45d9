#include "freeimage/freeimage_formats.h"

#include <ur/image.h>

#include <QDebug>

#include <algorithm>
#include <iterator>

namespace ur::freeimage {

namespace {

struct SxFormatName {
  const char* name;
  FREE_IMAGE_FORMAT format;
};

constexpr SxFormatName kFormatNames[] = {
    {"jpg", FIF_JPEG}, {"jpeg", FIF_JPEG}, {"jp2", FIF_JP2},  {"bmp", FIF_BMP},
    {"png", FIF_PNG},  {"gif", FIF_GIF},   {"tif", FIF_TIFF}, {"tiff", FIF_TIFF},
};

// Bits per pixel of one sample of each non-standard bitmap type, and the framework's type.
struct SxTypeEntry {
  FREE_IMAGE_TYPE type;
  unsigned bitsPerChannel;
  ExImageDataType dataType;
};

constexpr SxTypeEntry kTypes[] = {
    {FIT_UINT16, 16, eImageDataUInt16},
    {FIT_RGB16, 16, eImageDataUInt16},
    {FIT_RGBA16, 16, eImageDataUInt16},
    {FIT_INT16, 16, eImageDataInt16},
    {FIT_UINT32, 32, eImageDataUInt32},
    {FIT_INT32, 32, eImageDataInt32},
    {FIT_FLOAT, 32, eImageDataFloat},
    {FIT_RGBF, 32, eImageDataFloat},
    {FIT_RGBAF, 32, eImageDataFloat},
    {FIT_DOUBLE, 64, eImageDataDouble},
    {FIT_COMPLEX, 128, eImageDataComplexDouble},
};

// Standard bitmaps: 1 channel up to 16 bits per pixel, 3 at 24, 4 at 32.
constexpr unsigned kMaxGreyBitsPerPixel = 16;
constexpr unsigned kRgbBitsPerPixel = 24;
constexpr unsigned kRgbaBitsPerPixel = 32;

// TIFF compression option values and their FreeImage flags.
constexpr int kCompressionLzw = 0;
constexpr int kCompressionPackBits = 1;
constexpr int kCompressionNone = 2;

}  // namespace

FREE_IMAGE_FORMAT FormatFromName(const QString& name) {
  const QString key = name.trimmed().toLower();
  for (const SxFormatName& entry : kFormatNames)
    if (key == QLatin1String(entry.name)) return entry.format;
  return FIF_UNKNOWN;
}

bool IsOfferedFormat(FREE_IMAGE_FORMAT format) {
  return std::any_of(std::begin(kFormatNames), std::end(kFormatNames),
                     [format](const SxFormatName& entry) { return entry.format == format; });
}

bool PixelLayoutOf(FREE_IMAGE_TYPE type, unsigned bitsPerPixel, SxPixelLayout& layout) {
  layout = SxPixelLayout{};
  if (bitsPerPixel == 0) return false;
  if (type == FIT_BITMAP) {
    if (bitsPerPixel <= kMaxGreyBitsPerPixel)
      layout.channels = 1;
    else if (bitsPerPixel == kRgbBitsPerPixel)
      layout.channels = 3;
    else if (bitsPerPixel == kRgbaBitsPerPixel)
      layout.channels = 4;
    else
      return false;
    layout.dataType = eImageDataUInt8;
    layout.bitsPerChannel = int(bitsPerPixel) / layout.channels;
    return true;
  }
  const auto* entry = std::find_if(std::begin(kTypes), std::end(kTypes),
                                   [type](const SxTypeEntry& e) { return e.type == type; });
  if (entry == std::end(kTypes) || bitsPerPixel % entry->bitsPerChannel != 0) return false;
  layout.channels = int(bitsPerPixel / entry->bitsPerChannel);
  layout.dataType = entry->dataType;
  layout.bitsPerChannel = int(entry->bitsPerChannel);
  return layout.channels > 0;
}

bool BitmapTypeOf(ExImageDataType dataType, int channels, FREE_IMAGE_TYPE& type,
                  int& bitsPerPixel) {
  return FreeImageTypeOf(dataType, channels, type, bitsPerPixel);
}

bool MetadataFieldOf(FREE_IMAGE_FORMAT format, SxMetadataField& field) {
  switch (format) {
    case FIF_JPEG:
      field = {FIMD_COMMENTS, "Comment"};
      return true;
    case FIF_TIFF:
      field = {FIMD_EXIF_MAIN, "ImageDescription"};
      return true;
    case FIF_GIF:
      field = {FIMD_COMMENTS, "Comment0"};
      return true;
    case FIF_PNG:
    case FIF_RAW:
      field = {FIMD_COMMENTS, "Velmarint"};
      return true;
    default:
      return false;
  }
}

bool BitDepthFitsType(int bitDepth, ExImageDataType dataType) {
  switch (dataType) {
    case eImageDataUInt8:
      return bitDepth >= 1 && bitDepth <= 8;
    case eImageDataUInt16:
      return bitDepth >= 9 && bitDepth <= 16;
    default:
      return false;
  }
}

FileFormatList LoaderFileFormats() {
  FileFormatList list;
  for (const char* filter : {"JPEG (*.jpg)", "JPEG (*.jpeg)", "JPEG 2000 (*.jp2)", "PNG (*.png)",
                             "GIF (*.gif)", "TIFF (*.tif)", "BMP (*.bmp)", "Canon RAW (*.CR2)"})
    list.append(SxFileFormat{QString::fromLatin1(filter), 1});
  return list;
}

FileFormatList SaverFileFormats() {
  FileFormatList list;
  for (const char* filter : {"JPEG (*.jpg)", "JPEG (*.jpeg)", "JPEG 2000 (*.jp2)", "PNG (*.png)",
                             "TIFF (*.tif)", "BMP (*.bmp)"})
    list.append(SxFileFormat{QString::fromLatin1(filter), 1});
  return list;
}

int SaveFlags(FREE_IMAGE_FORMAT format, const SaveOptions& options) {
  switch (format) {
    case FIF_JPEG:
      return std::clamp(options.value(kOptionQuality, kDefaultQuality).toInt(), kMinQuality,
                        kMaxQuality);
    case FIF_PNG:
      return PNG_Z_BEST_SPEED;
    case FIF_TIFF:
      switch (options.value(kOptionCompression, kDefaultCompression).toInt()) {
        case kCompressionLzw:
          return TIFF_LZW;
        case kCompressionPackBits:
          return TIFF_PACKBITS;
        case kCompressionNone:
          return TIFF_NONE;
        default:
          return 0;
      }
    default:
      return 0;
  }
}

void LogWarning(const QString& text) { qWarning().noquote() << "WARN" << "|" << text; }

}  // namespace ur::freeimage
