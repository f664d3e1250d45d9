#pragma once
// Channel order inside a pixel and per-channel operations.

#include <ur/image_buf.h>
#include <ur/result.h>
#include <ur/urcore_export.h>

namespace ur {

// Position within a pixel's samples of logical channel c (0 red, 1 green, 2 blue, 3 alpha).
// Interleaved colour images of 1-byte samples hold B, G, R (and A) in memory, all others
// R, G, B (and A); one- and two-channel images and planar images keep c as it is.
// Returns c itself when c is outside 0..channels-1.
URCORE_EXPORT int ChannelIndexLogicalToPhysical(int c, const SxImageInfo& info);
URCORE_EXPORT int ChannelIndexLogicalToPhysical(int c, const SxImageBuf& buf);

// Sets every sample of logical channel `channel` to value (converted to the sample type,
// saturated to its range). Interleaved or planar, every data type but complex.
// Codes: InvalidArg(1) buf; InvalidArg(2) channel outside 0..channels-1.
URCORE_EXPORT Result SetChannel(SxImageBuf& buf, int channel, double value);

}  // namespace ur
