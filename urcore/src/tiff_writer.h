#pragma once
// Our own TIFF encoder for 16-bit grey bitmaps, the raw images restored from ZEL images.
//
// FreeImage's TIFF writer compresses with LZW, which took most of the time of restoring a ZEL
// image. These files are stored uncompressed in strips, as every TIFF reader reads them:
// ImageWidth, ImageLength, 16 bits per sample, one sample per pixel, BlackIsZero, the
// resolution in dots per inch and an unsigned sample format. Bitmaps that carry more (metadata,
// an ICC profile) are left to FreeImage.

#include <FreeImage.h>

#include <QByteArray>

namespace ur::detail {

// True when EncodeTiff16 can write dib: a FIT_UINT16 bitmap without metadata or ICC profile.
bool CanEncodeTiff16(FIBITMAP* dib);

// Encodes dib (CanEncodeTiff16 true) as a TIFF into tiff, top row (FreeImage's last scanline)
// first. False when memory runs out or the image exceeds what a QByteArray holds; tiff is then
// empty.
bool EncodeTiff16(FIBITMAP* dib, QByteArray& tiff);

}  // namespace ur::detail
