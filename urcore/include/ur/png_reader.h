#pragma once
// PNG decoding that keeps the stored samples. FreeImage's PNG loader expands 1-, 2- and 4-bit
// grey to 0..255, may apply a gAMA chunk and turns a 16-bit grey image with a transparent key
// colour into RGBA; for data that must come back exactly none of that is acceptable. This
// decoder reads plain 8-bit grey and colour files (ZEL images) itself and everything else with
// libpng, and builds the FreeImage bitmap the rest of the framework expects:
//
// - grey of 1 to 8 bits: an 8-bit grey bitmap holding the stored values 0..2^d - 1, d being
//   reported as the significant bits; grey of 16 bits: a FIT_UINT16 bitmap;
// - a palette whose entries are all grey (and opaque): the 8-bit grey levels of the entries;
// - colour and grey with alpha: B, G, R (, A) 8-bit or R, G, B (, A) 16-bit bitmaps; colour
//   palettes B, G, R, A, or B, G, R where the file has no transparency and the caller asks so;
// - gAMA, sRGB, cHRM, iCCP and sBIT never change a sample, and a tRNS key colour is ignored
//   (it marks a value, it is no alpha channel);
// - text chunks become FIMD_COMMENTS tags (the XMP packet FIMD_XMP "XMLPacket"), tIME the Exif
//   "DateTime", pHYs the resolution and iCCP the ICC profile, as FreeImage stores them.
//
// Rows are stored bottom scanline first, FreeImage's own order.

#include <ur/urcore_export.h>

#include <QByteArray>
#include <QString>

#include <cstddef>

struct FIBITMAP;

namespace ur {

// What a colour palette becomes: always four channels (the format plug-in's images), or three
// unless the file has transparency (CxImage).
enum class ExPngPaletteForm { eAlwaysAlpha, eAlphaWhenTransparent };

// True when the bytes begin with the PNG signature.
URCORE_EXPORT bool IsPngSignature(const unsigned char* data, std::size_t size);

// Decodes a whole PNG held in memory. Null on failure, with the reason in error (never empty
// then). significantBits receives the stored bit depth of a grey image below 8 bits (1, 2 or 4)
// and 0 otherwise. The caller owns the bitmap (FreeImage_Unload).
URCORE_EXPORT FIBITMAP* DecodePng(const unsigned char* data, std::size_t size,
                                  ExPngPaletteForm paletteForm, int& significantBits,
                                  QString& error);

// Reads and decodes a PNG file; the error names no file (the caller does).
URCORE_EXPORT FIBITMAP* LoadPngFile(const QString& path, ExPngPaletteForm paletteForm,
                                    int& significantBits, QString& error);

}  // namespace ur
