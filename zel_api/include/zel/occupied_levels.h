#pragma once
// Analysis of which levels of each channel an image uses, and the tables that give every
// occupied level its place in a dense range.
//
// Occupancy arrays hold one bool per possible level (levelsCount = 2^bitDepth entries), are
// owned and cleared by the caller and only ever accumulate, so that one mapping can serve a
// whole set of images. Mapping tables hold one unsigned short per level, cleared by the caller;
// only entries of occupied levels are written.
//
// Threshold pairs (low, high): a negative high stands for 2^bitDepth, a negative low never
// matches. With thresholds, a sample at or below low is counted as low + 1, one at or above high
// as high - 1; a level outside low..high after that folding clears its flag.
//
// Validation completes before anything is written. Failure codes per function are listed
// with it; success is 0. Samples at or above levelsCount (data beyond the declared bit depth)
// are ignored without thresholds and never written outside an array.

#include <zel/types.h>
#include <zel/zel_api_export.h>

#include <ur/image_buf.h>

namespace urs::zel {

using ur::SxImageBuf;

// Marks the occupied levels of a grey (1 channel) or colour (3 channels) image of 1- or 2-byte
// samples; channel 0, 1, 2 are red, green, blue (1-byte pixels store them as B, G, R). max0..2
// receive each channel's largest level (after thresholding), 0 for absent channels.
// Codes: 0xA0004313 no pixels, channels not 1 or 3, samples not 1 or 2 bytes;
// 0xA0004317 levelsCount < 2^bitDepth; 0xA0004314/15/16 occupied0 null, occupied1/2 null with
// 3 channels; 0xA000431B with useThreshold a pair with low > high or low > 2^bitDepth (only
// the pairs of the channels the image has are checked).
ZEL_API_EXPORT unsigned int GetOccupiedLevels(const SxImageBuf& image, bool* occupied0,
                                              bool* occupied1, bool* occupied2, int levelsCount,
                                              unsigned short& max0, unsigned short& max1,
                                              unsigned short& max2, bool useThreshold, int low0,
                                              int high0, int low1, int high1, int low2, int high2);

// The same for the four planes of a raw planar image (4 channels, planar, 1- or 2-byte samples;
// plane p starts p x height x linePitch bytes after the data pointer).
// Codes: 0xA0004313 image; 0xA0004314..17 occupied0..3 null; 0xA0004318 levelsCount <
// 2^bitDepth; 0xA0004319..1C with useThreshold the pair of plane 0..3 invalid.
ZEL_API_EXPORT unsigned int GetOccupiedLevelsRaw(
    const SxImageBuf& planarRaw, bool* occupied0, bool* occupied1, bool* occupied2,
    bool* occupied3, int levelsCount, unsigned short& max0, unsigned short& max1,
    unsigned short& max2, unsigned short& max3, bool useThreshold, int low0, int high0,
    int low1, int high1, int low2, int high2, int low3, int high3);

// Counts the true entries of each array among 0..levelsCount-1. occupied1 and occupied2 may be
// null (count 0). Every count is 0 first; levelsCount < 1 gives zeros.
// Codes: 0xA0004313 occupied0 null.
ZEL_API_EXPORT unsigned int GetLevelsCount(const bool* occupied0, const bool* occupied1,
                                           const bool* occupied2, int levelsCount, int& count0,
                                           int& count1, int& count2);

// Four planes. Codes: 0xA0004313..16 occupied0..3 null.
ZEL_API_EXPORT unsigned int GetLevelsCount(const bool* occupied0, const bool* occupied1,
                                           const bool* occupied2, const bool* occupied3,
                                           int levelsCount, int& count0, int& count1, int& count2,
                                           int& count3);

// Rank mapping: the lowest occupied level maps to 0, the next to 1, and so on. A null
// occupied1/occupied2 skips that channel (its table may then be null).
// Codes: 0xA0004313 occupied0 null; 0xA0004316 mapping0 null; 0xA0004317/18 occupied1/2 given
// and mapping1/2 null.
ZEL_API_EXPORT unsigned int GetZelChannelMapping(const bool* occupied0, const bool* occupied1,
                                                 const bool* occupied2, unsigned short* mapping0,
                                                 unsigned short* mapping1,
                                                 unsigned short* mapping2, int levelsCount);

// Rank mapping of four planes. Codes: 0xA0004313..16 occupied0..3 null; 0xA0004317..1A
// mapping0..3 null.
ZEL_API_EXPORT unsigned int GetZelChannelMapping(const bool* occupied0, const bool* occupied1,
                                                 const bool* occupied2, const bool* occupied3,
                                                 unsigned short* mapping0,
                                                 unsigned short* mapping1,
                                                 unsigned short* mapping2,
                                                 unsigned short* mapping3, int levelsCount);

// 8-bit spread mapping of four channels or planes: rank k of a channel with n occupied levels
// maps to trunc(k / (n / 255.0)), 0..254. With Together every n is the largest of the four.
// Any normalization other than Together behaves as Separated.
// Codes: 0xA0004313..16 occupied0..3 null; 0xA0004317..1A mapping0..3 null.
ZEL_API_EXPORT unsigned int GetZel8ChannelMapping(const bool* occupied0, const bool* occupied1,
                                                  const bool* occupied2, const bool* occupied3,
                                                  unsigned short* mapping0,
                                                  unsigned short* mapping1,
                                                  unsigned short* mapping2,
                                                  unsigned short* mapping3, int levelsCount,
                                                  ZelChannelNormalization normalization);

}  // namespace urs::zel
