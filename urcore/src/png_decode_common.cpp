#include "png_decode_common.h"

#include <cstdio>
#include <cstring>

namespace ur::detail {
namespace {

// Deflate expands at most about 1032:1; small files get some room.
constexpr std::uint64_t kMaxInflateRatio = 1040;
constexpr std::uint64_t kInflateSlack = std::uint64_t(1) << 20;
constexpr int kPaletteEntries = 256;
constexpr int kGreyBits = 8;
const char kXmpKeyword[] = "XML:com.adobe.xmp";
const char kXmpTagKey[] = "XMLPacket";

// An ASCII tag as FreeImage's own PNG loader makes it: count and length the text's bytes.
void SetAsciiTag(FIBITMAP* dib, FREE_IMAGE_MDMODEL model, const char* key, const char* text) {
  FITAG* tag = FreeImage_CreateTag();
  if (!tag) return;
  const DWORD length = DWORD(std::strlen(text));
  if (FreeImage_SetTagKey(tag, key) && FreeImage_SetTagType(tag, FIDT_ASCII) &&
      FreeImage_SetTagLength(tag, length) && FreeImage_SetTagCount(tag, length) &&
      FreeImage_SetTagValue(tag, text))
    FreeImage_SetMetadata(model, dib, key, tag);
  FreeImage_DeleteTag(tag);
}

}  // namespace

bool ClaimsMoreThanFileHolds(std::uint64_t storedBytes, std::size_t fileSize) {
  return storedBytes > kMaxInflateRatio * fileSize + kInflateSlack;
}

bool FindChunkPastEnd(const unsigned char* data, std::size_t size, char name[5]) {
  constexpr std::size_t kSignature = 8;
  constexpr std::size_t kFrame = 12;  // length, type and CRC around the chunk's data
  std::size_t at = kSignature;
  while (at + kFrame <= size) {
    const std::uint64_t length = std::uint64_t(data[at]) << 24 | std::uint64_t(data[at + 1]) << 16 |
                                 std::uint64_t(data[at + 2]) << 8 | data[at + 3];
    std::memcpy(name, data + at + 4, 4);
    name[4] = '\0';
    if (length > size - at - kFrame) return true;
    if (std::memcmp(name, "IEND", 4) == 0) return false;
    at += kFrame + std::size_t(length);
  }
  return false;
}

FIBITMAP* AllocatePngBitmap(FREE_IMAGE_TYPE type, std::uint32_t width, std::uint32_t height,
                            int bpp) {
  if (type == FIT_BITMAP && bpp == 32)
    return FreeImage_AllocateT(type, int(width), int(height), bpp, FI_RGBA_RED_MASK,
                               FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
  FIBITMAP* dib = FreeImage_AllocateT(type, int(width), int(height), bpp);
  if (dib && type == FIT_BITMAP && bpp == kGreyBits) {
    RGBQUAD* palette = FreeImage_GetPalette(dib);
    for (int i = 0; i < kPaletteEntries; ++i) {
      palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = BYTE(i);
      palette[i].rgbReserved = 0;
    }
  }
  return dib;
}

void SetPngTextTag(FIBITMAP* dib, const char* keyword, const char* text) {
  if (std::strcmp(keyword, kXmpKeyword) == 0)
    SetAsciiTag(dib, FIMD_XMP, kXmpTagKey, text);
  else
    SetAsciiTag(dib, FIMD_COMMENTS, keyword, text);
}

void SetPngTimeTag(FIBITMAP* dib, unsigned year, unsigned month, unsigned day, unsigned hour,
                   unsigned minute, unsigned second) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u:%02u:%02u %02u:%02u:%02u", year, month, day, hour,
                minute, second);
  SetAsciiTag(dib, FIMD_EXIF_MAIN, "DateTime", text);
}

}  // namespace ur::detail
