#pragma once
// Reverse kernels: restore the source levels of a raw image from an 8-bit ZEL image and the
// tables its record keeps. Both buffers are stored bottom-up (memory row 0 is the picture's
// last row), as a loaded image delivers them; grids name the picture's top-left cell.
//
// Rank-scaled channels (ZEL type 0): a stored value v gives the rank round(v * maximum / 255),
// and the rank the level of that rank among the channel's occupied levels. Spread-mapped planes
// (ZEL type 1): a stored value gives the lowest occupied level mapped to it (a value no level
// maps to takes the nearest value that one does). Then the recorded invalid pixels are written
// back. Nothing is written unless every argument checks out.
// Codes: rc::InvalidArg(n) for the n-th argument, counted from the ZEL buffer = 1; the raw
// buffer (2) also fails when a restored level does not fit its samples, the invalid-pixel list
// when a recorded value does not; rc::Fail when memory for the tables runs out.

#include <ur/image_buf.h>
#include <ur/result.h>
#include <urs/image_repair.h>

#include <QVector>

namespace zel::cpu {

// A grey ZEL image (ZEL type 0 only) into a raw image of its size.
ur::Result ConvertZelToRaw(const ur::SxImageBuf& zel, ur::SxImageBuf& raw,
                           const unsigned short* mapping0, const bool* occupied0,
                           unsigned short maximum0, const QVector<urs::InvalidPixel>* invalidPixels,
                           int levelsCount, int zelType, int threads = 0);

// A three-channel ZEL image, or a one-channel compacted mosaic (ZEL type 1), into a raw mosaic
// of `grid`. Three channels: a raw buffer of the ZEL image's size takes at each site its
// colour's channel (full-size demosaicing); one of twice its width and height takes a 2x2 cell
// per ZEL pixel (half-size demosaicing). One channel: a raw buffer of its size, site by site.
// Tables, occupancy and maxima: index 0..3 = channels red, green, blue, (second green); for
// ZEL type 1 the four raw planes. Type 0 uses the first three.
ur::Result ConvertZelRgbToRaw(const ur::SxImageBuf& zel, ur::SxImageBuf& raw,
                              const unsigned short* const mapping[4], const bool* const occupied[4],
                              const unsigned short maximum[4], ur::ExBayerGrid grid,
                              const QVector<urs::InvalidPixel>* invalidPixels, int levelsCount,
                              int zelType, int threads = 0);

}  // namespace zel::cpu
