#pragma once
// One mosaic through the raw path of the directory conversion, for an exact single-file ZEL
// image.

#include <zel/dir_conversion.h>

#include <ur/result.h>

#include <QString>

namespace urs::zel {

// Converts input into output with the settings of params (grid, crop, thresholds, ...), at the
// input's own bit depth with autoBits, else at params.rawBitColorDepth. The conversion writes
// into a temporary folder beside output, and its one image is then renamed onto output, so that
// output is either the whole new image or as it was. Reasons go to params.protocol.
ur::Result ConvertFileRaw(const ZelParams& params, bool autoBits, const QString& input,
                          const QString& output);

}  // namespace urs::zel
