#pragma once
// The preview an HDF5 image file carries: at most 400 x 300, 8-bit colour, made when the file
// is saved, and only for images larger than it.

#include <ur/buffers.h>
#include <ur/image_buf.h>

#include <QSize>

namespace ur::h5i {

// The size the image is resampled to before it becomes the preview: the largest of the image's
// aspect within 400 x 300, for a Bayer mosaic twice an even preview size (demosaicing halves
// it again). Empty when the image is no larger than the preview would be.
QSize ThumbnailSourceSize(const SxImageBuf& image);

// The 8-bit three-channel preview of image (B, G, R in memory) allocated into preview; false
// when the image needs no preview or one cannot be made.
bool MakeThumbnail(const SxImageBuf& image, ScopedImageBuf& preview);

}  // namespace ur::h5i
