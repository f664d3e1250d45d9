#pragma once
// Writing one framework buffer as one TIFF page: how its samples are written (type, depth,
// colour), the page's layout tags and its strips.

#include <ur/image_buf.h>

#include <tiffio.h>

#include <cstdint>

namespace ur::tiff {

struct TiffWritePlan {
  int samples = 1;                               // written SamplesPerPixel: 3 for colour, else 1
  ExImageDataType dataType = eImageDataUnknown;  // written sample type
  int bitDepth = 0;                              // written significant bits
  int shift = 0;                                 // applied to every sample: > 0 left, < 0 right
  bool swapRedBlue = false;  // 8-bit colour is B, G, R in memory, R, G, B in the file
  bool direct = false;       // the buffer is written as it is, in one strip
  std::uint16_t compression = COMPRESSION_NONE;
  std::uint32_t rowsPerStrip = 0;
  std::size_t rowBytes = 0;  // bytes of one written row
};

// Decides how buf is written. keepDeepData is "data16bit", scaleRange "scale_range" and
// compressionOption "compression" (0 LZW, 1 PackBits, else none). False for what cannot be
// written: planar buffers, channel counts other than 1, 3 and 4, colour of other types than
// unsigned 8- and 16-bit, and types other than (un)signed 8-, 16-, 32-bit integers and float.
bool MakeWritePlan(const SxImageBuf& buf, bool keepDeepData, bool scaleRange, int compressionOption,
                   TiffWritePlan& plan);

// Sets the layout tags of the current page: size, samples, bits, sample range, orientation,
// planar configuration, photometric interpretation, compression and rows per strip.
void SetLayoutTags(TIFF* tif, const SxImageBuf& buf, const TiffWritePlan& plan);

// Writes the pixels of buf, top row first, as the plan says. False when libtiff fails to write.
bool WritePagePixels(TIFF* tif, const SxImageBuf& buf, const TiffWritePlan& plan);

}  // namespace ur::tiff
