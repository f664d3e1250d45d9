#pragma once
// Deterministic grey frames and Bayer mosaics that look like camera data: a lit scene (gradient,
// patches, a bright light, soft shading), sensor noise, and samples that take only a chosen set
// of levels, as a gain stage or a limited analogue-to-digital range leaves them.

#include <ur/buffers.h>

#include <cstdint>

namespace zel::samples {

// The levels a frame may take: base + step * k for k in 0 .. count - 1.
struct SxLevelSet {
  int count = 256;
  int step = 1;
  int base = 0;
};

struct SxFrameSpec {
  int width = 640;
  int height = 480;
  int bitDepth = 16;              // 8: 1-byte samples; otherwise 2-byte samples of this depth
  SxLevelSet levels[3];           // grey: levels[0]; mosaic: red, green, blue sites
  bool mosaicRggb = false;        // an RGGB mosaic, each site quantised to its colour's levels
  double noiseLevels = 1.0;       // noise standard deviation, in steps of the level set
  std::uint32_t seed = 1;
};

// A new top-down, one-channel buffer of the frame (bayerGrid RGGB for a mosaic), or an empty
// one when memory runs out.
ur::ScopedImageBuf MakeSyntheticFrame(const SxFrameSpec& desc);

}  // namespace zel::samples
