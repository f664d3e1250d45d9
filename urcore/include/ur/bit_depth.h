#pragma once
// Bit depths of samples: finding them and changing them.

#include <ur/image_buf.h>
#include <ur/result.h>
#include <ur/urcore_export.h>

namespace ur {

// Sets buf.bitDepth to the least bit depth (at least 1) that holds the largest sample of the
// image, all channels and planes counted, and no more than maxBitDepth when that is positive.
// Unsigned 8-, 16- and 32-bit samples. Codes: InvalidArg(1) no pixels or another data type.
URCORE_EXPORT Result DetectColorBitDepth(SxImageBuf& buf, int maxBitDepth = 0);

// Reduces 16-bit unsigned samples to 8 bits into the allocated dst (same width, height,
// channels and layout, 8-bit unsigned): each sample is shifted right by src.bitDepth - 8
// (nothing when the depth is 8 or less; a depth outside 1..16 counts as 16), and samples above
// the depth saturate at 255. Channels keep their logical order (8-bit colour is stored B, G, R).
// dst.bitDepth becomes 8.
// Codes: InvalidArg(1) src without pixels or not 16-bit unsigned; InvalidArg(2) dst.
URCORE_EXPORT Result ReduceBits(const SxImageBuf& src, SxImageBuf& dst);

// Shifts every sample in place: left by shift when positive, right by -shift when negative.
// Bits shifted past the sample's width are lost. bitDepth changes by shift, kept within
// 1..bits of the sample type (a depth outside that range counts as the type's width).
// Unsigned 8- and 16-bit samples; shift 0 only corrects the depth.
// Codes: InvalidArg(1) buf; InvalidArg(2) |shift| not below the sample's width.
URCORE_EXPORT Result ShiftBits(SxImageBuf& buf, int shift);

}  // namespace ur
