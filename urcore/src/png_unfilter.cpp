#include "png_unfilter.h"

#include "png_layout.h"

#include <cstdlib>

namespace ur::detail {
namespace {

enum ExFilter { eNone, eSub, eUp, eAverage, ePaeth };

inline std::uint8_t Paeth(int a, int b, int c) {
  const int pa = std::abs(b - c);
  const int pb = std::abs(a - c);
  const int pc = std::abs(a + b - 2 * c);
  return std::uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Calls op(i, j) for every byte of pixels [first, width): j its place in the file's row, i its
// place in memory.
template <class Layout, class Op>
inline void ForEachByte(std::size_t first, std::size_t width, Op op) {
  constexpr std::size_t n = Layout::kBytes;
  for (std::size_t x = first; x < width; ++x)
    for (std::size_t k = 0; k < n; ++k)
      op(x * n + std::size_t(Layout::memoryByte(int(k))), x * n + k);
}

// The left neighbour of memory byte i is i - n, already reconstructed when the loop reaches i.
template <class Layout>
bool Unfilter(int type, const std::uint8_t* f, const std::uint8_t* up, std::size_t width,
              std::uint8_t* out) {
  constexpr std::size_t n = Layout::kBytes;
  const std::size_t rest = width > 0 ? 1 : 0;
  switch (type) {
    case eNone:
      ForEachByte<Layout>(0, width, [=](std::size_t i, std::size_t j) { out[i] = f[j]; });
      return true;
    case eSub:
      ForEachByte<Layout>(0, rest, [=](std::size_t i, std::size_t j) { out[i] = f[j]; });
      ForEachByte<Layout>(rest, width, [=](std::size_t i, std::size_t j) {
        out[i] = std::uint8_t(f[j] + out[i - n]);
      });
      return true;
    case eUp:
      ForEachByte<Layout>(0, width, [=](std::size_t i, std::size_t j) {
        out[i] = std::uint8_t(f[j] + up[i]);
      });
      return true;
    case eAverage:
      ForEachByte<Layout>(0, rest, [=](std::size_t i, std::size_t j) {
        out[i] = std::uint8_t(f[j] + (up[i] >> 1));
      });
      ForEachByte<Layout>(rest, width, [=](std::size_t i, std::size_t j) {
        out[i] = std::uint8_t(f[j] + ((out[i - n] + up[i]) >> 1));
      });
      return true;
    case ePaeth:
      ForEachByte<Layout>(0, rest, [=](std::size_t i, std::size_t j) {
        out[i] = std::uint8_t(f[j] + up[i]);
      });
      ForEachByte<Layout>(rest, width, [=](std::size_t i, std::size_t j) {
        out[i] = std::uint8_t(f[j] + Paeth(out[i - n], up[i], up[i - n]));
      });
      return true;
    default:
      return false;
  }
}

}  // namespace

bool UnfilterRow(int bytesPerPixel, int type, const std::uint8_t* filtered,
                 const std::uint8_t* above, std::size_t width, std::uint8_t* out) {
  return bytesPerPixel == SxGrey8::kBytes ? Unfilter<SxGrey8>(type, filtered, above, width, out)
                                          : Unfilter<SxBgr8>(type, filtered, above, width, out);
}

}  // namespace ur::detail
