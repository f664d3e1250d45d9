#include "hdf5_thumbnail.h"

#include <ur/bayer.h>
#include <ur/color_convert.h>
#include <ur/demosaic.h>
#include <ur/geometry.h>
#include <ur/result.h>

#include <algorithm>
#include <cstdint>

namespace ur::h5i {

namespace {
constexpr std::int64_t kMaxWidth = 400;
constexpr std::int64_t kMaxHeight = 300;

bool IsMosaic(const SxImageBuf& image) {
  return image.channels == 1 && IsBayer2x2(image.bayerGrid);
}
}  // namespace

QSize ThumbnailSourceSize(const SxImageBuf& image) {
  const std::int64_t w = image.width, h = image.height;
  if (w <= 0 || h <= 0) return {};
  // Integer quotients, so that the floors of the aspect's products are exact.
  std::int64_t tw = kMaxWidth, th = kMaxHeight;
  if (w * kMaxHeight > h * kMaxWidth)
    th = std::max<std::int64_t>(1, kMaxWidth * h / w);
  else if (w * kMaxHeight < h * kMaxWidth)
    tw = std::max<std::int64_t>(1, kMaxHeight * w / h);
  if (tw >= w && th >= h) return {};
  if (IsMosaic(image)) {
    tw = 2 * std::max<std::int64_t>(2, tw - tw % 2);
    th = 2 * std::max<std::int64_t>(2, th - th % 2);
    if (tw > w || th > h) tw = w, th = h;
  }
  return QSize(int(tw), int(th));
}

bool MakeThumbnail(const SxImageBuf& image, ScopedImageBuf& preview) {
  const QSize size = ThumbnailSourceSize(image);
  if (size.isEmpty() || !HasPixels(image)) return false;
  SxImageBuf shape = image;
  shape.data = nullptr;
  shape.width = size.width();
  shape.height = size.height();
  shape.linePitch = 0;
  ScopedImageBuf scaled(shape);
  if (Failed(AllocBuffer(scaled.get())) || Failed(Resample(image, scaled.get()))) return false;

  const bool mosaic = IsMosaic(image);
  ScopedImageBuf rgb;
  const int divisor = mosaic ? 2 : 1;
  if (Failed(AllocBuffer(rgb.get(), size.width() / divisor, size.height() / divisor, 3, 8,
                         eImageDataUInt8)))
    return false;
  const Result converted = mosaic ? DemosaicSimpleToRGB24(scaled.get(), rgb.get())
                                  : ConvertToRGB8(scaled.get(), rgb.get());
  if (Failed(converted)) return false;
  preview = std::move(rgb);
  return true;
}

}  // namespace ur::h5i
