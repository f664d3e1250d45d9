#include <ur/bayer.h>

namespace ur {

namespace {
// Plane of each site of the top-left cell, [grid][row][column].
constexpr ExBayerPlane kPlanes[4][2][2] = {
    {{ePlaneBlue, ePlaneGreenB}, {ePlaneGreenR, ePlaneRed}},  // BGGR
    {{ePlaneRed, ePlaneGreenR}, {ePlaneGreenB, ePlaneBlue}},  // RGGB
    {{ePlaneGreenB, ePlaneBlue}, {ePlaneRed, ePlaneGreenR}},  // GBRG
    {{ePlaneGreenR, ePlaneRed}, {ePlaneBlue, ePlaneGreenB}},  // GRBG
};
constexpr ExBayerColor kPlaneColor[4] = {eColorRed, eColorGreen, eColorBlue, eColorGreen};
// Moving the cell by one column swaps its columns; by one row, its rows.
constexpr ExBayerGrid kColumnShift[4] = {eBayerGBRG, eBayerGRBG, eBayerBGGR, eBayerRGGB};
constexpr ExBayerGrid kRowShift[4] = {eBayerGRBG, eBayerGBRG, eBayerRGGB, eBayerBGGR};
}  // namespace

ExBayerPlane PlaneAt(ExBayerGrid grid, int x, int y) { return kPlanes[grid & 3][y & 1][x & 1]; }

ExBayerColor ColorAt(ExBayerGrid grid, int x, int y) { return kPlaneColor[PlaneAt(grid, x, y)]; }

ExBayerGrid ShiftBayerGrid(ExBayerGrid grid, int dx, int dy) {
  if (!IsBayer2x2(grid)) return grid;
  if (dx & 1) grid = kColumnShift[grid];
  if (dy & 1) grid = kRowShift[grid];
  return grid;
}

ExBayerGrid BottomUpBayerGrid(ExBayerGrid grid, int height) {
  // Read upwards, the last row comes first and the one above it second; with an even height
  // the last row has the parity of the cell's second row.
  return (height % 2 == 0) ? ShiftBayerGrid(grid, 0, 1) : grid;
}

Result RawChannelsOffsets(ExBayerGrid grid, int linePitch, int bytesPerSample,
                          std::size_t offsets[4]) {
  if (!IsBayer2x2(grid)) return rc::InvalidArg(1);
  if (linePitch <= 0) return rc::InvalidArg(2);
  if (bytesPerSample <= 0) return rc::InvalidArg(3);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x)
      offsets[PlaneAt(grid, x, y)] = std::size_t(y) * linePitch + std::size_t(x) * bytesPerSample;
  return rc::Ok;
}

}  // namespace ur
