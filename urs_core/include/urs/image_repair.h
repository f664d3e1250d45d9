#pragma once
// Repair of invalid pixels (hot, dead, saturated or otherwise implausible samples) in place.

#include <urs/urs_core_export.h>

#include <ur/image_buf.h>

#include <QVector>

#include <cstdint>

namespace urs {

using ur::SxImageBuf;

// One repaired pixel. Slot c holds logical channel c's sample (0 red, 1 green, 2 blue, 3 fourth,
// whatever its position in memory) before (invalidValue) and after (newValue) the repair, 0 in
// slots not repaired. At most four channels.
struct InvalidPixel {
  std::int32_t col = 0;  // x
  std::int32_t row = 0;  // y
  std::uint32_t invalidValue[4] = {0, 0, 0, 0};
  std::uint32_t newValue[4] = {0, 0, 0, 0};
};

// Levels tables: levels[c] belongs to logical channel c and has L = 2^b booleans, b being the
// image's bitDepth limited to the sample width (8 or 16). Only entries 0..L-1 are read or
// written, so a table sized 2^bitDepth is always large enough. An image with bitDepth <= 0
// has no usable L and is refused (false).

// Flags, per logical channel c, the levels to repair: the occupied levels (among the pixels
// whose mask sample is non-zero) from 0 up to lowLevel[c] and from highLevel[c] up to L - 1.
// A negative threshold switches its side off. lowLevel, highLevel and levels have one entry per
// channel; all L entries of levels[c] are rewritten.
// image: 8- or 16-bit unsigned samples; mask: one 8-bit channel of the image's size.
// Returns false, with the table untouched, for an image without pixels, samples wider than
// 2 bytes, bitDepth <= 0 or a null pointer (levels[c] included); false (table not to be used)
// when the histogram fails (for example a mask of another size or signed samples).
URS_CORE_EXPORT bool GetLevelsToRepair(const SxImageBuf& image, const SxImageBuf& mask,
                                       int* lowLevel, int* highLevel, bool** levels);

// As above, but a side flags levels only while the pixels at and beyond the level, counted
// from that end of the range, stay within lowPercent[c] / highPercent[c] per cent of all
// width x height pixels (limit truncated to an integer). The percentages are clamped to
// 0..100 in place (NaN becomes 0); a side with 0 per cent flags nothing.
URS_CORE_EXPORT bool GetLevelsToRepair(const SxImageBuf& image, const SxImageBuf& mask,
                                       double* lowPercent, int* lowLevel, double* highPercent,
                                       int* highLevel, bool** levels);

// Replaces every sample whose pixel's mask sample is non-zero and whose level is flagged in
// levels[c] by the value of a randomly chosen acceptable sample of the nearest ring of pixels
// around it (inside the image, mask non-zero, level below L and not flagged, as the image
// stands now; an already repaired sample may serve). Interleaved images are visited by rows,
// columns, then samples in memory order; a pixel's record is cleared once and appended after
// each repaired channel, so a later record also holds the earlier channels. Planar images are
// visited by planes, rows, columns, one record per repaired sample.
// The search gives up once a ring lies wholly outside the image (no acceptable sample exists);
// such a sample stays unchanged and is not recorded. A sample at or above L is never flagged
// (left alone) and never used as a source. Every repair is appended to *invalidPixels when it
// is not null. The start cell of each ring comes from a per-thread generator reseeded at every
// call from the current time's milliseconds, so results differ from run to run.
// Returns false, with the image unchanged, for an image without pixels, samples wider than
// 2 bytes, more than 4 channels, bitDepth <= 0, a null table (levels[c] included), a layout
// neither interleaved (0) nor planar (1), or a mask that is not one 8-bit channel of the
// image's width and height. Returns true otherwise, also when some samples stayed unrepaired.
URS_CORE_EXPORT bool RepairImage(SxImageBuf& image, const SxImageBuf& mask, const bool** levels,
                                 QVector<InvalidPixel>* invalidPixels);

// Repairs every sample of logical channel c outside ranges[c][0]..ranges[c][1] (lowest and
// highest valid level), whether or not such levels occur, with the whole image as mask. The
// table and the mask are allocated and released inside.
// Returns as the call above; false also for a null ranges table (ranges[c] included) and when
// memory for the table or mask runs out.
URS_CORE_EXPORT bool RepairImage(SxImageBuf& image, const unsigned short** ranges,
                                 QVector<InvalidPixel>& invalidPixels);

}  // namespace urs

Q_DECLARE_TYPEINFO(urs::InvalidPixel, Q_PRIMITIVE_TYPE);
