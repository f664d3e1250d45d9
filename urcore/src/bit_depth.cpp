#include <ur/bit_depth.h>

#include "convert_layout.h"
#include "sample_dispatch.h"

#include <algorithm>
#include <cstdint>

namespace ur {

namespace {

constexpr int kReducedBits = 8;

bool IsUnsignedInteger(ExImageDataType type) {
  return type == eImageDataUInt8 || type == eImageDataUInt16 || type == eImageDataUInt32;
}

// Bits needed for v, at least 1 (0 still takes one bit).
int BitsFor(std::uint32_t v) {
  int bits = 1;
  while (bits < 32 && (v >> bits) != 0) ++bits;
  return bits;
}

// The bitwise OR of all samples has its highest bit where the largest sample has it, and the
// OR of a row vectorises better than a running maximum.
template <typename T>
std::uint32_t OrOfAllSamples(const SxImageBuf& buf) {
  const int planes = buf.planar ? buf.channels : 1;
  const std::size_t rowSamples = std::size_t(buf.width) * (buf.planar ? 1 : buf.channels);
  T acc = 0;
  for (int p = 0; p < planes; ++p) {
    for (int y = 0; y < buf.height; ++y) {
      const T* row = reinterpret_cast<const T*>(RowPtr(buf, y, p));
      for (std::size_t i = 0; i < rowSamples; ++i) acc |= row[i];
    }
  }
  return std::uint32_t(acc);
}

template <typename T>
void ShiftAllSamples(SxImageBuf& buf, int shift) {
  const int planes = buf.planar ? buf.channels : 1;
  const std::size_t rowSamples = std::size_t(buf.width) * (buf.planar ? 1 : buf.channels);
  for (int p = 0; p < planes; ++p) {
    for (int y = 0; y < buf.height; ++y) {
      T* row = reinterpret_cast<T*>(RowPtr(buf, y, p));
      if (shift > 0) {
        for (std::size_t i = 0; i < rowSamples; ++i) row[i] = T(unsigned(row[i]) << shift);
      } else {
        for (std::size_t i = 0; i < rowSamples; ++i) row[i] = T(unsigned(row[i]) >> -shift);
      }
    }
  }
}

}  // namespace

Result DetectColorBitDepth(SxImageBuf& buf, int maxBitDepth) {
  if (!HasPixels(buf) || !IsUnsignedInteger(buf.dataType)) return rc::InvalidArg(1);
  std::uint32_t bits = 0;
  switch (buf.dataType) {
    case eImageDataUInt8: bits = OrOfAllSamples<std::uint8_t>(buf); break;
    case eImageDataUInt16: bits = OrOfAllSamples<std::uint16_t>(buf); break;
    default: bits = OrOfAllSamples<std::uint32_t>(buf); break;
  }
  int depth = BitsFor(bits);
  if (maxBitDepth > 0) depth = std::min(depth, maxBitDepth);
  buf.bitDepth = depth;
  return rc::Ok;
}

Result ReduceBits(const SxImageBuf& src, SxImageBuf& dst) {
  if (!HasPixels(src) || src.dataType != eImageDataUInt16) return rc::InvalidArg(1);
  if (!HasPixels(dst) || dst.dataType != eImageDataUInt8 || !detail::SameGeometry(src, dst))
    return rc::InvalidArg(2);

  const int depth = detail::EffectiveBitDepth(src.bitDepth, 16);
  const int shift = std::max(0, depth - kReducedBits);
  // Samples above the stated depth would not fit after the shift; they saturate.
  detail::MapChannels<std::uint16_t, std::uint8_t>(src, dst, [shift](int) {
    return [shift](std::uint16_t v) { return std::uint8_t(std::min(unsigned(v) >> shift, 255u)); };
  });
  dst.bitDepth = kReducedBits;
  return rc::Ok;
}

Result ShiftBits(SxImageBuf& buf, int shift) {
  if (!HasPixels(buf) || (buf.dataType != eImageDataUInt8 && buf.dataType != eImageDataUInt16))
    return rc::InvalidArg(1);
  const int typeBits = BytesPerSample(buf.dataType) * 8;
  if (shift <= -typeBits || shift >= typeBits) return rc::InvalidArg(2);
  detail::VisitUnsigned8or16(buf.dataType, [&](auto tag) {
    using T = decltype(tag);
    if (shift != 0) ShiftAllSamples<T>(buf, shift);
  });
  const int depth = detail::EffectiveBitDepth(buf.bitDepth, typeBits);
  buf.bitDepth = std::clamp(depth + shift, 1, typeBits);
  return rc::Ok;
}

}  // namespace ur
