#pragma once
// Replacement of over- and under-exposed samples before compaction.

#include <zel/zel_api_export.h>

#include <ur/image_buf.h>
#include <urs/image_repair.h>

#include <QVector>

namespace urs::zel {

using ur::SxImageBuf;

// The largest search window: the ring table holds the rings at distance 1 to 5.
constexpr int kThresholdMaxWindow = 5;

// Replaces, channel by channel, every sample at or below low_c (under-exposed) or at or above
// high_c (over-exposed) of a grey or colour image of 1- or 2-byte samples, in place. Pairs
// (low0, high0), (low1, high1), (low2, high2) belong to logical channels 0, 1, 2 (red, green,
// blue); a grey image uses only the first. A negative threshold is disabled.
//
// A violating sample takes the first acceptable neighbour (low_c < n < high_c, a disabled side
// not limiting) met on the square rings 1..window around it, each ring walked clockwise from a
// random start. Neighbours are read from `border`, a copy of the image as it was, framed by
// `window` mirrored pixels on every side: border without pixels is allocated here (the caller
// frees it), border with pixels must have the image's layout enlarged by 2 x window. A window
// above kThresholdMaxWindow searches the five rings the table has. Without an acceptable
// neighbour an under-exposed sample becomes low_c + 1 (high_c - 1 if that is itself
// over-exposed) and an over-exposed one high_c - 1, both kept within 0..2^bitDepth - 1.
//
// invalidPixels is emptied and receives, in scan order, every pixel with a replaced sample:
// for every channel of the image its sample before and after, slots of absent channels 0.
//
// Codes: 0 on success; 0xA0004313 no pixels, channels not 1 or 3, samples not 1 or 2 bytes,
// or a bit depth outside 1..sample width; 0xA0004314 low0 > maxLevel; 0xA0004315 high0 < low0
// or high0 > maxLevel; with 3 channels 0xA0004316..19 the same for pairs 1 and 2 (maxLevel =
// 2^bitDepth - 1); 0xA0000000 (logged) when the border cannot be made, e.g. a border of the
// wrong shape or a negative window. Nothing is written on failure.
ZEL_API_EXPORT unsigned int ApplyThreshold(SxImageBuf& image, int low0, int high0, int low1,
                                           int high1, int low2, int high2, SxImageBuf& border,
                                           int window, QVector<urs::InvalidPixel>& invalidPixels);

}  // namespace urs::zel
