#pragma once
// Private helpers of the conversions: walking one channel of an image row by row whatever its
// layout, and matching channels between two images by their logical order.

#include <ur/channels.h>
#include <ur/image_buf.h>

#include <cstddef>

namespace ur::detail {

// One channel of an image seen as rows of samples `step` elements apart.
struct ChannelWalk {
  unsigned char* base = nullptr;  // first sample of row 0
  std::size_t pitch = 0;          // bytes between rows
  int step = 1;                   // samples between neighbouring pixels

  template <typename T>
  T* row(int y) const {
    return reinterpret_cast<T*>(base + std::size_t(y) * pitch);
  }
};

// The walk over the sample in physical position (interleaved) or plane (planar) `position`.
inline ChannelWalk WalkPosition(const SxImageBuf& buf, int position) {
  ChannelWalk w;
  w.pitch = std::size_t(buf.linePitch);
  if (buf.planar) {
    w.base = RowPtr(buf, 0, position);
    w.step = 1;
  } else {
    w.base = buf.data + std::size_t(position) * std::size_t(BytesPerSample(buf.dataType));
    w.step = buf.channels;
  }
  return w;
}

// The walk over logical channel c (0 red, 1 green, 2 blue, 3 alpha).
inline ChannelWalk WalkLogical(const SxImageBuf& buf, int c) {
  return WalkPosition(buf, ChannelIndexLogicalToPhysical(c, buf));
}

// dst sample = makeKernel(c)(src sample) for every logical channel c, so that colour keeps its
// meaning when the two images store channels in different orders (8-bit colour is B, G, R).
// Both images must have the same geometry; S and D are their sample types.
template <typename S, typename D, typename MakeKernel>
void MapChannels(const SxImageBuf& src, SxImageBuf& dst, MakeKernel makeKernel) {
  for (int c = 0; c < src.channels; ++c) {
    const auto kernel = makeKernel(c);
    const ChannelWalk s = WalkLogical(src, c);
    const ChannelWalk d = WalkLogical(dst, c);
    for (int y = 0; y < src.height; ++y) {
      const S* in = s.row<const S>(y);
      D* out = d.row<D>(y);
      if (s.step == 1 && d.step == 1) {  // planes and grey images: a loop that vectorises
        for (int x = 0; x < src.width; ++x) out[x] = kernel(in[x]);
      } else {
        for (int x = 0; x < src.width; ++x)
          out[std::size_t(x) * d.step] = kernel(in[std::size_t(x) * s.step]);
      }
    }
  }
}

// Same width, channel count and layout (planar or interleaved); pitches may differ.
inline bool SameGeometry(const SxImageBuf& a, const SxImageBuf& b) {
  return a.width == b.width && a.height == b.height && a.channels == b.channels &&
         (a.planar != 0) == (b.planar != 0);
}

// The type's width in bits when depth is not a usable bit depth for it.
inline int EffectiveBitDepth(int depth, int typeBits) {
  return (depth >= 1 && depth <= typeBits) ? depth : typeBits;
}

}  // namespace ur::detail
