#include <ur/bayer.h>
#include <ur/raw_planar.h>

#include "demosaic_checks.h"

#include <cstdint>

namespace ur {

namespace {

// The rows of one cell row of the mosaic and the plane rows its sites belong to, so that the
// inner loops copy by position without asking which colour a site has.
template <typename T>
struct CellRowPlanes {
  T* plane[2][2];  // [row of the cell][column of the cell] -> row of that site's plane
};

template <typename T>
CellRowPlanes<T> PlaneRows(const SxImageBuf& planar, ExBayerGrid grid, int cellRow) {
  CellRowPlanes<T> p{};
  for (int dy = 0; dy < 2; ++dy)
    for (int dx = 0; dx < 2; ++dx)
      p.plane[dy][dx] = reinterpret_cast<T*>(RowPtr(planar, cellRow, PlaneAt(grid, dx, dy)));
  return p;
}

template <typename T>
void SplitCells(const SxImageBuf& mosaic, const QRect& region, ExBayerGrid grid,
                const SxImageBuf& planar) {
  const int cellsX = region.width() / 2;
  const int cellsY = region.height() / 2;
  for (int cy = 0; cy < cellsY; ++cy) {
    const CellRowPlanes<T> p = PlaneRows<T>(planar, grid, cy);
    for (int dy = 0; dy < 2; ++dy) {
      const T* src =
          reinterpret_cast<const T*>(RowPtr(mosaic, region.top() + 2 * cy + dy)) + region.left();
      T* even = p.plane[dy][0];
      T* odd = p.plane[dy][1];
      for (int cx = 0; cx < cellsX; ++cx) {
        even[cx] = src[2 * cx];
        odd[cx] = src[2 * cx + 1];
      }
    }
  }
}

template <typename T>
void JoinCells(const SxImageBuf& planar, ExBayerGrid grid, const SxImageBuf& mosaic) {
  for (int cy = 0; cy < planar.height; ++cy) {
    const CellRowPlanes<T> p = PlaneRows<T>(planar, grid, cy);
    for (int dy = 0; dy < 2; ++dy) {
      T* dst = reinterpret_cast<T*>(RowPtr(mosaic, 2 * cy + dy));
      const T* even = p.plane[dy][0];
      const T* odd = p.plane[dy][1];
      for (int cx = 0; cx < planar.width; ++cx) {
        dst[2 * cx] = even[cx];
        dst[2 * cx + 1] = odd[cx];
      }
    }
  }
}

bool IsPlanarRaw(const SxImageBuf& b) {
  const int bps = BytesPerSample(b.dataType);
  return HasPixels(b) && b.channels == 4 && b.planar == 1 && (bps == 1 || bps == 2);
}

}  // namespace

Result ConvertRawToPlanarRaw(const SxImageBuf& mosaic, const QRect& region, ExBayerGrid grid,
                             SxImageBuf& planar) {
  if (!detail::IsMosaicOfSmallSamples(mosaic)) return rc::InvalidArg(1);
  if (!detail::IsMosaicRegionInside(region, mosaic.width, mosaic.height)) return rc::InvalidArg(2);
  if (!IsBayer2x2(grid)) return rc::InvalidArg(3);
  if (!IsPlanarRaw(planar) || planar.dataType != mosaic.dataType ||
      planar.width < region.width() / 2 || planar.height < region.height() / 2)
    return rc::InvalidArg(4);

  // Samples are only moved, never computed, so the signedness of the type does not matter.
  if (BytesPerSample(mosaic.dataType) == 1)
    SplitCells<std::uint8_t>(mosaic, region, grid, planar);
  else
    SplitCells<std::uint16_t>(mosaic, region, grid, planar);
  planar.bitDepth = mosaic.bitDepth;
  planar.bayerGrid = grid;
  return rc::Ok;
}

Result ConvertPlanarRawToRaw(const SxImageBuf& planar, SxImageBuf& mosaic, ExBayerGrid grid) {
  if (!IsPlanarRaw(planar)) return rc::InvalidArg(1);
  if (!detail::IsMosaicOfSmallSamples(mosaic) || mosaic.dataType != planar.dataType ||
      std::int64_t(mosaic.width) < 2 * std::int64_t(planar.width) ||
      std::int64_t(mosaic.height) < 2 * std::int64_t(planar.height))
    return rc::InvalidArg(2);
  if (!IsBayer2x2(grid)) return rc::InvalidArg(3);

  if (BytesPerSample(planar.dataType) == 1)
    JoinCells<std::uint8_t>(planar, grid, mosaic);
  else
    JoinCells<std::uint16_t>(planar, grid, mosaic);
  mosaic.bitDepth = planar.bitDepth;
  mosaic.bayerGrid = grid;
  return rc::Ok;
}

}  // namespace ur
