#include <ur/geometry.h>

#include <ur/bayer.h>
#include <ur/buffers.h>

#include "geometry_resample.h"
#include "sample_dispatch.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace ur {

namespace {

// Square tiles keep both the rows read and the rows written of a transposition in cache.
constexpr int kTransposeTile = 32;

// A 16-byte sample (complex double) moved as a whole.
struct Sample16 {
  std::uint64_t lo;
  std::uint64_t hi;
};

// Moving samples needs only their size: calls f with an unsigned type of that size.
template <typename F>
bool VisitBySampleSize(ExImageDataType type, F&& f) {
  switch (BytesPerSample(type)) {
    case 1: f(std::uint8_t{}); return true;
    case 2: f(std::uint16_t{}); return true;
    case 4: f(std::uint32_t{}); return true;
    case 8: f(std::uint64_t{}); return true;
    case 16: f(Sample16{}); return true;
    default: return false;
  }
}

bool MovableSampleSize(ExImageDataType type) {
  return VisitBySampleSize(type, [](auto) {});
}

int PlaneCount(const SxImageBuf& b) { return b.planar ? b.channels : 1; }
int SamplesPerPixel(const SxImageBuf& b) { return b.planar ? 1 : b.channels; }

// One channel is stored alike whether it is called planar or not.
bool SameLayout(const SxImageBuf& a, const SxImageBuf& b) {
  return a.channels == b.channels && a.dataType == b.dataType &&
         (a.channels == 1 || (a.planar != 0) == (b.planar != 0));
}

// kSpp > 0 fixes the samples per pixel at compile time; 0 takes them from spp.
template <typename T, int kSpp>
void TransposePlane(const unsigned char* srcBase, std::size_t srcPitch, int srcWidth, int srcHeight,
                    unsigned char* dstBase, std::size_t dstPitch, int spp) {
  const int n = kSpp > 0 ? kSpp : spp;
  for (int by = 0; by < srcHeight; by += kTransposeTile) {
    const int yEnd = std::min(by + kTransposeTile, srcHeight);
    for (int bx = 0; bx < srcWidth; bx += kTransposeTile) {
      const int xEnd = std::min(bx + kTransposeTile, srcWidth);
      for (int y = by; y < yEnd; ++y) {
        const T* s = reinterpret_cast<const T*>(srcBase + std::size_t(y) * srcPitch);
        for (int x = bx; x < xEnd; ++x) {
          T* d = reinterpret_cast<T*>(dstBase + std::size_t(x) * dstPitch) + std::size_t(y) * n;
          for (int k = 0; k < n; ++k) d[k] = s[std::size_t(x) * n + k];
        }
      }
    }
  }
}

template <typename T>
void TransposeImpl(const SxImageBuf& src, SxImageBuf& dst) {
  const int spp = SamplesPerPixel(src);
  for (int p = 0; p < PlaneCount(src); ++p) {
    const unsigned char* s = RowPtr(src, 0, p);
    unsigned char* d = RowPtr(dst, 0, p);
    if (spp == 1)
      TransposePlane<T, 1>(s, src.linePitch, src.width, src.height, d, dst.linePitch, 1);
    else
      TransposePlane<T, 0>(s, src.linePitch, src.width, src.height, d, dst.linePitch, spp);
  }
}

// Index inside 0..n-1 of position i mirrored at both ends without repeating the edge,
// back and forth as often as needed: for n = 3, i = -1, -2, -3, -4 give 1, 2, 1, 0.
int Mirror(int i, int n) {
  if (n == 1) return 0;
  const int period = 2 * (n - 1);
  const int j = std::abs(i) % period;
  return j < n ? j : period - j;
}

// Source column of every margin column, worked out once for all rows and planes.
struct MarginColumns {
  std::vector<int> left;
  std::vector<int> right;

  MarginColumns() = default;
  MarginColumns(int width, int leftMargin, int rightMargin)
      : left(std::size_t(leftMargin)), right(std::size_t(rightMargin)) {
    for (int x = 0; x < leftMargin; ++x) left[x] = Mirror(x - leftMargin, width);
    for (int x = 0; x < rightMargin; ++x) right[x] = Mirror(width + x, width);
  }
};

template <typename T>
void FillMirroredImpl(const SxImageBuf& src, SxImageBuf& dst, const MarginColumns& cols, int top) {
  const int spp = SamplesPerPixel(src);
  const int left = int(cols.left.size());
  const int right = int(cols.right.size());
  const std::vector<int>& leftCols = cols.left;
  const std::vector<int>& rightCols = cols.right;
  const std::size_t rowBytes = std::size_t(src.width) * spp * sizeof(T);
  for (int p = 0; p < PlaneCount(src); ++p) {
    for (int y = 0; y < dst.height; ++y) {
      const T* s = reinterpret_cast<const T*>(RowPtr(src, Mirror(y - top, src.height), p));
      T* d = reinterpret_cast<T*>(RowPtr(dst, y, p));
      for (int x = 0; x < left; ++x)
        for (int k = 0; k < spp; ++k)
          d[std::size_t(x) * spp + k] = s[std::size_t(leftCols[x]) * spp + k];
      std::memcpy(d + std::size_t(left) * spp, s, rowBytes);
      T* dRight = d + std::size_t(left + src.width) * spp;
      for (int x = 0; x < right; ++x)
        for (int k = 0; k < spp; ++k)
          dRight[std::size_t(x) * spp + k] = s[std::size_t(rightCols[x]) * spp + k];
    }
  }
}

}  // namespace

Result ReverseRowOrder(SxImageBuf& buf) {
  if (!HasPixels(buf)) return rc::InvalidArg(1);
  // Only the pixels of a row move; the padding at its end stays where it is.
  const std::size_t rowBytes = std::size_t(MinLinePitch(buf));
  for (int p = 0; p < PlaneCount(buf); ++p) {
    for (int top = 0, bottom = buf.height - 1; top < bottom; ++top, --bottom) {
      unsigned char* a = RowPtr(buf, top, p);
      std::swap_ranges(a, a + rowBytes, RowPtr(buf, bottom, p));
    }
  }
  return rc::Ok;
}

Result Transpose(const SxImageBuf& src, SxImageBuf& dst) {
  if (!HasPixels(src) || !MovableSampleSize(src.dataType)) return rc::InvalidArg(1);
  if (!HasPixels(dst) || !SameLayout(src, dst) || dst.width != src.height ||
      dst.height != src.width)
    return rc::InvalidArg(2);
  VisitBySampleSize(src.dataType, [&](auto tag) { TransposeImpl<decltype(tag)>(src, dst); });
  return rc::Ok;
}

Result Resample(const SxImageBuf& src, SxImageBuf& dst) {
  const bool realSamples = detail::VisitReal(src.dataType, [](auto) {});
  if (!HasPixels(src) || !realSamples) return rc::InvalidArg(1);
  if (!HasPixels(dst) || !SameLayout(src, dst)) return rc::InvalidArg(2);
  const bool mosaic = src.channels == 1 && IsBayer2x2(src.bayerGrid);
  if (mosaic && (src.width < 2 || src.height < 2)) return rc::InvalidArg(1);
  try {
    detail::VisitReal(src.dataType, [&](auto tag) {
      using T = decltype(tag);
      if (mosaic)
        detail::ResampleMosaic<T>(src, dst);
      else
        detail::ResampleImage<T>(src, dst);
    });
    return rc::Ok;
  } catch (const std::bad_alloc&) {  // the span tables and row sums, made before any write
    return rc::Fail;
  }
}

Result AllocAndCreateMirroredBorderImage(const SxImageBuf& src, SxImageBuf& dst, int left, int top,
                                         int right, int bottom) {
  if (!HasPixels(src) || !MovableSampleSize(src.dataType)) return rc::InvalidArg(1);
  const int margins[4] = {left, top, right, bottom};
  for (int i = 0; i < 4; ++i)
    if (margins[i] < 0) return rc::InvalidArg(3 + i);
  const std::int64_t width = std::int64_t(src.width) + left + right;
  const std::int64_t height = std::int64_t(src.height) + top + bottom;
  if (width > INT_MAX || height > INT_MAX) return rc::Fail;

  if (dst.data && (!HasPixels(dst) || !SameLayout(src, dst) || dst.width != width ||
                   dst.height != height))
    return rc::InvalidArg(2);

  MarginColumns cols;
  try {
    cols = MarginColumns(src.width, left, right);
  } catch (const std::bad_alloc&) {
    return rc::Fail;
  }
  SxImageBuf target = dst;
  if (!dst.data) {
    // A new image described like src; its grid names the colours of its own top-left cell.
    target = src;
    target.data = nullptr;
    target.width = int(width);
    target.height = int(height);
    target.linePitch = 0;
    target.bayerGrid = ShiftBayerGrid(src.bayerGrid, left, top);
    if (Failed(AllocBuffer(target))) return rc::Fail;
  }
  VisitBySampleSize(src.dataType, [&](auto tag) {
    FillMirroredImpl<decltype(tag)>(src, target, cols, top);
  });
  dst = target;
  return rc::Ok;
}

}  // namespace ur
