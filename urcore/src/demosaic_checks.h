#pragma once
// Argument checks shared by the Bayer-mosaic operations (planar split and join, demosaicing).

#include <ur/image_buf.h>

#include <QRect>

namespace ur::detail {

// One channel of 1- or 2-byte samples with pixels.
inline bool IsMosaicOfSmallSamples(const SxImageBuf& b) {
  const int bps = BytesPerSample(b.dataType);
  return HasPixels(b) && b.channels == 1 && (bps == 1 || bps == 2);
}

// One channel of 8- or 16-bit unsigned samples with pixels.
inline bool IsUnsignedMosaic(const SxImageBuf& b) {
  return HasPixels(b) && b.channels == 1 &&
         (b.dataType == eImageDataUInt8 || b.dataType == eImageDataUInt16);
}

// At least one whole 2x2 cell, and wholly inside an image of width x height.
inline bool IsMosaicRegionInside(const QRect& r, int width, int height) {
  return r.width() >= 2 && r.height() >= 2 && r.left() >= 0 && r.top() >= 0 && r.right() < width &&
         r.bottom() < height;
}

// Allocated, interleaved, three channels of the given type and at least width x height.
inline bool IsColorTarget(const SxImageBuf& b, ExImageDataType type, int width, int height) {
  return HasPixels(b) && b.channels == 3 && b.planar == 0 && b.dataType == type &&
         b.width >= width && b.height >= height;
}

}  // namespace ur::detail
