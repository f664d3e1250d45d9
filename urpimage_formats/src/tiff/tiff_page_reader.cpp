#include "tiff/tiff_page_reader.h"

#include <ur/color_convert.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace ur::tiff {

namespace {

// Larger pages are refused rather than allocated: a damaged header can claim any size.
constexpr std::int64_t kMaxImageBytes = std::int64_t(1) << 34;
// Sample unpacking reads a 24-bit window, so row buffers carry a few spare bytes.
constexpr std::size_t kRowSlack = 8;
constexpr int kWindowBits = 24;
constexpr int kMaxPackedBits = 16;

bool IsUnsignedFormat(std::uint16_t format) {
  return format == SAMPLEFORMAT_UINT || format == SAMPLEFORMAT_VOID;
}

// No codec describes more bytes of samples per stored byte than this (deflate gives at most
// 1032, LZW about 3600, a blank fax line some thousands): a damaged page claiming more would
// have its whole buffer allocated before the first strip fails to decode.
constexpr std::int64_t kMostBytesPerStoredByte = std::int64_t(1) << 16;

// Whether the strips or tiles, as far as they lie inside the file, can hold the page: all its
// bytes when uncompressed, a 2^16th of them when compressed.
bool StoredDataCanHold(TIFF* tif, const TiffPageLayout& layout, std::uint16_t compression) {
  const std::uint64_t fileBytes = TIFFGetSizeProc(tif)(TIFFClientdata(tif));
  const std::uint32_t count = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
  std::int64_t stored = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    int err = 0;
    const std::uint64_t offset = TIFFGetStrileOffsetWithErr(tif, i, &err);
    const std::uint64_t bytes = TIFFGetStrileByteCountWithErr(tif, i, &err);
    if (err) return false;
    if (offset < fileBytes) stored += std::int64_t(std::min(bytes, fileBytes - offset));
  }
  // Strips may share bytes; together they hold no more than the file.
  stored = std::min(stored, std::int64_t(fileBytes));
  // A scanline holds one plane's samples when the planes are stored apart.
  const std::int64_t planes = layout.planarConfig == PLANARCONFIG_SEPARATE ? layout.samples : 1;
  const std::int64_t needed = layout.scanlineSize * std::int64_t(layout.height) * planes;
  return needed / (compression == COMPRESSION_NONE ? 1 : kMostBytesPerStoredByte) <= stored;
}

bool NeedsRgbaReader(std::uint16_t photometric, std::uint16_t compression) {
  switch (photometric) {
    case PHOTOMETRIC_YCBCR:
    case PHOTOMETRIC_SEPARATED:
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
    case PHOTOMETRIC_ITULAB:
    case PHOTOMETRIC_LOGL:
    case PHOTOMETRIC_LOGLUV:
      return true;
    default:
      return compression == COMPRESSION_OJPEG;
  }
}

// The least number of bits g >= 1 whose largest value 2^g - 1 holds m.
int BitsToHold(std::uint32_t m) {
  int g = 1;
  while (g < 32 && (std::uint64_t(1) << g) - 1 < m) ++g;
  return g;
}

// Palette entries as 8-bit B, G, R. Colour maps are 16-bit by the standard, but some writers
// store 8-bit values; like libtiff's RGBA reader, a map without any value above 255 is taken
// as 8-bit.
bool ReadPalette(TIFF* tif, TiffPageLayout& layout) {
  std::uint16_t* red = nullptr;
  std::uint16_t* green = nullptr;
  std::uint16_t* blue = nullptr;
  if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue)
    return false;
  const std::size_t entries = std::size_t(1) << layout.bits;
  bool sixteenBit = false;
  for (std::size_t i = 0; i < entries && !sixteenBit; ++i)
    sixteenBit = red[i] > 255 || green[i] > 255 || blue[i] > 255;
  const int shift = sixteenBit ? 8 : 0;
  bool grey = true;
  layout.palette.resize(entries * 3);
  for (std::size_t i = 0; i < entries; ++i) {
    std::uint8_t* e = &layout.palette[i * 3];
    e[0] = std::uint8_t(blue[i] >> shift);
    e[1] = std::uint8_t(green[i] >> shift);
    e[2] = std::uint8_t(red[i] >> shift);
    grey = grey && e[0] == e[1] && e[1] == e[2];
  }
  layout.channels = grey ? 1 : 3;
  layout.dataType = eImageDataUInt8;
  layout.bitDepth = 8;
  return true;
}

bool ChooseSampleType(TiffPageLayout& layout) {
  const std::uint16_t bits = layout.bits;
  if (IsUnsignedFormat(layout.sampleFormat)) {
    if (bits >= 1 && bits <= 8)
      layout.dataType = eImageDataUInt8;
    else if (bits <= kMaxPackedBits)
      layout.dataType = eImageDataUInt16;
    else if (bits == 32)
      layout.dataType = eImageDataUInt32;
    else
      return false;
    layout.bitDepth = bits;
    // MaxSampleValue below the sample range names the significant bits.
    const std::uint32_t m = layout.maxSampleValue;
    if (m != 0 && (bits >= 32 || m < (std::uint32_t(1) << bits))) layout.bitDepth = BitsToHold(m);
  } else if (layout.sampleFormat == SAMPLEFORMAT_INT) {
    if (bits == 8)
      layout.dataType = eImageDataInt8;
    else if (bits == 16)
      layout.dataType = eImageDataInt16;
    else if (bits == 32)
      layout.dataType = eImageDataInt32;
    else
      return false;
    layout.bitDepth = bits;
  } else if (layout.sampleFormat == SAMPLEFORMAT_IEEEFP && bits == 32) {
    layout.dataType = eImageDataFloat;
    layout.bitDepth = bits;
  } else {
    return false;
  }
  // Tiles are assembled byte-wise; bit-packed tiles are too rare to be worth the code.
  if (layout.tiled && bits % 8 != 0) return false;
  layout.channels = layout.samples;
  layout.invert =
      layout.photometric == PHOTOMETRIC_MINISWHITE && IsUnsignedFormat(layout.sampleFormat);
  return true;
}

std::uint32_t FetchSample(const std::uint8_t* row, std::size_t index, int bits) {
  switch (bits) {
    case 8:
      return row[index];
    case 16: {
      std::uint16_t v;
      std::memcpy(&v, row + index * 2, 2);  // libtiff has already put it in host byte order
      return v;
    }
    case 32: {
      std::uint32_t v;
      std::memcpy(&v, row + index * 4, 4);
      return v;
    }
    default: {
      // Packed samples run from the most significant bit of each byte.
      const std::size_t bit = index * std::size_t(bits);
      const std::uint8_t* p = row + bit / 8;
      const std::uint32_t window = (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2];
      const int shift = kWindowBits - int(bit % 8) - bits;
      return (window >> shift) & ((std::uint32_t(1) << bits) - 1);
    }
  }
}

// Puts stored rows (one plane's row when planes are separate) into the interleaved buffer.
class RowPlacer {
public:
  RowPlacer(const TiffPageLayout& layout, SxImageBuf& buf) : m_layout(layout), m_buf(buf) {}

  void place(const std::uint8_t* src, int plane, int y) const {
    std::uint8_t* dst = RowPtr(m_buf, y);
    const int bytes = BytesPerSample(m_buf.dataType);
    if (m_layout.method == TiffPageLayout::Method::Palette) return placePalette(src, dst);
    const bool contiguous = m_layout.planarConfig == PLANARCONFIG_CONTIG;
    if (m_layout.bits % 8 == 0 && !m_layout.invert) {
      if (contiguous) {
        std::memcpy(dst, src, std::size_t(m_layout.width) * m_buf.channels * bytes);
        return;
      }
      switch (bytes) {
        case 1:
          return scatter<std::uint8_t>(src, plane, dst);
        case 2:
          return scatter<std::uint16_t>(src, plane, dst);
        default:
          return scatter<std::uint32_t>(src, plane, dst);
      }
    }
    switch (bytes) {
      case 1:
        return unpack<std::uint8_t>(src, plane, dst);
      case 2:
        return unpack<std::uint16_t>(src, plane, dst);
      default:
        return unpack<std::uint32_t>(src, plane, dst);
    }
  }

private:
  template <typename T>
  void scatter(const std::uint8_t* src, int plane, std::uint8_t* dst) const {
    const int channels = m_buf.channels;
    T* out = reinterpret_cast<T*>(dst) + plane;
    for (std::uint32_t x = 0; x < m_layout.width; ++x)
      std::memcpy(out + std::size_t(x) * channels, src + std::size_t(x) * sizeof(T), sizeof(T));
  }

  template <typename T>
  void unpack(const std::uint8_t* src, int plane, std::uint8_t* dst) const {
    const int bits = m_layout.bits;
    const std::uint32_t top = bits >= 32 ? 0xFFFFFFFFu : (std::uint32_t(1) << bits) - 1;
    const bool contiguous = m_layout.planarConfig == PLANARCONFIG_CONTIG;
    const int perPixel = contiguous ? m_buf.channels : 1;
    const int first = contiguous ? 0 : plane;
    T* out = reinterpret_cast<T*>(dst);
    std::size_t i = 0;
    for (std::uint32_t x = 0; x < m_layout.width; ++x) {
      T* pixel = out + std::size_t(x) * m_buf.channels + first;
      for (int s = 0; s < perPixel; ++s, ++i) {
        std::uint32_t v = FetchSample(src, i, bits);
        if (m_layout.invert) v = top - v;
        pixel[s] = T(v);
      }
    }
  }

  void placePalette(const std::uint8_t* src, std::uint8_t* dst) const {
    const std::uint8_t* palette = m_layout.palette.data();
    const int bits = m_layout.bits;
    if (m_buf.channels == 1) {
      for (std::uint32_t x = 0; x < m_layout.width; ++x)
        dst[x] = palette[FetchSample(src, x, bits) * 3];
      return;
    }
    for (std::uint32_t x = 0; x < m_layout.width; ++x)
      std::memcpy(dst + std::size_t(x) * 3, palette + std::size_t(FetchSample(src, x, bits)) * 3,
                  3);
  }

  const TiffPageLayout& m_layout;
  SxImageBuf& m_buf;
};

int PlaneCount(const TiffPageLayout& layout) {
  return layout.planarConfig == PLANARCONFIG_SEPARATE ? layout.samples : 1;
}

bool ReadScanlines(TIFF* tif, const TiffPageLayout& layout, SxImageBuf& buf) {
  std::vector<std::uint8_t> row(std::size_t(layout.scanlineSize) + kRowSlack, 0);
  const RowPlacer placer(layout, buf);
  for (int plane = 0; plane < PlaneCount(layout); ++plane) {
    for (std::uint32_t y = 0; y < layout.height; ++y) {
      if (TIFFReadScanline(tif, row.data(), y, std::uint16_t(plane)) < 0) return false;
      placer.place(row.data(), plane, int(y));
    }
  }
  return true;
}

bool ReadTiles(TIFF* tif, const TiffPageLayout& layout, SxImageBuf& buf) {
  std::uint32_t tileWidth = 0;
  std::uint32_t tileLength = 0;
  if (!TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth) ||
      !TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength) || tileWidth == 0 || tileLength == 0)
    return false;
  const int planes = PlaneCount(layout);
  const std::size_t pixelBytes = std::size_t(layout.bits / 8) * (planes == 1 ? layout.samples : 1);
  const std::int64_t tileBytes = TIFFTileSize64(tif);
  const std::int64_t tileRowBytes = TIFFTileRowSize64(tif);
  if (tileBytes <= 0 || tileRowBytes < std::int64_t(tileWidth * pixelBytes)) return false;

  // One band of tiles across the image is assembled into whole rows, then placed.
  const std::size_t bandRowBytes = std::size_t(layout.width) * pixelBytes + kRowSlack;
  std::vector<std::uint8_t> band(bandRowBytes * tileLength, 0);
  std::vector<std::uint8_t> tile(std::size_t(tileBytes), 0);
  const RowPlacer placer(layout, buf);
  for (int plane = 0; plane < planes; ++plane) {
    for (std::uint32_t ty = 0; ty < layout.height; ty += tileLength) {
      const std::uint32_t rows = std::min(tileLength, layout.height - ty);
      for (std::uint32_t tx = 0; tx < layout.width; tx += tileWidth) {
        if (TIFFReadTile(tif, tile.data(), tx, ty, 0, std::uint16_t(plane)) < 0) return false;
        const std::size_t bytes = std::min(tileWidth, layout.width - tx) * pixelBytes;
        for (std::uint32_t r = 0; r < rows; ++r)
          std::memcpy(band.data() + r * bandRowBytes + tx * pixelBytes,
                      tile.data() + r * std::size_t(tileRowBytes), bytes);
      }
      for (std::uint32_t r = 0; r < rows; ++r)
        placer.place(band.data() + r * bandRowBytes, plane, int(ty + r));
    }
  }
  return true;
}

// libtiff converts the colour model and honours the orientation; pixels come as packed ABGR.
bool ReadRgba(TIFF* tif, const TiffPageLayout& layout, SxImageBuf& buf) {
  std::vector<std::uint32_t> raster(std::size_t(layout.width) * layout.height);
  if (!TIFFReadRGBAImageOriented(tif, layout.width, layout.height, raster.data(),
                                 ORIENTATION_TOPLEFT, 1))
    return false;
  for (std::uint32_t y = 0; y < layout.height; ++y) {
    const std::uint32_t* src = raster.data() + std::size_t(y) * layout.width;
    std::uint8_t* dst = RowPtr(buf, int(y));
    for (std::uint32_t x = 0; x < layout.width; ++x, dst += 3) {
      dst[0] = std::uint8_t(TIFFGetB(src[x]));
      dst[1] = std::uint8_t(TIFFGetG(src[x]));
      dst[2] = std::uint8_t(TIFFGetR(src[x]));
    }
  }
  return true;
}

void FlipRows(SxImageBuf& buf) {
  const std::size_t rowBytes = std::size_t(MinLinePitch(buf));
  std::vector<std::uint8_t> tmp(rowBytes);
  for (int top = 0, bottom = buf.height - 1; top < bottom; ++top, --bottom) {
    std::memcpy(tmp.data(), RowPtr(buf, top), rowBytes);
    std::memcpy(RowPtr(buf, top), RowPtr(buf, bottom), rowBytes);
    std::memcpy(RowPtr(buf, bottom), tmp.data(), rowBytes);
  }
}

void MirrorRows(SxImageBuf& buf) {
  const std::size_t pixelBytes = std::size_t(buf.channels) * BytesPerSample(buf.dataType);
  std::vector<std::uint8_t> tmp(pixelBytes);
  for (int y = 0; y < buf.height; ++y) {
    std::uint8_t* row = RowPtr(buf, y);
    for (int l = 0, r = buf.width - 1; l < r; ++l, --r) {
      std::memcpy(tmp.data(), row + l * pixelBytes, pixelBytes);
      std::memcpy(row + l * pixelBytes, row + r * pixelBytes, pixelBytes);
      std::memcpy(row + r * pixelBytes, tmp.data(), pixelBytes);
    }
  }
}

// Orientations 5 to 8 swap the axes; they are rare in practice and are read as stored.
void TurnUpright(SxImageBuf& buf, std::uint16_t orientation) {
  if (orientation == ORIENTATION_TOPRIGHT || orientation == ORIENTATION_BOTRIGHT) MirrorRows(buf);
  if (orientation == ORIENTATION_BOTRIGHT || orientation == ORIENTATION_BOTLEFT) FlipRows(buf);
}

}  // namespace

bool ReadPageLayout(TIFF* tif, TiffPageLayout& layout) {
  layout = TiffPageLayout{};
  if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &layout.width) ||
      !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &layout.height))
    return false;
  std::uint16_t samples = 1;
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  layout.samples = samples == 0 ? 1 : samples;
  // An absent BitsPerSample means 1 (TIFF 6.0's default, which libtiff decodes by).
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &layout.bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &layout.sampleFormat);
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &layout.photometric))
    layout.photometric = layout.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &layout.planarConfig);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &layout.orientation);
  if (!TIFFGetField(tif, TIFFTAG_MAXSAMPLEVALUE, &layout.maxSampleValue)) layout.maxSampleValue = 0;
  std::uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  layout.tiled = TIFFIsTiled(tif) != 0;
  layout.scanlineSize = TIFFScanlineSize64(tif);
  if (layout.width == 0 || layout.height == 0 || layout.scanlineSize <= 0 || layout.bits == 0)
    return false;
  if (!TIFFIsCODECConfigured(compression)) return false;
  if (!StoredDataCanHold(tif, layout, compression)) return false;

  if (layout.photometric == PHOTOMETRIC_PALETTE) {
    if (layout.samples != 1 || layout.bits > kMaxPackedBits ||
        !IsUnsignedFormat(layout.sampleFormat))
      return false;
    if (layout.tiled && layout.bits % 8 != 0) return false;
    layout.method = TiffPageLayout::Method::Palette;
    return ReadPalette(tif, layout);
  }
  if (NeedsRgbaReader(layout.photometric, compression)) {
    char message[1024] = {};
    if (!TIFFRGBAImageOK(tif, message)) return false;
    layout.method = TiffPageLayout::Method::Rgba;
    layout.channels = 3;
    layout.dataType = eImageDataUInt8;
    layout.bitDepth = 8;
    return true;
  }
  layout.method = TiffPageLayout::Method::Samples;
  return ChooseSampleType(layout);
}

bool IsSameFrameShape(const TiffPageLayout& a, const TiffPageLayout& b) {
  return a.width == b.width && a.height == b.height && a.samples == b.samples && a.bits == b.bits &&
         a.scanlineSize == b.scanlineSize && a.channels == b.channels && a.dataType == b.dataType &&
         a.method == b.method;
}

bool DescribeBuffer(const TiffPageLayout& layout, SxImageBuf& buf) {
  buf = SxImageBuf{};
  if (layout.width > std::uint32_t(INT_MAX) || layout.height > std::uint32_t(INT_MAX)) return false;
  const std::int64_t rowBytes =
      std::int64_t(layout.width) * layout.channels * BytesPerSample(layout.dataType);
  if (rowBytes <= 0 || rowBytes > INT_MAX || rowBytes > kMaxImageBytes / layout.height ||
      !WithinSampleCeiling(layout.width, layout.height, layout.channels))
    return false;
  buf.width = int(layout.width);
  buf.height = int(layout.height);
  buf.channels = layout.channels;
  buf.dataType = layout.dataType;
  buf.bitDepth = layout.bitDepth;
  return true;
}

bool ReadPagePixels(TIFF* tif, const TiffPageLayout& layout, SxImageBuf& buf) {
  if (layout.method == TiffPageLayout::Method::Rgba) return ReadRgba(tif, layout, buf);
  const bool ok = layout.tiled ? ReadTiles(tif, layout, buf) : ReadScanlines(tif, layout, buf);
  if (!ok) return false;
  TurnUpright(buf, layout.orientation);
  // TIFF stores red first; 8-bit colour is blue first in memory, deeper colour red first.
  if (layout.method == TiffPageLayout::Method::Samples && buf.dataType == eImageDataUInt8 &&
      (buf.channels == 3 || buf.channels == 4))
    SwapRedAndBlue(buf);
  return true;
}

}  // namespace ur::tiff
