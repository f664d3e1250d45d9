#include "tiff/tiff_page_writer.h"

#include <algorithm>
#include <limits>
#include <type_traits>
#include <vector>

namespace ur::tiff {

namespace {

constexpr int kMinRowsPerStrip = 16;
constexpr std::size_t kStripBytes = 262144;  // aimed size of a converted strip
constexpr int kBitsOf8 = 8;
constexpr int kBitsOf16 = 16;
// MaxSampleValue is a SHORT: deeper ranges cannot be stated.
constexpr int kMaxStatedDepth = 16;

bool IsUnsignedType(ExImageDataType type) {
  return type == eImageDataUInt8 || type == eImageDataUInt16 || type == eImageDataUInt32;
}

bool IsWritableType(ExImageDataType type) {
  switch (type) {
    case eImageDataUInt8:
    case eImageDataUInt16:
    case eImageDataUInt32:
    case eImageDataInt8:
    case eImageDataInt16:
    case eImageDataInt32:
    case eImageDataFloat:
      return true;
    default:
      return false;
  }
}

std::uint16_t SampleFormatOf(ExImageDataType type) {
  if (type == eImageDataFloat) return SAMPLEFORMAT_IEEEFP;
  return IsUnsignedType(type) ? SAMPLEFORMAT_UINT : SAMPLEFORMAT_INT;
}

std::uint16_t CompressionOf(int option) {
  if (option == 0) return COMPRESSION_LZW;
  if (option == 1) return COMPRESSION_PACKBITS;
  return COMPRESSION_NONE;
}

// Converts one row: picks the written channels (red and blue swapped back, alpha dropped) and
// shifts unsigned samples, saturating those above the stated depth.
template <typename TIn, typename TOut>
void ConvertRow(const std::uint8_t* srcRow, std::uint8_t* dstRow, int width, int inChannels,
                const TiffWritePlan& plan) {
  static constexpr int kSwapped[] = {2, 1, 0};
  const TIn* src = reinterpret_cast<const TIn*>(srcRow);
  TOut* dst = reinterpret_cast<TOut*>(dstRow);
  const int samples = plan.samples;
  const int shift = plan.shift;
  for (int x = 0; x < width; ++x) {
    const TIn* pixel = src + std::size_t(x) * inChannels;
    TOut* out = dst + std::size_t(x) * samples;
    for (int c = 0; c < samples; ++c) {
      const TIn v = pixel[plan.swapRedBlue ? kSwapped[c] : c];
      if constexpr (std::is_unsigned_v<TIn>) {
        std::uint64_t w = v;
        w = shift >= 0 ? w << shift : w >> -shift;
        out[c] = TOut(std::min<std::uint64_t>(w, std::numeric_limits<TOut>::max()));
      } else {
        out[c] = TOut(v);
      }
    }
  }
}

using RowConverter = void (*)(const std::uint8_t*, std::uint8_t*, int, int, const TiffWritePlan&);

RowConverter ConverterFor(ExImageDataType in, ExImageDataType out) {
  if (out == eImageDataUInt8) {
    if (in == eImageDataUInt8) return &ConvertRow<std::uint8_t, std::uint8_t>;
    if (in == eImageDataUInt16) return &ConvertRow<std::uint16_t, std::uint8_t>;
    if (in == eImageDataUInt32) return &ConvertRow<std::uint32_t, std::uint8_t>;
    return nullptr;
  }
  if (in != out) return nullptr;
  switch (in) {
    case eImageDataUInt16:
      return &ConvertRow<std::uint16_t, std::uint16_t>;
    case eImageDataUInt32:
      return &ConvertRow<std::uint32_t, std::uint32_t>;
    case eImageDataInt8:
      return &ConvertRow<std::int8_t, std::int8_t>;
    case eImageDataInt16:
      return &ConvertRow<std::int16_t, std::int16_t>;
    case eImageDataInt32:
      return &ConvertRow<std::int32_t, std::int32_t>;
    case eImageDataFloat:
      return &ConvertRow<float, float>;
    default:
      return nullptr;
  }
}

}  // namespace

bool MakeWritePlan(const SxImageBuf& buf, bool keepDeepData, bool scaleRange, int compressionOption,
                   TiffWritePlan& plan) {
  plan = TiffWritePlan{};
  // Interleaved 1-, 3- and 4-channel images only.
  if (!HasPixels(buf) || buf.planar != 0 || !IsWritableType(buf.dataType)) return false;
  if (buf.channels != 1 && buf.channels != 3 && buf.channels != 4) return false;
  // Colour for unsigned 8- and 16-bit data; alpha is dropped.
  const bool colour = buf.channels > 1;
  if (colour && buf.dataType != eImageDataUInt8 && buf.dataType != eImageDataUInt16) return false;
  plan.samples = colour ? 3 : 1;

  // The written type and depth.
  const int typeBits = BytesPerSample(buf.dataType) * kBitsOf8;
  const int depth = buf.bitDepth > 0 && buf.bitDepth <= typeBits ? buf.bitDepth : typeBits;
  plan.dataType = buf.dataType;
  plan.bitDepth = depth;
  if (IsUnsignedType(buf.dataType) && typeBits > kBitsOf8) {
    if (!keepDeepData) {
      plan.dataType = eImageDataUInt8;
      plan.shift = -std::max(0, depth - kBitsOf8);
      plan.bitDepth = std::min(depth, kBitsOf8);
    } else if (scaleRange && buf.dataType == eImageDataUInt16 && depth < kBitsOf16) {
      plan.shift = kBitsOf16 - depth;
      plan.bitDepth = kBitsOf16;
    }
  }
  plan.swapRedBlue = colour && buf.dataType == eImageDataUInt8;
  plan.compression = CompressionOf(compressionOption);
  plan.rowBytes = std::size_t(buf.width) * plan.samples * BytesPerSample(plan.dataType);

  // A grey buffer with compact rows needs no conversion and goes in one strip.
  plan.direct = !colour && plan.shift == 0 && plan.dataType == buf.dataType &&
                std::size_t(buf.linePitch) == plan.rowBytes;
  const std::uint32_t height = std::uint32_t(buf.height);
  std::uint32_t rows = std::max<std::uint32_t>(
      kMinRowsPerStrip, kStripBytes / std::max<std::size_t>(plan.rowBytes, 1));
  if (plan.direct || height < 2 * std::uint64_t(rows)) rows = height;
  plan.rowsPerStrip = rows;
  return ConverterFor(buf.dataType, plan.dataType) != nullptr;
}

void SetLayoutTags(TIFF* tif, const SxImageBuf& buf, const TiffWritePlan& plan) {
  const int bits = BytesPerSample(plan.dataType) * kBitsOf8;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, std::uint32_t(buf.width));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, std::uint32_t(buf.height));
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, plan.samples);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
  if (IsUnsignedType(plan.dataType) && plan.bitDepth <= kMaxStatedDepth) {
    TIFFSetField(tif, TIFFTAG_MINSAMPLEVALUE, 0);
    TIFFSetField(tif, TIFFTAG_MAXSAMPLEVALUE, int((1u << plan.bitDepth) - 1));
  }
  if (!IsUnsignedType(plan.dataType))
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SampleFormatOf(plan.dataType));
  TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
               plan.samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, plan.compression);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, plan.rowsPerStrip);
}

bool WritePagePixels(TIFF* tif, const SxImageBuf& buf, const TiffWritePlan& plan) {
  if (plan.direct) {
    const tmsize_t bytes = tmsize_t(plan.rowBytes) * buf.height;
    return TIFFWriteEncodedStrip(tif, 0, buf.data, bytes) >= 0;
  }
  const RowConverter convert = ConverterFor(buf.dataType, plan.dataType);
  if (!convert) return false;
  std::vector<std::uint8_t> strip(plan.rowBytes * plan.rowsPerStrip);
  std::uint32_t index = 0;
  for (int y0 = 0; y0 < buf.height; y0 += int(plan.rowsPerStrip), ++index) {
    const int rows = std::min(int(plan.rowsPerStrip), buf.height - y0);
    for (int r = 0; r < rows; ++r)
      convert(RowPtr(buf, y0 + r), strip.data() + std::size_t(r) * plan.rowBytes, buf.width,
              buf.channels, plan);
    if (TIFFWriteEncodedStrip(tif, index, strip.data(), tmsize_t(plan.rowBytes) * rows) < 0)
      return false;
  }
  return true;
}

}  // namespace ur::tiff
