#include "framework_thumbnail.h"

#include <ur/bayer.h>
#include <ur/buffers.h>
#include <ur/color_convert.h>
#include <ur/demosaic.h>
#include <ur/geometry.h>

#include <algorithm>

namespace ur::detail {

namespace {
// src scaled to width x height into scaled (allocated here); false on failure.
bool Scale(const SxImageBuf& src, int width, int height, ScopedImageBuf& scaled) {
  SxImageBuf shape = src;
  shape.data = nullptr;
  shape.width = width;
  shape.height = height;
  shape.linePitch = 0;
  scaled = ScopedImageBuf(shape);
  return Succeeded(AllocBuffer(scaled.get())) && Succeeded(Resample(src, scaled.get()));
}

// The source at the size the preview needs: src itself when it already has that size.
const SxImageBuf* AtSize(const SxImageBuf& src, int width, int height, ScopedImageBuf& scaled) {
  if (width == src.width && height == src.height) return &src;
  return Scale(src, width, height, scaled) ? &scaled.get() : nullptr;
}

bool IsMosaic(const SxImageBuf& src) {
  return src.channels == 1 && IsBayer2x2(src.bayerGrid) && src.width >= 2 && src.height >= 2;
}
}  // namespace

QSize FitThumbnailSize(int width, int height) {
  if (width <= kThumbnailMaxWidth && height <= kThumbnailMaxHeight) return {width, height};
  // Integer arithmetic, so that 1600 x 1200 gives exactly 400 x 300.
  if (std::int64_t(width) * kThumbnailMaxHeight >= std::int64_t(height) * kThumbnailMaxWidth)
    return {kThumbnailMaxWidth,
            std::max(1, int(std::int64_t(height) * kThumbnailMaxWidth / width))};
  return {std::max(1, int(std::int64_t(width) * kThumbnailMaxHeight / height)),
          kThumbnailMaxHeight};
}

bool MakeThumbnail(const SxImageBuf& src, SxImageBuf& dst) {
  if (!HasPixels(src)) return false;
  ScopedImageBuf scaled;
  ScopedImageBuf preview;
  if (IsMosaic(src)) {
    // One colour pixel per 2x2 cell: scale the mosaic to twice the preview size, cell by cell.
    const QSize size = FitThumbnailSize(src.width / 2, src.height / 2);
    const SxImageBuf* mosaic = AtSize(src, 2 * size.width(), 2 * size.height(), scaled);
    if (!mosaic ||
        Failed(AllocBuffer(preview.get(), size.width(), size.height(), 3, 8, eImageDataUInt8)) ||
        Failed(DemosaicSimpleToRGB24(*mosaic, preview.get())))
      return false;
  } else {
    const QSize size = FitThumbnailSize(src.width, src.height);
    const SxImageBuf* image = AtSize(src, size.width(), size.height(), scaled);
    if (!image ||
        Failed(AllocBuffer(preview.get(), size.width(), size.height(), 3, 8, eImageDataUInt8)) ||
        Failed(ConvertToRGB8(*image, preview.get())))
      return false;
  }
  dst = preview.release();
  return true;
}

}  // namespace ur::detail
