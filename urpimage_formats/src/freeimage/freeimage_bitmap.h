#pragma once
// Pixel transfer between FreeImage bitmaps and the framework's image buffers.
//
// Rows: a bitmap keeps its bottom scanline first, the framework's buffers their top row first,
// so buffer row i is bitmap scanline height - 1 - i in both directions.
// Channels: FreeImage's own order is already the framework's (8-bit colour B, G, R (, A) on a
// little-endian machine, 16-bit and floating colour R, G, B (, A)), so samples are copied as
// they are.

#include "freeimage/freeimage_formats.h"

#include <ur/image_buf.h>
#include <ur/result.h>

namespace ur::freeimage {

// Converts a loaded bitmap into a newly allocated top-down buffer: palettes of grey entries give one 8-bit channel of those grey levels, other
// palettes are expanded to 32 bits per pixel; unsigned 16-bit images get the bit depth of
// their largest sample. On failure logs the reason and returns rc::Fail, rc::Unsupported or
// kOutOfMemory; out is then left without pixels. The caller frees out with FreeBuffer.
Result BitmapToBuffer(FIBITMAP* bitmap, SxImageBuf& out);

// A new bitmap of the type and bits per pixel holding buf's pixels, rows turned upside down.
// buf must be interleaved and its samples must match the type (see BitmapTypeOf). Logs
// "Cannot allocated FIBITMAP." and returns null when FreeImage cannot allocate it.
BitmapPtr BufferToBitmap(const SxImageBuf& buf, FREE_IMAGE_TYPE type, int bitsPerPixel);

}  // namespace ur::freeimage
