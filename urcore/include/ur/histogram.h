#pragma once
// Histograms of image levels.

#include <ur/image_buf.h>
#include <ur/result.h>
#include <ur/urcore_export.h>

#include <cstdint>

namespace ur {

class CxImageHistogram;

// Counts, per channel and level, the pixels whose mask sample is non-zero. histogram has
// channels x levels entries (channel c's counts start at c x levels, channels in logical order)
// and is added to, not cleared. Samples at or above `levels` are not counted.
// image: 8- or 16-bit unsigned, interleaved or planar. mask: one channel of 8-bit samples with
// the image's width and height (its own line pitch); null counts every pixel.
// Codes: InvalidArg(1) image; InvalidArg(2) mask; InvalidArg(3) histogram null;
// InvalidArg(4) levels not positive.
URCORE_EXPORT Result HistogramMasked(const SxImageBuf& image, const SxImageBuf* mask,
                                     std::uint64_t* histogram, int levels);

// The whole image's counts per channel over the levels of its bit depth (its sample type's when
// the depth is unset or larger), replacing histogram's. False for samples other than 8- or
// 16-bit unsigned.
URCORE_EXPORT bool ComputeImageHistogram(const SxImageBuf& image, CxImageHistogram& histogram);

}  // namespace ur
