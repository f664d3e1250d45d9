#pragma once
// Geometric operations: row order, transposition, scaling and borders.

#include <ur/image_buf.h>
#include <ur/result.h>
#include <ur/urcore_export.h>

namespace ur {

// Reverses the order of the rows in place (every plane of a planar image).
// Any data type. Codes: InvalidArg(1).
URCORE_EXPORT Result ReverseRowOrder(SxImageBuf& buf);

// Writes the transposed image into the allocated dst (width and height swapped, same
// channels, data type and layout; one channel may be called planar or not): dst pixel (y, x) =
// src pixel (x, y). Any data type. dst's description (bit depth, grid) is not changed.
// Codes: InvalidArg(1) src; InvalidArg(2) dst.
URCORE_EXPORT Result Transpose(const SxImageBuf& src, SxImageBuf& dst);

// Scales src to the width and height of the allocated dst (same channels, data type and
// layout). Each axis on its own: reduction averages the whole source pixels that each
// destination pixel covers (integers rounded to nearest), enlargement repeats the pixel under the
// destination pixel's centre. Every real data type. A one-channel 2x2 Bayer mosaic (src at
// least 2x2) is scaled site by site, each of the four sites of a cell from the same site of the
// source cells, so that dst stays a mosaic of the same grid, whatever its size.
// Codes: InvalidArg(1) src; InvalidArg(2) dst; rc::Fail when memory for the sums runs out.
URCORE_EXPORT Result Resample(const SxImageBuf& src, SxImageBuf& dst);

// Fills dst with src framed by mirrored margins: the margin pixel at distance d outside an edge
// copies the pixel at distance d inside it, the edge itself not repeated (for a row a b c d, a
// left margin of 2 reads c b, and a colour mosaic keeps its pattern). Images narrower than a
// margin are mirrored back and forth. dst without pixels (data null) is allocated with src's
// description enlarged by the margins, its Bayer grid naming its own top-left cell (shifted when
// left or top is odd), and freed by the caller; dst with pixels must already have that size and
// src's channels, data type and layout, and is filled in place, its description unchanged.
// Codes: InvalidArg(1) src; InvalidArg(2) dst of the wrong shape; InvalidArg(3..6) a negative
// margin (left, top, right, bottom); rc::Fail when memory runs out.
URCORE_EXPORT Result AllocAndCreateMirroredBorderImage(const SxImageBuf& src, SxImageBuf& dst,
                                                       int left, int top, int right, int bottom);

}  // namespace ur
