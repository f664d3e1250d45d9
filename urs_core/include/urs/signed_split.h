#pragma once
// Splitting a signed floating-point image into its positive and its negative part.

#include <urs/urs_core_export.h>

#include <ur/image_buf.h>

namespace urs {

using ur::SxImageBuf;

// Writes every positive sample of source to the same position of plus and every negative one to
// minus, each target holding 0 everywhere else (zero and NaN go to neither). With negate the
// minus image holds magnitudes (v x -1), otherwise the negative values themselves.
// source, plus and minus: 64-bit floating-point samples, interleaved (0) or planar (1), with the
// same width, height, channel count, bit depth, Bayer grid and layout; the caller allocates the
// targets, whose line pitch may differ from the source's. Padding bytes of the targets are zeroed.
// Returns false, touching nothing, for any other input, and when a target shares memory with
// the source or the other target.
URS_CORE_EXPORT bool SplitToPlusMinus(const SxImageBuf& source, SxImageBuf& plus,
                                      SxImageBuf& minus, bool negate);

}  // namespace urs
