#pragma once
// Argument checks shared by the kernels: each answers one question about a buffer.

#include <ur/image_buf.h>

namespace zel::cpu {

inline bool HasSampleBytes(const ur::SxImageBuf& b, int bytes) {
  return ur::BytesPerSample(b.dataType) == bytes;
}

// Pixels present, `channels` channels, samples side by side (one channel may be called planar).
inline bool IsInterleavedImage(const ur::SxImageBuf& b, int channels) {
  return ur::HasPixels(b) && b.channels == channels && (b.planar == 0 || channels == 1);
}

// Pixels present, four planes one after another.
inline bool IsPlanarRaw(const ur::SxImageBuf& b) {
  return ur::HasPixels(b) && b.channels == 4 && b.planar == 1;
}

inline bool SameSize(const ur::SxImageBuf& a, const ur::SxImageBuf& b) {
  return a.width == b.width && a.height == b.height;
}

// A declared bit depth that the samples can hold; tables are sized by it.
inline bool HasUsableBitDepth(const ur::SxImageBuf& b) {
  return b.bitDepth >= 1 && b.bitDepth <= 8 * ur::BytesPerSample(b.dataType);
}

}  // namespace zel::cpu
