#pragma once
// How the bytes of a pixel in a PNG file (R, G, B or grey; 16-bit samples big-endian) lie in
// FreeImage's pixel (B, G, R or grey; 16-bit samples in the machine's little-endian order):
// file byte k of a pixel is memory byte memoryByte(k). Shared by our PNG encoder's filters and
// our decoder's unfilter.

#include <QtGlobal>

namespace ur::detail {

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "16-bit samples are swapped as little-endian");

struct SxGrey8 {
  static constexpr int kBytes = 1;
  static constexpr int memoryByte(int k) { return k; }
};
struct SxBgr8 {
  static constexpr int kBytes = 3;
  static constexpr int memoryByte(int k) { return 2 - k; }
};
struct SxGrey16 {
  static constexpr int kBytes = 2;
  static constexpr int memoryByte(int k) { return 1 - k; }
};

}  // namespace ur::detail
