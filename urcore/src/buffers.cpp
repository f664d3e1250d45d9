#include <ur/buffers.h>

#include <sys/mman.h>

#include <climits>
#include <cstdlib>
#include <cstring>

namespace ur {

namespace {
constexpr std::size_t kAlignment = 64;
// Frame-sized buffers are placed on huge-page boundaries and marked for huge pages: a 24 MB
// frame otherwise costs some 6000 page faults on first touch, which is more than the pixel work
// of a conversion.
constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kHugePageMinBytes = std::size_t(4) << 20;
// Refuse descriptions whose pixels could not sensibly exist (and whose products overflow).
constexpr std::int64_t kMaxBufferBytes = std::int64_t(1) << 40;

std::int64_t PixelBytes(const SxImageBuf& b) {
  return std::int64_t(BytesPerSample(b.dataType)) * (b.planar ? 1 : b.channels);
}

bool SameLayout(const SxImageBuf& a, const SxImageBuf& b) {
  return a.channels == b.channels && a.dataType == b.dataType && (a.planar != 0) == (b.planar != 0);
}

bool RegionInside(const QRect& r, int width, int height) {
  return !r.isEmpty() && r.left() >= 0 && r.top() >= 0 && r.right() < width && r.bottom() < height;
}

int PlaneCount(const SxImageBuf& b) { return b.planar ? b.channels : 1; }

// Copies rows of rowBytes bytes from src (x, y) to dst (to) for every plane.
void CopyRows(const SxImageBuf& src, const QRect& region, SxImageBuf& dst, const QPoint& to) {
  const std::size_t pixelBytes = std::size_t(PixelBytes(src));
  const std::size_t rowBytes = pixelBytes * std::size_t(region.width());
  for (int p = 0; p < PlaneCount(src); ++p) {
    for (int y = 0; y < region.height(); ++y) {
      const unsigned char* s = RowPtr(src, region.top() + y, p) + pixelBytes * region.left();
      unsigned char* d = RowPtr(dst, to.y() + y, p) + pixelBytes * to.x();
      std::memcpy(d, s, rowBytes);
    }
  }
}
}  // namespace

Result AllocBuffer(SxImageBuf& buf, bool clear) {
  buf.data = nullptr;
  const std::int64_t minPitch = MinLinePitch(buf);
  if (minPitch == 0 || buf.height <= 0 || minPitch > INT_MAX ||
      !WithinSampleCeiling(buf.width, buf.height, buf.channels))
    return rc::InvalidArg(1);
  if (buf.linePitch == 0) buf.linePitch = int(minPitch);
  if (buf.linePitch < minPitch) return rc::InvalidArg(1);
  const std::int64_t bytes = BufferBytes(buf);
  if (bytes <= 0 || bytes > kMaxBufferBytes) return rc::InvalidArg(1);

  const bool huge = std::size_t(bytes) >= kHugePageMinBytes;
  const std::size_t alignment = huge ? kHugePage : kAlignment;
  const std::size_t rounded = (std::size_t(bytes) + alignment - 1) / alignment * alignment;
  void* memory = std::aligned_alloc(alignment, rounded);
  if (!memory) return rc::Fail;
  if (huge) madvise(memory, rounded, MADV_HUGEPAGE);  // a hint; failure changes nothing
  if (clear) std::memset(memory, 0, rounded);
  buf.data = static_cast<unsigned char*>(memory);
  return rc::Ok;
}

Result AllocBuffer(SxImageBuf& buf, const SxImageInfo& info, bool clear) {
  buf = ImageBufFromInfo(info);
  return AllocBuffer(buf, clear);
}

Result AllocBuffer(SxImageBuf& buf, int width, int height, int channels, int bitDepth,
                   ExImageDataType dataType, int planar, ExBayerGrid bayerGrid, bool clear) {
  buf = SxImageBuf{};
  buf.width = width;
  buf.height = height;
  buf.channels = channels;
  buf.bitDepth = bitDepth;
  buf.dataType = dataType;
  buf.planar = planar;
  buf.bayerGrid = bayerGrid;
  return AllocBuffer(buf, clear);
}

void FreeBuffer(SxImageBuf& buf) {
  std::free(buf.data);
  buf = SxImageBuf{};
}

Result AllocAndCopyBuffer(const SxImageBuf& src, SxImageBuf& dst) {
  if (!HasPixels(src)) return rc::InvalidArg(1);
  SxImageBuf copy = src;
  copy.linePitch = 0;
  const Result r = AllocBuffer(copy);
  if (Failed(r)) return r;
  CopyRows(src, QRect(0, 0, src.width, src.height), copy, QPoint(0, 0));
  dst = copy;
  return rc::Ok;
}

Result CopyBuffer(const SxImageBuf& src, SxImageBuf& dst) {
  if (!HasPixels(src)) return rc::InvalidArg(1);
  if (!HasPixels(dst) || !SameLayout(src, dst) || dst.width != src.width ||
      dst.height != src.height)
    return rc::InvalidArg(2);
  if (src.linePitch == dst.linePitch && src.linePitch == MinLinePitch(src)) {
    MemCpy(dst.data, src.data, std::size_t(BufferBytes(src)));
    return rc::Ok;
  }
  CopyRows(src, QRect(0, 0, src.width, src.height), dst, QPoint(0, 0));
  return rc::Ok;
}

Result CopyBuffer(const SxImageBuf& src, const QRect& region, SxImageBuf& dst, const QPoint& to,
                  bool copyInfo) {
  if (!HasPixels(src)) return rc::InvalidArg(1);
  if (!RegionInside(region, src.width, src.height)) return rc::InvalidArg(2);
  if (!HasPixels(dst) || !SameLayout(src, dst) ||
      !RegionInside(QRect(to, region.size()), dst.width, dst.height))
    return rc::InvalidArg(3);
  CopyRows(src, region, dst, to);
  if (copyInfo) {
    dst.bitDepth = src.bitDepth;
    dst.bayerGrid = src.bayerGrid;
    dst.packCount = src.packCount;
    dst.patternWidth = src.patternWidth;
    dst.patternHeight = src.patternHeight;
  }
  return rc::Ok;
}

Result ShallowSubImage(const SxImageBuf& src, const QRect& region, SxImageBuf& view) {
  if (!HasPixels(src)) return rc::InvalidArg(1);
  // Planes lie height x pitch apart, so a view of several planes must keep the full height.
  const bool planesSplit = src.planar && src.channels > 1 && region.height() != src.height;
  if (!RegionInside(region, src.width, src.height) || planesSplit) return rc::InvalidArg(2);
  SxImageBuf v = src;
  v.width = region.width();
  v.height = region.height();
  v.data = RowPtr(src, region.top()) + std::size_t(PixelBytes(src)) * region.left();
  view = v;
  return rc::Ok;
}

void MemCpy(void* dst, const void* src, std::size_t bytes) { std::memcpy(dst, src, bytes); }

}  // namespace ur
