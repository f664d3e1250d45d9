#pragma once
// PNG files of any colour type, bit depth and ancillary chunk, written with libpng for tests of
// the readers: the conformance cases (gAMA, sRGB, tRNS, interlacing, 1- to 16-bit grey) are
// made here rather than kept as files.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

namespace zel::testing {

struct PngSpec {
  int width = 0;
  int height = 0;
  int colourType = 0;  // PNG_COLOR_TYPE_* (0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA)
  int bitDepth = 8;
  bool interlaced = false;
  double gamma = 0.0;    // written as gAMA when above 0
  bool sRgb = false;     // an sRGB chunk
  bool chrm = false;     // a cHRM chunk
  bool iccp = false;     // an iCCP chunk with a small profile
  bool sbit = false;     // an sBIT chunk claiming one bit less than the depth
  int transparentKey = -1;  // grey key colour written as tRNS when >= 0
  std::vector<std::uint8_t> palette;       // r, g, b per entry
  std::vector<std::uint8_t> paletteAlpha;  // tRNS of a palette
  std::vector<std::pair<QByteArray, QByteArray>> texts;  // tEXt before the image data
};

// Encodes samples (row by row, the channels of a pixel together; palette indices for colour
// type 3) into PNG bytes. An empty array when libpng refuses the combination asked for.
QByteArray EncodePng(const PngSpec& spec, const std::vector<std::uint16_t>& samples);

// Writes the bytes to path; false when the file cannot be written.
bool WriteBytes(const QString& path, const QByteArray& bytes);

}  // namespace zel::testing
