#pragma once
// The frame every kernel benchmark works on: a 4000 x 3000 16-bit RGGB mosaic of 12-bit
// samples with a smooth scene plus noise, so that level use and branch patterns resemble a
// real sensor's.

#include <ur/buffers.h>

namespace zel::bench {

constexpr int kFrameWidth = 4000;
constexpr int kFrameHeight = 3000;

// Built once per process; do not free.
const ur::SxImageBuf& Frame16();

}  // namespace zel::bench
