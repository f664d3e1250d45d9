// The framework's own PNG decoder on bytes in memory: plain 8-bit files (ZEL images) take the
// direct path, all others libpng's.
#include "fuzz_support.h"

#include <ur/png_reader.h>

#include <FreeImage.h>

#include <QString>

int ZelFuzzOne(const std::uint8_t* data, std::size_t size) {
  int significantBits = 0;
  QString error;
  FIBITMAP* bitmap =
      ur::DecodePng(data, size, ur::ExPngPaletteForm::eAlwaysAlpha, significantBits, error);
  if (!bitmap) return 0;
  FreeImage_Unload(bitmap);
  return 1;
}
