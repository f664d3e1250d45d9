#include "tiff_writer.h"

#include <tiffio.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace ur::detail {
namespace {

// Header, directory and the strip tables with room to spare.
constexpr std::size_t kHeaderReserve = std::size_t(1) << 16;
// Strips of about this size: small enough for any reader, few enough for a short table.
constexpr std::size_t kStripBytes = std::size_t(256) << 10;
constexpr double kInchesPerMetre = 0.0254;

// The file being written, grown as libtiff writes and seeks within it.
struct SxMemoryFile {
  QByteArray* bytes = nullptr;
  std::uint64_t offset = 0;
  bool failed = false;
};

SxMemoryFile& FileOf(thandle_t handle) { return *static_cast<SxMemoryFile*>(handle); }

tmsize_t ReadNothing(thandle_t, void*, tmsize_t) { return 0; }

tmsize_t Write(thandle_t handle, void* data, tmsize_t size) {
  SxMemoryFile& f = FileOf(handle);
  const std::uint64_t end = f.offset + std::uint64_t(size);
  if (size < 0 || end > std::uint64_t(INT_MAX)) {
    f.failed = true;
    return -1;
  }
  try {
    if (end > std::uint64_t(f.bytes->size())) f.bytes->resize(int(end));
  } catch (const std::bad_alloc&) {
    f.failed = true;
    return -1;
  }
  std::memcpy(f.bytes->data() + f.offset, data, std::size_t(size));
  f.offset = end;
  return size;
}

toff_t Seek(thandle_t handle, toff_t offset, int whence) {
  SxMemoryFile& f = FileOf(handle);
  const std::uint64_t base =
      whence == SEEK_CUR ? f.offset : whence == SEEK_END ? std::uint64_t(f.bytes->size()) : 0;
  f.offset = base + offset;
  return f.offset;
}

int Close(thandle_t) { return 0; }

toff_t Size(thandle_t handle) { return toff_t(FileOf(handle).bytes->size()); }

struct TiffDeleter {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffDeleter>;

bool HasMetadata(FIBITMAP* dib) {
  for (int model = FIMD_COMMENTS; model <= FIMD_EXIF_RAW; ++model)
    if (FreeImage_GetMetadataCount(FREE_IMAGE_MDMODEL(model), dib) > 0) return true;
  const FIICCPROFILE* profile = FreeImage_GetICCProfile(dib);
  return profile && profile->size > 0;
}

bool WriteImage(TIFF* tif, FIBITMAP* dib) {
  const std::uint32_t width = FreeImage_GetWidth(dib);
  const std::uint32_t height = FreeImage_GetHeight(dib);
  const std::size_t rowBytes = std::size_t(width) * sizeof(std::uint16_t);
  const std::uint32_t rowsPerStrip =
      std::uint32_t(std::clamp<std::size_t>(kStripBytes / rowBytes, 1, height));
  const bool tagged =
      TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width) &&
      TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height) &&
      TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16) &&
      TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1) &&
      TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT) &&
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) &&
      TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
      TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
      TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip) &&
      TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) &&
      TIFFSetField(tif, TIFFTAG_XRESOLUTION,
                   float(FreeImage_GetDotsPerMeterX(dib) * kInchesPerMetre)) &&
      TIFFSetField(tif, TIFFTAG_YRESOLUTION,
                   float(FreeImage_GetDotsPerMeterY(dib) * kInchesPerMetre));
  if (!tagged) return false;
  // Rows are gathered top row first; FreeImage keeps the bottom row first.
  std::unique_ptr<std::uint8_t[]> strip(new std::uint8_t[rowBytes * rowsPerStrip]);
  for (std::uint32_t first = 0, index = 0; first < height; first += rowsPerStrip, ++index) {
    const std::uint32_t rows = std::min(rowsPerStrip, height - first);
    for (std::uint32_t r = 0; r < rows; ++r)
      std::memcpy(strip.get() + rowBytes * r,
                  FreeImage_GetScanLine(dib, int(height - 1 - (first + r))), rowBytes);
    if (TIFFWriteRawStrip(tif, index, strip.get(), tmsize_t(rowBytes * rows)) < 0) return false;
  }
  return TIFFWriteDirectory(tif) != 0;
}

}  // namespace

bool CanEncodeTiff16(FIBITMAP* dib) {
  return dib && FreeImage_HasPixels(dib) && FreeImage_GetImageType(dib) == FIT_UINT16 &&
         FreeImage_GetBPP(dib) == 16 && !HasMetadata(dib);
}

bool EncodeTiff16(FIBITMAP* dib, QByteArray& tiff) {
  tiff.clear();
  const std::size_t imageBytes =
      std::size_t(FreeImage_GetWidth(dib)) * FreeImage_GetHeight(dib) * sizeof(std::uint16_t);
  if (imageBytes > std::size_t(INT_MAX) - kHeaderReserve) return false;
  SxMemoryFile file;
  file.bytes = &tiff;
  try {
    tiff.reserve(int(imageBytes + kHeaderReserve));
    const TiffPtr tif(TIFFClientOpen("memory", "w", &file, ReadNothing, Write, Seek, Close, Size,
                                     nullptr, nullptr));
    if (!tif || !WriteImage(tif.get(), dib) || file.failed) {
      tiff.clear();
      return false;
    }
  } catch (const std::bad_alloc&) {
    tiff.clear();
    return false;
  }
  if (file.failed) tiff.clear();
  return !file.failed;
}

}  // namespace ur::detail
