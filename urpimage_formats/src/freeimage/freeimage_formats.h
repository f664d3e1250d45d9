#pragma once
// Tables and small helpers shared by the FreeImage loader and saver: the format names, the pixel
// types, the metadata field of each format, the save options and RAII holders of FreeImage
// handles.

#include <ur/data_loader.h>
#include <ur/data_saver.h>
#include <ur/image_buf.h>
#include <ur/result.h>

#include <FreeImage.h>

#include <QString>

#include <memory>

namespace ur::freeimage {

// Out of memory is told apart from a general failure (E_OUTOFMEMORY, top bit set).
constexpr Result kOutOfMemory = 0x8007000Eu;

// Keys and defaults of the saver options (meanings as for the TIFF saver).
inline const QString kOptionQuality = QStringLiteral("quality");
inline const QString kOptionCompression = QStringLiteral("compression");
inline const QString kOptionData16Bit = QStringLiteral("data16bit");
inline const QString kOptionScaleRange = QStringLiteral("scale_range");
constexpr int kDefaultQuality = 95;
constexpr int kMinQuality = 1;
constexpr int kMaxQuality = 100;
constexpr int kDefaultCompression = 2;  // 0 LZW, 1 PackBits, 2 none
constexpr bool kDefaultData16Bit = true;
constexpr bool kDefaultScaleRange = false;

struct BitmapDeleter {
  void operator()(FIBITMAP* bitmap) const {
    if (bitmap) FreeImage_Unload(bitmap);
  }
};
using BitmapPtr = std::unique_ptr<FIBITMAP, BitmapDeleter>;

struct MemoryDeleter {
  void operator()(FIMEMORY* memory) const {
    if (memory) FreeImage_CloseMemory(memory);
  }
};
using MemoryPtr = std::unique_ptr<FIMEMORY, MemoryDeleter>;

struct TagDeleter {
  void operator()(FITAG* tag) const {
    if (tag) FreeImage_DeleteTag(tag);
  }
};
using TagPtr = std::unique_ptr<FITAG, TagDeleter>;

// The FreeImage format of a suffix or format text ("jpg", " PNG ", ...: trimmed, any case);
// FIF_UNKNOWN for a name outside the table.
FREE_IMAGE_FORMAT FormatFromName(const QString& name);
// True for the formats the plug-in offers (those FormatFromName names). FreeImage tells a file's
// format from its first bytes; a file of any other format is not handed to its decoder.
bool IsOfferedFormat(FREE_IMAGE_FORMAT format);

// How the samples of a FreeImage bitmap type map onto an image buffer.
struct SxPixelLayout {
  int channels = 0;
  ExImageDataType dataType = eImageDataUnknown;
  int bitsPerChannel = 0;
};

// The layout of a bitmap of the type with bitsPerPixel bits per pixel (from its info header).
// False for a combination the framework cannot hold.
bool PixelLayoutOf(FREE_IMAGE_TYPE type, unsigned bitsPerPixel, SxPixelLayout& layout);

// The bitmap type and bits per pixel that hold an interleaved image of the data type and
// channel count (the reverse of PixelLayoutOf). False when FreeImage has no such type.
bool BitmapTypeOf(ExImageDataType dataType, int channels, FREE_IMAGE_TYPE& type, int& bitsPerPixel);

// Where a format keeps the framework's metadata XML.
struct SxMetadataField {
  FREE_IMAGE_MDMODEL model = FIMD_COMMENTS;
  const char* key = nullptr;
};
// False for a format that carries no metadata XML.
bool MetadataFieldOf(FREE_IMAGE_FORMAT format, SxMetadataField& field);

// True when bitDepth is a meaningful depth of the data type: 1..8 for unsigned 8-bit samples,
// 9..16 for unsigned 16-bit ones; false for every other type.
bool BitDepthFitsType(int bitDepth, ExImageDataType dataType);

// The filter lists offered by the loader and the saver.
FileFormatList LoaderFileFormats();
FileFormatList SaverFileFormats();

// The flags handed to FreeImage_Save / FreeImage_SaveToMemory for the format and options.
int SaveFlags(FREE_IMAGE_FORMAT format, const SaveOptions& options);

// Logs "WARN | <text>" at warning level.
void LogWarning(const QString& text);

}  // namespace ur::freeimage
