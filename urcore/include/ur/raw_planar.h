#pragma once
// Splitting a Bayer mosaic into its four colour planes and joining them again.

#include <ur/image_buf.h>
#include <ur/result.h>
#include <ur/urcore_export.h>

#include <QRect>

namespace ur {

// Splits the region of a one-channel interleaved mosaic into the allocated planar image:
// 4 channels, planar 1, the mosaic's data type, width >= region width / 2 and height >= region
// height / 2. grid names the colours of the region's top-left cell. Plane order: red, green of
// red rows, blue, green of blue rows. An odd last column or row of the region is dropped.
// planar takes the mosaic's bit depth, and grid as its Bayer grid. Samples are moved, not
// computed, so signed 1/2-byte types are split like unsigned ones.
// Codes: InvalidArg(1) mosaic without pixels, not one channel or not 1/2-byte samples;
// InvalidArg(2) region empty, smaller than 2x2 or not inside the mosaic; InvalidArg(3) grid not
// 2x2; InvalidArg(4) planar without pixels or not matching.
URCORE_EXPORT Result ConvertRawToPlanarRaw(const SxImageBuf& mosaic, const QRect& region,
                                           ExBayerGrid grid, SxImageBuf& planar);

// Joins the four planes of a planar raw image into the allocated one-channel mosaic of twice
// their width and height (the mosaic may be larger; only that area is written), placing them
// by grid, which names the mosaic's top-left cell. Exact inverse of ConvertRawToPlanarRaw.
// mosaic takes the planar image's bit depth, and grid as its Bayer grid.
// Codes: InvalidArg(1) planar without pixels, not 4 planar channels or not 1/2-byte samples;
// InvalidArg(2) mosaic without pixels, too small or of another data type; InvalidArg(3) grid.
URCORE_EXPORT Result ConvertPlanarRawToRaw(const SxImageBuf& planar, SxImageBuf& mosaic,
                                           ExBayerGrid grid);

}  // namespace ur
