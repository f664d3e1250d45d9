#pragma once
// Our own PNG encoder for 8-bit grey and 8-bit colour bitmaps, the pixel types of ZEL images,
// and for 16-bit grey bitmaps, the raw images restored from them.
//
// FreeImage's PNG writer runs zlib through libpng and spends most of a ZEL conversion there;
// one cheap filter and a fast deflate (png_deflate.h) are several times faster for files of
// about the same size. The file holds what FreeImage's writer (plus the text repair of
// image_png_text.h) would store for such a bitmap: IHDR, pHYs, tIME from an Exif "DateTime",
// the comment tags, IDAT, IEND. Bitmaps that need more (a palette, transparency, a background
// colour, an ICC profile, XMP, unusual tags) are left to FreeImage.

#include <FreeImage.h>

#include <QByteArray>

namespace ur::detail {

// True when EncodePng can write dib: an 8-bit bitmap with the grey-ramp palette, a 24-bit
// colour bitmap or a FIT_UINT16 bitmap, and nothing in its metadata that only FreeImage's
// writer stores.
bool CanEncodePng(FIBITMAP* dib);

// Encodes dib (CanEncodePng true) as a PNG into png. level is the deflate level 0..9
// (0 stores, 9 compresses best) or -1 for the fastest compressing mode. Rows are written top row
// first (FreeImage's last scanline), colour as R, G, B. False when memory runs out; png is then
// empty.
bool EncodePng(FIBITMAP* dib, int level, QByteArray& png);

}  // namespace ur::detail
