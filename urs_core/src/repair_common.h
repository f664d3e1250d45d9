#pragma once
// Helpers shared by the level selection and the repair (private to urs_core; the tests include
// it by relative path to pin the ring order).

#include <ur/image_buf.h>

namespace urs::detail {

// Per-channel size of a levels table: 2^b with b the image's bit depth, limited to the sample
// width, so that a table allocated for either never is read past its end. 0 when the image
// gives no usable bit depth (bitDepth <= 0) or its samples are not 1 or 2 bytes wide.
inline int RepairLevelCount(const ur::SxImageBuf& image) {
  const int bps = ur::BytesPerSample(image.dataType);
  if (bps < 1 || bps > 2 || image.bitDepth <= 0) return 0;
  const int bits = image.bitDepth < 8 * bps ? image.bitDepth : 8 * bps;
  return 1 << bits;
}

struct RingOffset {
  int dx;
  int dy;
};

// Offset number i (0 <= i < 8k) of ring k >= 1: the border cells of the (2k+1) x (2k+1) square,
// listed with dx from -k to k (outer) and dy from -k to k (inner). The first column holds
// 2k+1 cells, each inner column 2 (dy = -k and dy = k), the last column 2k+1 again. Computing
// the offset keeps the per-pixel search free of allocations.
inline RingOffset RingOffsetAt(int k, int i) {
  const int column = 2 * k + 1;
  if (i < column) return {-k, -k + i};
  const int inner = i - column;
  const int innerCount = 2 * (2 * k - 1);
  if (inner < innerCount) return {-k + 1 + inner / 2, (inner % 2 == 0) ? -k : k};
  return {k, -k + (inner - innerCount)};
}

}  // namespace urs::detail
