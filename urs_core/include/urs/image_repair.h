#pragma once
// Repair of invalid pixels (hot, dead, saturated or otherwise implausible samples) in place.

#include <urs/urs_core_export.h>

#include <ur/image_buf.h>

#include <QVector>

#include <cstdint>

namespace urs {

using ur::SxImageBuf;

// One repaired pixel. Slot c holds channel c's sample before (invalidValue) and after
// (newValue) the repair, 0 in slots not repaired. At most four channels.
struct InvalidPixel {
  std::int32_t col = 0;  // x
  std::int32_t row = 0;  // y
  std::uint32_t invalidValue[4] = {0, 0, 0, 0};
  std::uint32_t newValue[4] = {0, 0, 0, 0};
};

// Flags, per channel c, the levels to repair: the occupied levels (among the pixels whose mask
// sample is non-zero) from 0 up to lowLevel[c] and from highLevel[c] up to the top level
// 2^bitDepth - 1. A negative threshold switches its side off. lowLevel, highLevel and levels
// have one entry per channel; levels[c] points to 2^bitDepth booleans, all rewritten.
// image: 8- or 16-bit samples; mask: one 8-bit channel of the image's size.
// Returns false, with the table untouched, for an image without pixels, samples wider than
// 2 bytes or a null pointer; false (table not to be used) when the histogram fails.
URS_CORE_EXPORT bool GetLevelsToRepair(const SxImageBuf& image, const SxImageBuf& mask,
                                       int* lowLevel, int* highLevel, bool** levels);

// As above, but a side flags levels only while the pixels at and beyond the level, counted
// from that end of the range, stay within lowPercent[c] / highPercent[c] per cent of all
// pixels. The percentages are clamped to 0..100 in place.
URS_CORE_EXPORT bool GetLevelsToRepair(const SxImageBuf& image, const SxImageBuf& mask,
                                       double* lowPercent, int* lowLevel, double* highPercent,
                                       int* highLevel, bool** levels);

// Replaces every sample whose pixel's mask sample is non-zero and whose level is flagged in
// levels[c] by the value of a randomly chosen acceptable sample of the nearest ring of pixels
// around it (inside the image, mask non-zero, level not flagged, as the image stands now).
// The search gives up once a ring lies wholly outside the image; such a sample stays unchanged
// and is not recorded. A sample at or above 2^bitDepth is treated as not flagged. Every repair
// is appended to *invalidPixels when it is not null.
// Returns false, with the image unchanged, for an image without pixels, samples wider than
// 2 bytes, more than 4 channels, a null table, or a mask that does not match the image.
URS_CORE_EXPORT bool RepairImage(SxImageBuf& image, const SxImageBuf& mask, const bool** levels,
                                 QVector<InvalidPixel>* invalidPixels);

// Repairs every sample of channel c outside ranges[c][0]..ranges[c][1] (lowest and highest
// valid level), whether or not such levels occur, with the whole image as mask.
// Returns as the call above, false for a null ranges table.
URS_CORE_EXPORT bool RepairImage(SxImageBuf& image, const unsigned short** ranges,
                                 QVector<InvalidPixel>& invalidPixels);

}  // namespace urs

Q_DECLARE_TYPEINFO(urs::InvalidPixel, Q_PRIMITIVE_TYPE);
