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
// its edges (column -1 reads column 1, column w reads w-2, and so for rows). dst takes src's
// bit depth and grid none. 8- and 16-bit unsigned samples. Large regions are split into bands
// of rows that run on up to one thread per core; the call returns when all are done.
// token (may be null) is polled once per row; when it is cancelled, returns rc::Cancelled and
// dst is partly written. Logs its duration at debug level ("Demosaic() took %1", ms).
// Codes: InvalidArg(1) src without pixels, not one channel, not 8/16-bit unsigned samples or
// grid not 2x2; InvalidArg(2) region smaller than 2x2 or not inside src; InvalidArg(3) dst
// without pixels, not three interleaved channels, another data type or smaller than the region.
URCORE_EXPORT Result Demosaic(const SxImageBuf& src, const QRect& region, SxImageBuf& dst,
                              const CxCancellationToken* token = nullptr);

// One colour pixel per 2x2 cell: red and blue from their sites, green the rounded mean of the
// two green sites. grid names the region's top-left cell. dst: allocated, three channels
// interleaved, the same data type, at least half the region's width and height (an odd last
// column or row is dropped). dst takes src's bit depth and grid none. src's own grid is ignored.
// Codes: InvalidArg(1) src without pixels, not one channel or not 8/16-bit unsigned samples;
// InvalidArg(2) region smaller than 2x2 or not inside src; InvalidArg(3) dst; InvalidArg(4) grid
// not 2x2.
URCORE_EXPORT Result DemosaicSimple(const SxImageBuf& src, const QRect& region, SxImageBuf& dst,
                                    ExBayerGrid grid);

// DemosaicSimple of the whole mosaic src (by its own grid) into an allocated 8-bit three-channel
// dst of half size (B, G, R in memory), samples scaled from src's bit depth to 8 bits: 16-bit
// samples are shifted right by bitDepth - 8 (a bit depth outside 1..16 counts as 16) and
// saturated at 255; 8-bit samples are kept. dst takes bit depth 8 and grid none.
// Codes: InvalidArg(1) src as for DemosaicSimple, or its grid not 2x2; InvalidArg(2) dst not
// three interleaved 8-bit channels of at least half src's size.
URCORE_EXPORT Result DemosaicSimpleToRGB24(const SxImageBuf& src, SxImageBuf& dst);

}  // namespace ur
