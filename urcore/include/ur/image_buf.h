#pragma once
// The plain records that describe image pixels throughout the system.

#include <ur/urcore_export.h>

#include <cstddef>
#include <cstdint>

namespace ur {

// Sample types; the values are stored in files and metadata, never renumber them.
enum ExImageDataType : int {
  eImageDataUnknown = 0,
  eImageDataInt8 = 1,
  eImageDataUInt8 = 2,
  eImageDataInt16 = 3,
  eImageDataUInt16 = 4,
  eImageDataInt32 = 5,
  eImageDataUInt32 = 6,
  eImageDataFloat = 7,
  eImageDataDouble = 8,
  eImageDataComplexDouble = 9,
  eImageDataInt64 = 10,
  eImageDataUInt64 = 11,
};

// Colours of the top-left 2x2 cell, read row by row. A grid always names the cell at the
// top-left of the picture as seen upright, or of the region being processed.
enum ExBayerGrid : int {
  eBayerBGGR = 0,
  eBayerRGGB = 1,
  eBayerGBRG = 2,
  eBayerGRBG = 3,
  eBayerNone = 4,
  eBayerMosaic = 5,  // a general mosaic; patternWidth x patternHeight give its cell
};

// Describes an image's pixels without holding them.
struct SxImageInfo {
  int width = 0;      // pixels
  int height = 0;     // pixels
  int linePitch = 0;  // bytes between the starts of two rows; 0 = compute when allocating
  int channels = 0;   // 1 grey, 3 colour, 4 raw planes
  int bitDepth = 0;   // significant bits per sample
  ExImageDataType dataType = eImageDataUnknown;
  int planar = 0;  // 0 interleaved, 1 one plane after another, height x linePitch apart
  ExBayerGrid bayerGrid = eBayerNone;
  int packCount = 0;  // pass-through: samples packed per pixel of a mosaic
  int patternWidth = 0;
  int patternHeight = 0;
  int compression = 0;
  int allocator = 0;
};

// An image's pixels and their description. The record does not own data: pixels allocated
// with AllocBuffer are released with FreeBuffer (or held by ScopedImageBuf).
struct SxImageBuf {
  int width = 0;
  int height = 0;
  int linePitch = 0;
  int channels = 0;
  int bitDepth = 0;
  ExImageDataType dataType = eImageDataUnknown;
  int planar = 0;
  ExBayerGrid bayerGrid = eBayerNone;
  unsigned char* data = nullptr;
  int packCount = 0;
  int patternWidth = 0;
  int patternHeight = 0;
  int compression = 0;
  int allocator = 0;
};

// Bytes of one sample of the type; 0 for an unknown type.
URCORE_EXPORT int BytesPerSample(ExImageDataType type);

URCORE_EXPORT SxImageInfo ImageInfo(const SxImageBuf& buf);
// A record described by info, without pixels.
URCORE_EXPORT SxImageBuf ImageBufFromInfo(const SxImageInfo& info);

// The smallest line pitch that holds one row: width x channels x bytes per sample when
// interleaved, width x bytes per sample when planar. 0 when the description is unusable.
URCORE_EXPORT std::int64_t MinLinePitch(const SxImageInfo& info);
URCORE_EXPORT std::int64_t MinLinePitch(const SxImageBuf& buf);

// Bytes the pixels occupy: linePitch x height, times channels when planar. 0 when unusable.
URCORE_EXPORT std::int64_t BufferBytes(const SxImageBuf& buf);

// The most samples (width x height x channels) any reader or buffer holds for one image: far
// more than any camera frame (2 GiB of 16-bit samples), far less than a damaged header can
// claim. Readers refuse larger claims before they allocate.
constexpr std::int64_t kMaxImageSamples = std::int64_t(1) << 30;

// True when width, height and channels are positive and their product is at most
// kMaxImageSamples.
inline bool WithinSampleCeiling(std::int64_t width, std::int64_t height, std::int64_t channels) {
  return width > 0 && height > 0 && channels > 0 && width <= kMaxImageSamples &&
         height <= kMaxImageSamples && width * height <= kMaxImageSamples / channels;
}

// True when the record has pixels and a consistent description: positive sizes and channel
// count, a known data type and a line pitch that holds a row.
URCORE_EXPORT bool HasPixels(const SxImageBuf& buf);

// Address of row y of plane (channel) p. For interleaved buffers pass p = 0.
inline unsigned char* RowPtr(const SxImageBuf& buf, int y, int p = 0) {
  return buf.data + (static_cast<std::size_t>(p) * buf.height + static_cast<std::size_t>(y)) *
                        static_cast<std::size_t>(buf.linePitch);
}

}  // namespace ur
