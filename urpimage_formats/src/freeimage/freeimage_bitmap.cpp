#include "freeimage/freeimage_bitmap.h"

#include <ur/bit_depth.h>
#include <ur/buffers.h>

#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace ur::freeimage {

namespace {

constexpr int kGreyDepth = 8;
constexpr unsigned kHighColourBitsPerPixel = 16;  // RGB555 / RGB565 standard bitmaps
constexpr unsigned kMaxPaletteEntries = 256;

// True when every entry of the bitmap's palette is a grey (red = green = blue). Such a
// palette is read as one channel of its grey levels; the grey ramp (entry i = (i, i, i)) of
// 8-bit grey files then gives the indices themselves.
bool HasGreyPalette(FIBITMAP* bitmap) {
  const RGBQUAD* palette = FreeImage_GetPalette(bitmap);
  const unsigned entries = std::min(FreeImage_GetColorsUsed(bitmap), kMaxPaletteEntries);
  if (!palette || entries == 0) return false;
  return std::all_of(palette, palette + entries, [](const RGBQUAD& q) {
    return q.rgbRed == q.rgbGreen && q.rgbGreen == q.rgbBlue;
  });
}

// A bitmap whose samples cannot be copied as they are becomes one that can. Palettes
// of colours are expanded to 32 bits per pixel, and 16-bit standard bitmaps (RGB555/565) to 24.
// converted stays null when the bitmap is fine as it is.
Result NormalizeBitmap(FIBITMAP* bitmap, bool& greyPalette, BitmapPtr& converted) {
  greyPalette = false;
  if (FreeImage_GetImageType(bitmap) != FIT_BITMAP) return rc::Ok;
  if (FreeImage_GetPalette(bitmap)) {
    greyPalette = HasGreyPalette(bitmap);
    if (!greyPalette) converted.reset(FreeImage_ConvertTo32Bits(bitmap));
  } else if (FreeImage_GetBPP(bitmap) == kHighColourBitsPerPixel) {
    converted.reset(FreeImage_ConvertTo24Bits(bitmap));
  } else {
    return rc::Ok;
  }
  if (!greyPalette && !converted) {
    LogError(QStringLiteral("Out of memory."));
    return kOutOfMemory;
  }
  return rc::Ok;
}

// Pixel index of column x in a packed scanline of 1, 4 or 8 bits per pixel.
template <unsigned Bits>
inline unsigned IndexAt(const BYTE* line, int x) {
  if constexpr (Bits == 8) {
    return line[x];
  } else {
    constexpr unsigned kPerByte = 8 / Bits;
    constexpr unsigned kMask = (1u << Bits) - 1u;
    const unsigned shift = (kPerByte - 1u - unsigned(x) % kPerByte) * Bits;
    return (line[unsigned(x) / kPerByte] >> shift) & kMask;
  }
}

template <unsigned Bits>
void CopyGreyPaletteRows(FIBITMAP* bitmap, const std::array<std::uint8_t, 256>& grey,
                         SxImageBuf& out) {
  for (int y = 0; y < out.height; ++y) {
    const BYTE* line = FreeImage_GetScanLine(bitmap, out.height - 1 - y);
    std::uint8_t* row = RowPtr(out, y);
    for (int x = 0; x < out.width; ++x) row[x] = grey[IndexAt<Bits>(line, x)];
  }
}

// Palette images: indices are turned into the grey levels of their entries.
Result CopyGreyPalette(FIBITMAP* bitmap, SxImageBuf& out) {
  std::array<std::uint8_t, 256> grey{};
  const RGBQUAD* palette = FreeImage_GetPalette(bitmap);
  const unsigned entries = std::min(FreeImage_GetColorsUsed(bitmap), kMaxPaletteEntries);
  for (unsigned i = 0; i < entries; ++i) grey[i] = palette[i].rgbRed;
  switch (FreeImage_GetBPP(bitmap)) {
    case 1:
      CopyGreyPaletteRows<1>(bitmap, grey, out);
      return rc::Ok;
    case 4:
      CopyGreyPaletteRows<4>(bitmap, grey, out);
      return rc::Ok;
    case 8:
      CopyGreyPaletteRows<8>(bitmap, grey, out);
      return rc::Ok;
    default:
      LogError(QStringLiteral("Unsupported image format."));
      return rc::Unsupported;
  }
}

// Rows turned upside down, samples copied as they are.
void CopyRowsUpsideDown(FIBITMAP* bitmap, SxImageBuf& out) {
  const std::size_t bytes =
      std::min<std::size_t>(std::size_t(MinLinePitch(out)), FreeImage_GetLine(bitmap));
  for (int y = 0; y < out.height; ++y)
    std::memcpy(RowPtr(out, y), FreeImage_GetScanLine(bitmap, out.height - 1 - y), bytes);
}

Result AllocateFor(const SxPixelLayout& layout, int width, int height, SxImageBuf& out) {
  const Result r =
      AllocBuffer(out, width, height, layout.channels, layout.bitsPerChannel, layout.dataType);
  if (r == rc::Fail) {
    LogError(QStringLiteral("Out of memory."));
    return kOutOfMemory;
  }
  if (Failed(r)) {
    LogError(QStringLiteral("Unsupported image format."));
    return rc::Unsupported;
  }
  return rc::Ok;
}

}  // namespace

Result BitmapToBuffer(FIBITMAP* bitmap, SxImageBuf& out) {
  out = SxImageBuf{};
  if (!bitmap) return rc::InvalidArg(1);

  bool greyPalette = false;
  BitmapPtr converted;
  Result r = NormalizeBitmap(bitmap, greyPalette, converted);
  if (Failed(r)) return r;
  FIBITMAP* source = converted ? converted.get() : bitmap;

  const BITMAPINFOHEADER* info = FreeImage_GetInfoHeader(source);
  if (!info) {
    LogError(QStringLiteral("Cannot get bitmap info header."));
    return rc::Fail;
  }

  SxPixelLayout layout;
  if (greyPalette) {
    layout = SxPixelLayout{1, eImageDataUInt8, kGreyDepth};
  } else if (!PixelLayoutOf(FreeImage_GetImageType(source), info->biBitCount, layout)) {
    LogError(QStringLiteral("Unsupported image format."));
    return rc::Unsupported;
  }

  const int width = int(FreeImage_GetWidth(source));
  const int height = int(FreeImage_GetHeight(source));
  ScopedImageBuf buffer;
  r = AllocateFor(layout, width, height, buffer.get());
  if (Failed(r)) return r;

  if (greyPalette) {
    r = CopyGreyPalette(source, buffer.get());
    if (Failed(r)) return r;
  } else {
    CopyRowsUpsideDown(source, buffer.get());
  }

  // 16-bit files often hold fewer significant bits (10-, 12-, 14-bit cameras).
  if (buffer->dataType == eImageDataUInt16) DetectColorBitDepth(buffer.get());

  out = buffer.release();
  return rc::Ok;
}

BitmapPtr BufferToBitmap(const SxImageBuf& buf, FREE_IMAGE_TYPE type, int bitsPerPixel) {
  // 8-bit colour bitmaps carry explicit masks so that FreeImage reads B, G, R as blue, green, red.
  const bool masks = buf.dataType == eImageDataUInt8 && buf.channels >= 3;
  BitmapPtr bitmap(
      FreeImage_AllocateT(type, buf.width, buf.height, bitsPerPixel, masks ? FI_RGBA_RED_MASK : 0u,
                          masks ? FI_RGBA_GREEN_MASK : 0u, masks ? FI_RGBA_BLUE_MASK : 0u));
  if (!bitmap) {
    LogError(QStringLiteral("Cannot allocated FIBITMAP."));
    return nullptr;
  }
  const std::size_t bytes =
      std::min<std::size_t>(std::size_t(MinLinePitch(buf)), FreeImage_GetLine(bitmap.get()));
  for (int y = 0; y < buf.height; ++y)
    std::memcpy(FreeImage_GetScanLine(bitmap.get(), buf.height - 1 - y), RowPtr(buf, y), bytes);
  return bitmap;
}

}  // namespace ur::freeimage
