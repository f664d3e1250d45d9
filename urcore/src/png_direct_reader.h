#pragma once
// Decoding of plain 8-bit grey and colour PNGs (the files ZEL images are) without libpng.
//
// libpng inflates with zlib and unfilters byte by byte; reading a ZEL image that way took
// several times as long as writing it. This decoder inflates the whole image data at once with
// libdeflate and unfilters straight into the bitmap. It takes only files whose every part it
// reads as png_reader.h describes: not interlaced, chunks with valid CRCs and names, IHDR
// first, consecutive IDATs holding exactly the image, text in tEXt or uncompressed iTXt chunks,
// no palette, no ICC profile. Anything else (including every damaged file) is left to libpng,
// which gives the same bitmap or the reason for refusing the file.

#include <FreeImage.h>

#include <cstddef>

namespace ur::detail {

// The bitmap png_reader.h describes for the file, or null when the file is not one this decoder
// takes (the caller then decodes it with libpng). The caller owns the bitmap.
FIBITMAP* DecodePlainPng8(const unsigned char* data, std::size_t size);

}  // namespace ur::detail
