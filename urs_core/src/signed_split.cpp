#include <urs/signed_split.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace urs {

namespace {

bool IsDoubleImage(const SxImageBuf& b) {
  return ur::HasPixels(b) && b.dataType == ur::eImageDataDouble &&
         (b.planar == 0 || b.planar == 1);
}

bool SameShape(const SxImageBuf& a, const SxImageBuf& b) {
  return a.width == b.width && a.height == b.height && a.channels == b.channels &&
         a.bitDepth == b.bitDepth && a.bayerGrid == b.bayerGrid && a.planar == b.planar;
}

bool Overlap(const SxImageBuf& a, const SxImageBuf& b) {
  const auto a0 = reinterpret_cast<std::uintptr_t>(a.data);
  const auto b0 = reinterpret_cast<std::uintptr_t>(b.data);
  return a0 < b0 + std::uintptr_t(ur::BufferBytes(b)) &&
         b0 < a0 + std::uintptr_t(ur::BufferBytes(a));
}

// Rows may start at any byte offset (the pitch need not be a multiple of 8), so samples are
// copied rather than dereferenced through a double pointer.
void SplitRow(const unsigned char* src, unsigned char* plus, unsigned char* minus,
              std::size_t samples, double sign) {
  for (std::size_t i = 0; i < samples; ++i) {
    const std::size_t at = i * sizeof(double);
    double v;
    std::memcpy(&v, src + at, sizeof v);
    if (v > 0.0) {
      std::memcpy(plus + at, &v, sizeof v);
    } else if (v < 0.0) {
      const double m = v * sign;
      std::memcpy(minus + at, &m, sizeof m);
    }
  }
}

}  // namespace

bool SplitToPlusMinus(const SxImageBuf& source, SxImageBuf& plus, SxImageBuf& minus,
                      bool negate) {
  if (!IsDoubleImage(source) || !IsDoubleImage(plus) || !IsDoubleImage(minus)) return false;
  if (!SameShape(source, plus) || !SameShape(source, minus)) return false;
  // Zeroing a target that shares memory with the source would destroy the input.
  if (Overlap(source, plus) || Overlap(source, minus) || Overlap(plus, minus)) return false;

  std::memset(plus.data, 0, std::size_t(ur::BufferBytes(plus)));
  std::memset(minus.data, 0, std::size_t(ur::BufferBytes(minus)));

  const double sign = negate ? -1.0 : 1.0;
  const int planes = source.planar ? source.channels : 1;
  const std::size_t rowSamples =
      std::size_t(source.width) * std::size_t(source.planar ? 1 : source.channels);
  for (int p = 0; p < planes; ++p)
    for (int y = 0; y < source.height; ++y)
      SplitRow(ur::RowPtr(source, y, p), ur::RowPtr(plus, y, p), ur::RowPtr(minus, y, p),
               rowSamples, sign);
  return true;
}

}  // namespace urs
