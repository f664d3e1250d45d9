#pragma once
// Conversions between channel layouts and sample types. Every destination is allocated by the
// caller with the geometry the conversion produces; it is never reallocated.

#include <ur/image_buf.h>
#include <ur/result.h>
#include <ur/urcore_export.h>

namespace ur {

// Swaps the first and third sample of every pixel of an interleaved image of 3 or 4 channels,
// in place. Every real data type. Codes: InvalidArg(1).
URCORE_EXPORT Result SwapRedAndBlue(SxImageBuf& buf);

// Interleaves a planar image of 3 (or 4) planes in logical order into the allocated
// interleaved dst of the same size, channels and data type, each plane going to its physical
// channel position. Codes: InvalidArg(1) src; InvalidArg(2) dst.
URCORE_EXPORT Result ConvertPlanarToRGB(const SxImageBuf& src, SxImageBuf& dst);

// Drops the alpha channel of an interleaved 8-bit 4-channel image into the allocated 8-bit
// 3-channel dst of the same size. Codes: InvalidArg(1) src; InvalidArg(2) dst.
URCORE_EXPORT Result ConvertRGBA8ToRGB8(const SxImageBuf& src, SxImageBuf& dst);

// Converts an image of 1, 3 or 4 channels (interleaved or planar, unsigned 8/16-bit, float or
// double) into the allocated 8-bit 3-channel interleaved dst of the same size. Integer samples
// are scaled from their bit depth to 8 bits; floating samples from their minimum..maximum.
// A one-channel image becomes grey. Integer samples shift right (or left, below 8 bits) by the
// difference of the depths and saturate at 255; floating samples map their finite minimum ..
// maximum over all converted channels onto 0..255, NaN and a flat image giving 0. Channel c of
// src (plane c, or its physical position) goes to logical channel c of dst, stored B, G, R;
// a fourth channel is dropped. Codes: InvalidArg(1) src; InvalidArg(2) dst.
URCORE_EXPORT Result ConvertToRGB8(const SxImageBuf& src, SxImageBuf& dst);

// Converts an interleaved image into the allocated planar dst:
// - a 2x2 Bayer mosaic (one channel, grid 0..3, 1- or 2-byte samples, at least 2x2) into
//   4 planes of half its size, truncated, in plane order (red, green of red rows, blue, green of
//   blue rows), the grid naming the mosaic's top-left cell; dst.packCount 4;
// - a general mosaic (grid eBayerMosaic, patternWidth x patternHeight) into pw x ph planes of
//   width / pw by height / ph, plane i holding site (i % pw, i / pw) of every cell;
//   dst.packCount pw x ph;
// - any other interleaved image (several channels, or one without a mosaic grid) into one plane
//   per channel of the same size, in logical channel order.
// dst must be planar with the data type of src and the plane count and size stated above;
// its other fields are left as the caller set them.
// Codes: InvalidArg(1) src; InvalidArg(2) dst.
URCORE_EXPORT Result ConvertPackPixelToPlanar(const SxImageBuf& src, SxImageBuf& dst);

// Normalisations of ConvertDoubleToU.
enum ExDoubleNormalization : int {
  eNormalizeClamp = 0,         // round and saturate each value to the destination range
  eNormalizeKeepIntegers = 1,  // whole numbers that fit kept; anything else as eNormalizeMinMax
  eNormalizeMinMax = 2,        // map minimum..maximum linearly onto 0..2^bitDepth - 1
};

// Converts double samples into the allocated dst of the same geometry with unsigned 8-, 16- or
// 32-bit samples (dst.bitDepth gives the range; 0 means the type's width and is replaced by it).
// With eNormalizeMinMax the range is [*minValue, *maxValue], each taken from the finite samples
// when null, over all channels or, with perChannel, per channel; values outside it saturate, and
// an empty range (a flat image) maps to 0. NaN becomes 0. Channels keep their logical order.
// eNormalizeKeepIntegers is for data that may already be sample values (a matrix of levels):
// when every sample is a whole number within 0..2^dst.bitDepth - 1, the values are stored
// unchanged and dst.bitDepth becomes the bits its largest value needs (at least 1); otherwise
// (fractions, negatives, values above the range, NaN or infinities) they are stretched as with
// eNormalizeMinMax, and a warning names the range that was mapped onto the destination's.
URCORE_EXPORT Result ConvertDoubleToU(const SxImageBuf& src, SxImageBuf& dst, int normalization,
                                      const double* minValue, const double* maxValue,
                                      bool perChannel);

}  // namespace ur
