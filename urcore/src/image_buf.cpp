#include <ur/image_buf.h>

namespace ur {

namespace {
// Bytes per sample indexed by ExImageDataType.
constexpr int kBytesPerSample[] = {0, 1, 1, 2, 2, 4, 4, 4, 8, 16, 8, 8};
constexpr int kTypeCount = int(sizeof(kBytesPerSample) / sizeof(kBytesPerSample[0]));

std::int64_t MinPitch(int width, int channels, ExImageDataType type, int planar) {
  const int bps = BytesPerSample(type);
  if (width <= 0 || channels <= 0 || bps == 0) return 0;
  return std::int64_t(width) * bps * (planar ? 1 : channels);
}
}  // namespace

int BytesPerSample(ExImageDataType type) {
  const int t = int(type);
  return (t >= 0 && t < kTypeCount) ? kBytesPerSample[t] : 0;
}

SxImageInfo ImageInfo(const SxImageBuf& b) {
  SxImageInfo i;
  i.width = b.width;
  i.height = b.height;
  i.linePitch = b.linePitch;
  i.channels = b.channels;
  i.bitDepth = b.bitDepth;
  i.dataType = b.dataType;
  i.planar = b.planar;
  i.bayerGrid = b.bayerGrid;
  i.packCount = b.packCount;
  i.patternWidth = b.patternWidth;
  i.patternHeight = b.patternHeight;
  i.compression = b.compression;
  i.allocator = b.allocator;
  return i;
}

SxImageBuf ImageBufFromInfo(const SxImageInfo& i) {
  SxImageBuf b;
  b.width = i.width;
  b.height = i.height;
  b.linePitch = i.linePitch;
  b.channels = i.channels;
  b.bitDepth = i.bitDepth;
  b.dataType = i.dataType;
  b.planar = i.planar;
  b.bayerGrid = i.bayerGrid;
  b.packCount = i.packCount;
  b.patternWidth = i.patternWidth;
  b.patternHeight = i.patternHeight;
  b.compression = i.compression;
  b.allocator = i.allocator;
  return b;
}

std::int64_t MinLinePitch(const SxImageInfo& i) {
  return MinPitch(i.width, i.channels, i.dataType, i.planar);
}

std::int64_t MinLinePitch(const SxImageBuf& b) {
  return MinPitch(b.width, b.channels, b.dataType, b.planar);
}

std::int64_t BufferBytes(const SxImageBuf& b) {
  const std::int64_t minPitch = MinLinePitch(b);
  if (minPitch == 0 || b.height <= 0 || b.linePitch < minPitch) return 0;
  return std::int64_t(b.linePitch) * b.height * (b.planar ? b.channels : 1);
}

bool HasPixels(const SxImageBuf& b) { return b.data != nullptr && BufferBytes(b) > 0; }

}  // namespace ur
