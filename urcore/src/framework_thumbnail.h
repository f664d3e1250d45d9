#pragma once
// The preview image that loaders offer by default.

#include <ur/image_buf.h>

#include <QSize>

namespace ur::detail {

constexpr int kThumbnailMaxWidth = 400;
constexpr int kThumbnailMaxHeight = 300;

// The largest size of the same aspect that fits into 400 x 300 (at least 1 x 1); a size that
// already fits is kept.
QSize FitThumbnailSize(int width, int height);

// Makes an 8-bit three-channel interleaved preview of src (B, G, R in memory) that fits into
// 400 x 300. A 2x2 Bayer mosaic is scaled cell by cell and demosaiced one pixel per cell; other
// images are scaled and converted (grey images become grey colour images). dst receives newly
// allocated pixels (the caller frees them) and is left untouched on failure.
bool MakeThumbnail(const SxImageBuf& src, SxImageBuf& dst);

}  // namespace ur::detail
