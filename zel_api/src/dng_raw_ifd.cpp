#include "dng_raw_ifd.h"
#include "quiet_tiff.h"

#include <QFile>
#include <QFileInfo>

#include <tiffio.h>

#include <cstdint>
#include <vector>

namespace urs::zel {

namespace {

constexpr uint16_t kCompressionNone = 1;
constexpr uint16_t kCompressionLosslessJpeg = 7;

bool IsFullResolution(TIFF* tif, int width, int height) {
  uint32_t subfileType = 0;
  uint32_t w = 0;
  uint32_t h = 0;
  TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &subfileType);
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
  return subfileType == 0 && w == uint32_t(width) && h == uint32_t(height);
}

// The fewest bytes that can hold the samples: all their bits when uncompressed, one bit per
// sample for lossless JPEG (no Huffman code is shorter). Other codecs give no bound.
uint64_t LeastDataBytes(TIFF* tif, int width, int height) {
  uint16_t compression = kCompressionNone;
  uint16_t bitsPerSample = 1;
  uint16_t samplesPerPixel = 1;
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
  const uint64_t samples = uint64_t(width) * uint64_t(height) * samplesPerPixel;
  if (compression == kCompressionNone) return (samples * bitsPerSample + 7) / 8;
  if (compression == kCompressionLosslessJpeg) return (samples + 7) / 8;
  return 1;
}

bool DataComplete(TIFF* tif, int width, int height, uint64_t fileSize) {
  const uint32_t count = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
  // Every strip or tile takes at least one byte, which also bounds the loop below.
  if (count == 0 || count > fileSize) return false;
  uint64_t total = 0;
  for (uint32_t i = 0; i < count; ++i) {
    int err = 0;
    const uint64_t offset = TIFFGetStrileOffsetWithErr(tif, i, &err);
    const uint64_t bytes = TIFFGetStrileByteCountWithErr(tif, i, &err);
    if (err || offset == 0 || bytes == 0 || offset > fileSize || bytes > fileSize - offset)
      return false;
    total += bytes;
  }
  return total >= LeastDataBytes(tif, width, height);
}

DngRawIfd Describe(TIFF* tif, int width, int height, uint64_t fileSize) {
  DngRawIfd ifd;
  ifd.found = true;
  ifd.dataComplete = DataComplete(tif, width, height, fileSize);
  uint16_t count = 0;
  const uint32_t* levels = nullptr;
  if (TIFFGetField(tif, TIFFTAG_WHITELEVEL, &count, &levels) && count > 0 && levels) {
    ifd.hasWhiteLevel = true;
    ifd.whiteLevel = levels[0];
  }
  return ifd;
}

}  // namespace

DngRawIfd InspectDngRawIfd(const QString& path, int width, int height) {
  const TiffHandle tif = OpenQuietly(path);
  if (!tif) return {};
  const uint64_t fileSize = uint64_t(QFileInfo(path).size());
  if (IsFullResolution(tif.get(), width, height))
    return Describe(tif.get(), width, height, fileSize);

  // The list belongs to the current directory: copy it before moving to a SubIFD.
  uint16_t subCount = 0;
  const uint64_t* subOffsets = nullptr;
  if (!TIFFGetField(tif.get(), TIFFTAG_SUBIFD, &subCount, &subOffsets) || !subOffsets) return {};
  const std::vector<uint64_t> subIfds(subOffsets, subOffsets + subCount);
  for (const uint64_t offset : subIfds) {
    if (TIFFSetSubDirectory(tif.get(), offset) && IsFullResolution(tif.get(), width, height))
      return Describe(tif.get(), width, height, fileSize);
  }
  return {};
}

}  // namespace urs::zel
