#pragma once
// What both PNG decoders (libpng's, png_reader.cpp, and the direct one for plain 8-bit files,
// png_direct_reader.h) share: the limits on what a file may claim, and the bitmap and tags they
// build.

#include <FreeImage.h>

#include <cstddef>
#include <cstdint>

namespace ur::detail {

// Widths and heights beyond 2^20 pixels are refused.
constexpr std::uint32_t kMaxPngSide = std::uint32_t(1) << 20;
// Ceiling for one decoded bitmap, whatever the file claims: 8 GiB.
constexpr std::uint64_t kMaxDecodedBytes = std::uint64_t(8) << 30;
// Largest ancillary chunk (text, ICC profile) kept in memory, decompressed: 64 MiB holds any
// ZEL record.
constexpr std::size_t kMaxPngChunkBytes = std::size_t(64) << 20;

// True when a header that claims storedBytes of filtered image data (filter bytes included)
// asks for more than a file of fileSize bytes could inflate to: the file is damaged or hostile,
// and is refused before its pixels are allocated.
bool ClaimsMoreThanFileHolds(std::uint64_t storedBytes, std::size_t fileSize);

// The first chunk whose declared length runs past the end of the file (its four-letter type
// in name), or false when every chunk up to IEND, or to the end, lies inside. libpng allocates
// some chunks at their declared length before it reads them.
bool FindChunkPastEnd(const unsigned char* data, std::size_t size, char name[5]);

// A bitmap of the type; 32-bit ones with FreeImage's channel masks, 8-bit ones with the grey
// ramp as palette. Null when memory runs out.
FIBITMAP* AllocatePngBitmap(FREE_IMAGE_TYPE type, std::uint32_t width, std::uint32_t height,
                            int bpp);

// Stores a text chunk as FreeImage's own PNG loader does: the XMP packet as FIMD_XMP
// "XMLPacket", any other keyword as a FIMD_COMMENTS tag.
void SetPngTextTag(FIBITMAP* dib, const char* keyword, const char* text);

// Stores a tIME chunk's (valid) time as the Exif "DateTime".
void SetPngTimeTag(FIBITMAP* dib, unsigned year, unsigned month, unsigned day, unsigned hour,
                   unsigned minute, unsigned second);

}  // namespace ur::detail
