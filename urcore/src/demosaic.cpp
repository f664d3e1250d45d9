#include <ur/bayer.h>
#include <ur/cancellation_token.h>
#include <ur/channels.h>
#include <ur/demosaic.h>

#include "demosaic_bands.h"
#include "demosaic_checks.h"
#include "sample_dispatch.h"

#include <QDebug>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdint>

namespace ur {

namespace {

// Green sits in the middle of a pixel in both channel orders (B, G, R and R, G, B).
constexpr int kGreen = 1;
constexpr int kColorChannels = 3;

// ---------------------------------------------------------------------------------------------
// Bilinear demosaicing

// What the sites of one mosaic row are. Rows of equal parity look alike, so two plans describe
// the whole region and the inner loops never ask which colour a site has.
struct RowPlan {
  bool greenAtEven;  // the row's even columns (counted from the region's left) are green
  int own;           // physical channel of the row's red or blue
  int other;         // physical channel of the colour on the rows above and below
};

// Three mosaic rows around the output row, each pointing at the region's left column.
template <typename T>
struct Rows {
  const T* up;
  const T* mid;
  const T* down;
  T* out;
};

// A green site: the row's colour from its left and right neighbours, the other colour from the
// sites above and below. xl and xr are the (possibly mirrored) left and right columns.
template <typename T>
inline void GreenSite(const Rows<T>& r, int x, int xl, int xr, const RowPlan& p) {
  const unsigned g = r.mid[x];
  const unsigned own = (unsigned(r.mid[xl]) + r.mid[xr] + 1) >> 1;
  const unsigned other = (unsigned(r.up[x]) + r.down[x] + 1) >> 1;
  T* o = r.out + std::size_t(x) * kColorChannels;
  o[kGreen] = T(g);
  o[p.own] = T(own);
  o[p.other] = T(other);
}

// A red or blue site: green from the four orthogonal neighbours, the other colour from the
// four diagonal ones.
template <typename T>
inline void ColorSite(const Rows<T>& r, int x, int xl, int xr, const RowPlan& p) {
  const unsigned own = r.mid[x];
  const unsigned g = (unsigned(r.mid[xl]) + r.mid[xr] + r.up[x] + r.down[x] + 2) >> 2;
  const unsigned other = (unsigned(r.up[xl]) + r.up[xr] + r.down[xl] + r.down[xr] + 2) >> 2;
  T* o = r.out + std::size_t(x) * kColorChannels;
  o[kGreen] = T(g);
  o[p.own] = T(own);
  o[p.other] = T(other);
}

template <typename T>
inline void AnySite(const Rows<T>& r, int x, int xl, int xr, const RowPlan& p) {
  if (p.greenAtEven == (x % 2 == 0))
    GreenSite(r, x, xl, xr, p);
  else
    ColorSite(r, x, xl, xr, p);
}

// The interior of a row from column x, whose site is red or blue, in pairs of a red or blue site
// and the green site to its right, up to column last. Returns the first column not done. The
// channels are template arguments so that the stores have fixed offsets inside the pair.
template <typename T, int Own>
int BilinearPairs(const Rows<T>& r, int x, int last) {
  constexpr int kOther = 2 - Own;
  const T* __restrict up = r.up;
  const T* __restrict mid = r.mid;
  const T* __restrict down = r.down;
  T* __restrict out = r.out;
  for (; x + 1 <= last; x += 2) {
    const unsigned left = mid[x - 1], own = mid[x], g = mid[x + 1], right = mid[x + 2];
    const unsigned upL = up[x - 1], upC = up[x], upR = up[x + 1];
    const unsigned downL = down[x - 1], downC = down[x], downR = down[x + 1];
    T* o = out + std::size_t(x) * kColorChannels;
    o[Own] = T(own);
    o[kGreen] = T((left + g + upC + downC + 2) >> 2);
    o[kOther] = T((upL + upR + downL + downR + 2) >> 2);
    o[kColorChannels + Own] = T((own + right + 1) >> 1);
    o[kColorChannels + kGreen] = T(g);
    o[kColorChannels + kOther] = T((upR + downR + 1) >> 1);
  }
  return x;
}

// One output row of width w >= 2. The mosaic is mirrored without repeating its edge (column -1
// reads column 1, column w reads w-2), which keeps the colour pattern; the two edge columns are
// done apart so that the interior loop needs no checks.
template <typename T>
void BilinearRow(const Rows<T>& r, int w, const RowPlan& p) {
  AnySite(r, 0, 1, 1, p);
  int x = 1;
  const int last = w - 2;  // last interior column
  if (x <= last && !p.greenAtEven) {
    GreenSite(r, x, x - 1, x + 1, p);
    ++x;
  }
  // From here on even offsets from x are red or blue, odd ones green.
  x = p.own == 0 ? BilinearPairs<T, 0>(r, x, last) : BilinearPairs<T, 2>(r, x, last);
  if (x <= last) ColorSite(r, x, x - 1, x + 1, p);
  AnySite(r, w - 1, w - 2, w - 2, p);
}

template <typename T>
Result BilinearImpl(const SxImageBuf& src, const QRect& region, SxImageBuf& dst,
                    const CxCancellationToken* token) {
  const ExBayerGrid grid = src.bayerGrid;
  const int red = ChannelIndexLogicalToPhysical(eColorRed, dst);
  const int blue = ChannelIndexLogicalToPhysical(eColorBlue, dst);
  RowPlan plans[2];
  for (int py = 0; py < 2; ++py) {
    const bool greenAtEven = ColorAt(grid, 0, py) == eColorGreen;
    const bool redRow = ColorAt(grid, greenAtEven ? 1 : 0, py) == eColorRed;
    plans[py] = RowPlan{greenAtEven, redRow ? red : blue, redRow ? blue : red};
  }

  const int w = region.width();
  const int h = region.height();
  auto mosaicRow = [&](int y) {
    return reinterpret_cast<const T*>(RowPtr(src, region.top() + y)) + region.left();
  };
  auto band = [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      if (token && token->isCancelled()) return false;
      // Row -1 mirrors to row 1 and row h to row h-2, like the columns.
      const int yUp = y > 0 ? y - 1 : 1;
      const int yDown = y < h - 1 ? y + 1 : h - 2;
      const Rows<T> rows{mosaicRow(yUp), mosaicRow(y), mosaicRow(yDown),
                         reinterpret_cast<T*>(RowPtr(dst, y))};
      BilinearRow(rows, w, plans[y & 1]);
    }
    return true;
  };
  return detail::RunInBands(w, h, band) ? rc::Ok : rc::Cancelled;
}

// ---------------------------------------------------------------------------------------------
// One pixel per 2x2 cell

// One row of cells: the four site rows in plane order (red, green, blue, green), the output row
// and the number of cells. Red's channel is a template argument (blue's is the other end) so
// that the stores have fixed offsets. With Scale the samples are shifted right by `shift` and
// saturated to 8 bits (TOut must then be 8-bit).
template <typename TIn, typename TOut, bool Scale, int Red>
void SimpleRow(const TIn* const (&sites)[4], TOut* out, int cells, int shift) {
  constexpr int kBlue = 2 - Red;
  const TIn* __restrict r = sites[ePlaneRed];
  const TIn* __restrict g1 = sites[ePlaneGreenR];
  const TIn* __restrict b = sites[ePlaneBlue];
  const TIn* __restrict g2 = sites[ePlaneGreenB];
  TOut* __restrict o = out;
  auto finish = [shift](unsigned v) {
    if constexpr (Scale)
      return TOut(std::min(v >> shift, 255u));
    else
      return TOut(v);
  };
  for (int cx = 0; cx < cells; ++cx) {
    const std::size_t s = 2 * std::size_t(cx);
    const std::size_t d = std::size_t(cx) * kColorChannels;
    o[d + Red] = finish(r[s]);
    o[d + kGreen] = finish((unsigned(g1[s]) + g2[s] + 1) >> 1);
    o[d + kBlue] = finish(b[s]);
  }
}

// Writes one colour pixel per whole cell of the region (see SimpleRow for Scale and shift).
template <typename TIn, typename TOut, bool Scale>
void SimpleCells(const SxImageBuf& src, const QRect& region, ExBayerGrid grid, SxImageBuf& dst,
                 int shift) {
  int dx[4], dy[4];  // site of each plane inside the cell
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) {
      const ExBayerPlane p = PlaneAt(grid, x, y);
      dx[p] = x;
      dy[p] = y;
    }
  const bool redFirst = ChannelIndexLogicalToPhysical(eColorRed, dst) == 0;

  const int cellsX = region.width() / 2;
  const int cellsY = region.height() / 2;
  auto band = [&](int cy0, int cy1) {
    for (int cy = cy0; cy < cy1; ++cy) {
      const TIn* cellRows[2];
      for (int y = 0; y < 2; ++y)
        cellRows[y] =
            reinterpret_cast<const TIn*>(RowPtr(src, region.top() + 2 * cy + y)) + region.left();
      const TIn* sites[4];
      for (int p = 0; p < 4; ++p) sites[p] = cellRows[dy[p]] + dx[p];
      TOut* out = reinterpret_cast<TOut*>(RowPtr(dst, cy));
      if (redFirst)
        SimpleRow<TIn, TOut, Scale, 0>(sites, out, cellsX, shift);
      else
        SimpleRow<TIn, TOut, Scale, 2>(sites, out, cellsX, shift);
    }
    return true;
  };
  detail::RunInBands(cellsX, cellsY, band);
}

// Right shift that brings samples of the mosaic down to 8 bits. A 16-bit mosaic without a
// usable bit depth is taken to use all 16 bits.
int ShiftTo8Bits(const SxImageBuf& src) {
  if (src.dataType == eImageDataUInt8) return 0;
  const int depth = (src.bitDepth > 0 && src.bitDepth <= 16) ? src.bitDepth : 16;
  return std::max(depth - 8, 0);
}

void MarkColorResult(SxImageBuf& dst, int bitDepth) {
  dst.bitDepth = bitDepth;
  dst.bayerGrid = eBayerNone;
}

}  // namespace

Result Demosaic(const SxImageBuf& src, const QRect& region, SxImageBuf& dst,
                const CxCancellationToken* token) {
  if (!detail::IsUnsignedMosaic(src) || !IsBayer2x2(src.bayerGrid)) return rc::InvalidArg(1);
  if (!detail::IsMosaicRegionInside(region, src.width, src.height)) return rc::InvalidArg(2);
  if (!detail::IsColorTarget(dst, src.dataType, region.width(), region.height()))
    return rc::InvalidArg(3);

  QElapsedTimer timer;
  timer.start();
  Result result = rc::Ok;
  detail::VisitUnsigned8or16(src.dataType, [&](auto tag) {
    result = BilinearImpl<decltype(tag)>(src, region, dst, token);
  });
  if (result == rc::Ok) MarkColorResult(dst, src.bitDepth);
  qDebug().noquote() << QStringLiteral("Demosaic() took %1").arg(timer.elapsed());
  return result;
}

Result DemosaicSimple(const SxImageBuf& src, const QRect& region, SxImageBuf& dst,
                      ExBayerGrid grid) {
  if (!detail::IsUnsignedMosaic(src)) return rc::InvalidArg(1);
  if (!detail::IsMosaicRegionInside(region, src.width, src.height)) return rc::InvalidArg(2);
  if (!detail::IsColorTarget(dst, src.dataType, region.width() / 2, region.height() / 2))
    return rc::InvalidArg(3);
  if (!IsBayer2x2(grid)) return rc::InvalidArg(4);

  detail::VisitUnsigned8or16(src.dataType, [&](auto tag) {
    using T = decltype(tag);
    SimpleCells<T, T, false>(src, region, grid, dst, 0);
  });
  MarkColorResult(dst, src.bitDepth);
  return rc::Ok;
}

Result DemosaicSimpleToRGB24(const SxImageBuf& src, SxImageBuf& dst) {
  if (!detail::IsUnsignedMosaic(src) || !IsBayer2x2(src.bayerGrid) || src.width < 2 ||
      src.height < 2)
    return rc::InvalidArg(1);
  if (!detail::IsColorTarget(dst, eImageDataUInt8, src.width / 2, src.height / 2))
    return rc::InvalidArg(2);

  const QRect whole(0, 0, src.width, src.height);
  if (src.dataType == eImageDataUInt8)
    SimpleCells<std::uint8_t, std::uint8_t, false>(src, whole, src.bayerGrid, dst, 0);
  else
    SimpleCells<std::uint16_t, std::uint8_t, true>(src, whole, src.bayerGrid, dst,
                                                   ShiftTo8Bits(src));
  MarkColorResult(dst, 8);
  return rc::Ok;
}

}  // namespace ur
