#pragma once
// Which colour sits where in a Bayer mosaic.

#include <ur/image_buf.h>
#include <ur/result.h>
#include <ur/urcore_export.h>

#include <cstddef>

namespace ur {

// Colours of a mosaic site; also the logical channel index of that colour.
enum ExBayerColor : int { eColorRed = 0, eColorGreen = 1, eColorBlue = 2 };

// Planes of a raw planar image, in their storage order. Plane 1 is the green that shares its
// rows with red, plane 3 the green that shares its rows with blue.
enum ExBayerPlane : int { ePlaneRed = 0, ePlaneGreenR = 1, ePlaneBlue = 2, ePlaneGreenB = 3 };

// True for the four 2x2 grids (BGGR, RGGB, GBRG, GRBG).
constexpr bool IsBayer2x2(ExBayerGrid grid) { return grid >= eBayerBGGR && grid <= eBayerGRBG; }
constexpr bool IsBayer2x2(int grid) { return grid >= eBayerBGGR && grid <= eBayerGRBG; }

// Plane of the site at column x, row y of a mosaic whose top-left cell is `grid`
// (x, y >= 0; only their parity counts). grid must be one of the four 2x2 grids.
URCORE_EXPORT ExBayerPlane PlaneAt(ExBayerGrid grid, int x, int y);
// Colour of that site.
URCORE_EXPORT ExBayerColor ColorAt(ExBayerGrid grid, int x, int y);

// The grid of the cell that starts dx columns and dy rows away from a cell of `grid`
// (a region starting at an odd column swaps the columns of the cell). Non-2x2 grids pass through.
URCORE_EXPORT ExBayerGrid ShiftBayerGrid(ExBayerGrid grid, int dx, int dy);

// The grid that a mosaic of `height` rows shows when its rows are stored bottom-up: the grid of
// its last row's cell. Non-2x2 grids pass through.
URCORE_EXPORT ExBayerGrid BottomUpBayerGrid(ExBayerGrid grid, int height);

// Byte offsets, inside one 2x2 cell of a mosaic with the given line pitch and sample size, of the
// sites of the four planes in plane order (red, green of red rows, blue, green of blue rows).
// Returns rc::InvalidArg(1) for a grid that is not 2x2, InvalidArg(2)/(3) for a pitch or sample
// size that is not positive.
URCORE_EXPORT Result RawChannelsOffsets(ExBayerGrid grid, int linePitch, int bytesPerSample,
                                        std::size_t offsets[4]);

}  // namespace ur
