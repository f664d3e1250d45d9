#pragma once
// Compares a source image with the image restored from its ZEL file.

#include <zel/zel_api_export.h>

#include <ur/image_buf.h>

#include <QString>

namespace urs::zel {

struct ZelComparison {
  bool comparable = false;
  int maxDifference = 0;  // largest absolute difference of two corresponding samples
  QString reason;         // why the images cannot be compared
};

// Compares two top-down buffers of 8- or 16-bit unsigned samples. Images of the same size and
// channel count are compared sample by sample. A one-channel Bayer mosaic (grid one of the four
// 2x2 grids) may also be compared with a demosaiced colour image of the same size: each site with
// the restored channel of its own colour.
ZEL_API_EXPORT ZelComparison CompareImages(const ur::SxImageBuf& source,
                                           const ur::SxImageBuf& restored, ur::ExBayerGrid grid);

}  // namespace urs::zel
