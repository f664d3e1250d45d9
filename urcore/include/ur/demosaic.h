#pragma once
// Turning Bayer mosaics into colour images.

#include <ur/image_buf.h>
#include <ur/result.h>
#include <ur/urcore_export.h>

#include <QRect>

namespace ur {

class CxCancellationToken;

// Bilinear demosaicing at full size. Reads the region of the one-channel mosaic src, whose
// Bayer grid names the colours of the region's top-left cell, and writes the allocated
// three-channel interleaved dst (same data type, at least the region's size) in the channel
// order of ChannelIndexLogicalToPhysical. Every site keeps its own sample; the two missing
// colours are the rounded mean of the nearest sites of that colour, with the mosaic mirrored at
// its edges. dst takes src's bit depth and grid none. 8- and 16-bit unsigned samples.
// token (may be null) is polled once per row; when it is cancelled, returns rc::Cancelled.
// Codes: InvalidArg(1) src without pixels, not one channel, not 1/2-byte samples or grid not
// 2x2; InvalidArg(2) region smaller than 2x2 or not inside src; InvalidArg(3) dst.
URCORE_EXPORT Result Demosaic(const SxImageBuf& src, const QRect& region, SxImageBuf& dst,
                              const CxCancellationToken* token = nullptr);

// One colour pixel per 2x2 cell: red and blue from their sites, green the rounded mean of the
// two green sites. grid names the region's top-left cell. dst: allocated, three channels
// interleaved, the same data type, at least half the region's width and height (an odd last
// column or row is dropped). dst takes src's bit depth and grid none.
// Codes: InvalidArg(1) src; InvalidArg(2) region; InvalidArg(3) dst; InvalidArg(4) grid.
URCORE_EXPORT Result DemosaicSimple(const SxImageBuf& src, const QRect& region, SxImageBuf& dst,
                                    ExBayerGrid grid);

// DemosaicSimple of the whole mosaic src (by its own grid) into an allocated 8-bit three-channel
// dst of half size (B, G, R in memory), samples scaled from src's bit depth to 8 bits.
// Codes: InvalidArg(1) src; InvalidArg(2) dst.
URCORE_EXPORT Result DemosaicSimpleToRGB24(const SxImageBuf& src, SxImageBuf& dst);

}  // namespace ur
