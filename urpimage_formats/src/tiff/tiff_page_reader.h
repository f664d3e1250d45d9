#pragma once
// Reading the pixels of one TIFF directory (page) into a top-down framework buffer.
//
// Layouts read: strips or tiles; PlanarConfiguration 1 (interleaved) or 2 (separate planes);
// every compression the installed libtiff decodes; unsigned samples of 1 to 16 or 32 bits,
// signed samples of 8, 16 or 32 bits and 32-bit floats. Samples that are not 8, 16 or 32 bits
// wide (a 12-bit scan, a 1-bit mask) are unpacked into the next larger unsigned type (8 or 16
// bits) with their values kept.
//
// Colour models: grey (MinIsWhite is inverted so that 0 is black) and RGB keep their samples.
// Palette pages become 8-bit: one grey channel when every palette entry is grey, otherwise
// three channels expanded from the palette. YCbCr, CMYK, CIE L*a*b* and old-style JPEG pages
// are converted by libtiff's RGBA reader into 8-bit RGB.
//
// The result follows the framework's conventions: row 0 is the top row (Orientation 2 to 4 are
// turned upright; 5 to 8, which swap the axes, are read as stored), and 8-bit colour pixels
// hold B, G, R (, A) while deeper colour pixels hold R, G, B (, A).

#include <ur/image_buf.h>

#include <tiffio.h>

#include <cstdint>
#include <vector>

namespace ur::tiff {

// What one directory holds and how it is turned into a buffer.
struct TiffPageLayout {
  // As stored.
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t samples = 1;  // SamplesPerPixel
  std::uint16_t bits = 0;     // BitsPerSample
  std::uint16_t sampleFormat = SAMPLEFORMAT_UINT;
  std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
  std::uint16_t planarConfig = PLANARCONFIG_CONTIG;
  std::uint16_t orientation = ORIENTATION_TOPLEFT;
  std::uint16_t maxSampleValue = 0;  // 0 when the tag is absent
  std::int64_t scanlineSize = 0;
  bool tiled = false;

  // As read.
  enum class Method { Samples, Palette, Rgba };
  Method method = Method::Samples;
  int channels = 0;
  ExImageDataType dataType = eImageDataUnknown;
  int bitDepth = 0;                   // significant bits by BitsPerSample and MaxSampleValue
  bool invert = false;                // MinIsWhite
  std::vector<std::uint8_t> palette;  // Palette: B, G, R per entry (8-bit)
};

// Reads the description of libtiff's current directory. False when the page cannot be read
// into a framework buffer (no size, empty scanline, an unsupported sample format or width, a
// codec this libtiff lacks); nothing is logged then.
bool ReadPageLayout(TIFF* tif, TiffPageLayout& layout);

// True when two pages give frames of one sequence: the same width, height, SamplesPerPixel,
// BitsPerSample and scanline size, and the same buffer description.
bool IsSameFrameShape(const TiffPageLayout& a, const TiffPageLayout& b);

// Describes buf (without pixels) as the layout reads: width x height, the channels, data type
// and declared bit depth, interleaved. False when the size does not fit the framework's record.
bool DescribeBuffer(const TiffPageLayout& layout, SxImageBuf& buf);

// Reads the pixels of the current directory into buf, which DescribeBuffer described and
// AllocBuffer allocated. False on a decoding error (truncated or damaged data).
bool ReadPagePixels(TIFF* tif, const TiffPageLayout& layout, SxImageBuf& buf);

}  // namespace ur::tiff
