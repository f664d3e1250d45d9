#pragma once
// Private kernels of Resample: area averaging when reducing, nearest pixel when enlarging,
// over plain images and over the four sites of a 2x2 mosaic cell.

#include <ur/image_buf.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

namespace ur::detail {

// A grid of pixels of `samples` samples each inside a buffer: a plane, an interleaved image, or
// one site of every 2x2 mosaic cell (pixels two samples and rows two lines apart).
struct PixelGrid {
  unsigned char* base = nullptr;
  int width = 0;
  int height = 0;
  std::size_t rowStride = 0;  // bytes
  int pixelStride = 1;        // samples
  int samples = 1;
};

// The source pixels [start, start + count) that destination pixel i covers along one axis:
// all those its area covers when reducing, the one under its centre when enlarging.
struct Span {
  int start;
  int count;
};

inline std::vector<Span> Spans(int srcSize, int dstSize) {
  std::vector<Span> spans(static_cast<std::size_t>(dstSize));
  const std::int64_t s = srcSize;
  const std::int64_t d = dstSize;
  for (std::int64_t i = 0; i < d; ++i) {
    if (s > d) {
      const std::int64_t first = i * s / d;
      spans[i] = {int(first), int((i + 1) * s / d - first)};
    } else {
      spans[i] = {int((2 * i + 1) * s / (2 * d)), 1};
    }
  }
  return spans;
}

// Sums of T: exact 64-bit integers for samples up to 32 bits, double otherwise.
template <typename T>
using SumOf = std::conditional_t<std::is_floating_point_v<T> || sizeof(T) == 8, double,
                                 std::conditional_t<std::is_signed_v<T>, std::int64_t,
                                                    std::uint64_t>>;

// The mean of n samples whose sum is sum, rounded to the nearest integer for integer samples.
template <typename T>
T Mean(SumOf<T> sum, std::int64_t n) {
  if constexpr (std::is_floating_point_v<T>) {
    return T(sum / double(n));
  } else if constexpr (std::is_floating_point_v<SumOf<T>>) {
    return T(std::round(sum / double(n)));
  } else if constexpr (std::is_signed_v<T>) {
    const std::int64_t half = n / 2;
    return T(sum >= 0 ? (sum + half) / n : -((-sum + half) / n));
  } else {
    return T((sum + std::uint64_t(n) / 2) / std::uint64_t(n));
  }
}

template <typename T>
void ResampleGrid(const PixelGrid& src, const PixelGrid& dst, std::vector<SumOf<T>>& columnSums) {
  const std::vector<Span> xs = Spans(src.width, dst.width);
  const std::vector<Span> ys = Spans(src.height, dst.height);
  const int n = src.samples;
  columnSums.assign(std::size_t(src.width) * n, SumOf<T>(0));
  for (int j = 0; j < dst.height; ++j) {
    // Sum the covered source rows column by column, then each destination pixel's columns.
    std::fill(columnSums.begin(), columnSums.end(), SumOf<T>(0));
    for (int r = ys[j].start; r < ys[j].start + ys[j].count; ++r) {
      const T* s = reinterpret_cast<const T*>(src.base + std::size_t(r) * src.rowStride);
      for (int x = 0; x < src.width; ++x)
        for (int k = 0; k < n; ++k)
          columnSums[std::size_t(x) * n + k] += s[std::size_t(x) * src.pixelStride + k];
    }
    T* d = reinterpret_cast<T*>(dst.base + std::size_t(j) * dst.rowStride);
    for (int i = 0; i < dst.width; ++i) {
      const std::int64_t count = std::int64_t(xs[i].count) * ys[j].count;
      for (int k = 0; k < n; ++k) {
        SumOf<T> sum = 0;
        for (int x = xs[i].start; x < xs[i].start + xs[i].count; ++x)
          sum += columnSums[std::size_t(x) * n + k];
        d[std::size_t(i) * dst.pixelStride + k] = Mean<T>(sum, count);
      }
    }
  }
}

// Each plane, or the interleaved image, as one grid.
template <typename T>
void ResampleImage(const SxImageBuf& src, SxImageBuf& dst) {
  std::vector<SumOf<T>> columnSums;
  const int planes = src.planar ? src.channels : 1;
  const int samples = src.planar ? 1 : src.channels;
  for (int p = 0; p < planes; ++p) {
    const PixelGrid s{RowPtr(src, 0, p), src.width, src.height, std::size_t(src.linePitch),
                      samples, samples};
    const PixelGrid d{RowPtr(dst, 0, p), dst.width, dst.height, std::size_t(dst.linePitch),
                      samples, samples};
    ResampleGrid<T>(s, d, columnSums);
  }
}

// Samples of one site in a row of n samples whose cells start at 0: site 0 takes an odd last one.
inline int SiteCount(int n, int site) { return (n - site + 1) / 2; }

// Each of the four sites of a 2x2 cell as one grid, so every destination site takes only
// samples of its own colour. src must be at least 2x2 so that every site has samples.
template <typename T>
void ResampleMosaic(const SxImageBuf& src, SxImageBuf& dst) {
  std::vector<SumOf<T>> columnSums;
  for (int sy = 0; sy < 2 && sy < dst.height; ++sy) {
    for (int sx = 0; sx < 2 && sx < dst.width; ++sx) {
      const PixelGrid s{RowPtr(src, sy) + sx * sizeof(T), SiteCount(src.width, sx),
                        SiteCount(src.height, sy), 2 * std::size_t(src.linePitch), 2, 1};
      const PixelGrid d{RowPtr(dst, sy) + sx * sizeof(T), SiteCount(dst.width, sx),
                        SiteCount(dst.height, sy), 2 * std::size_t(dst.linePitch), 2, 1};
      ResampleGrid<T>(s, d, columnSums);
    }
  }
}

}  // namespace ur::detail
