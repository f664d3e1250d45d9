#pragma once
// Small images built in memory for unit tests.

#include <ur/buffers.h>
#include <ur/image_buf.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

namespace zel::testing {

template <typename T>
constexpr ur::ExImageDataType DataTypeOf() {
  if constexpr (std::is_same_v<T, std::uint8_t>) return ur::eImageDataUInt8;
  else if constexpr (std::is_same_v<T, std::uint16_t>) return ur::eImageDataUInt16;
  else if constexpr (std::is_same_v<T, std::int16_t>) return ur::eImageDataInt16;
  else if constexpr (std::is_same_v<T, std::uint32_t>) return ur::eImageDataUInt32;
  else if constexpr (std::is_same_v<T, float>) return ur::eImageDataFloat;
  else if constexpr (std::is_same_v<T, double>) return ur::eImageDataDouble;
  else return ur::eImageDataUnknown;
}

struct ImageShape {
  int width = 0;
  int height = 0;
  int channels = 1;
  int planar = 0;
  int padBytes = 0;  // extra bytes at the end of every row, to catch pitch mistakes
  int bitDepth = 0;  // 0: the sample type's width
  ur::ExBayerGrid grid = ur::eBayerNone;
};

// An owned image of the shape whose samples are given in memory order: row by row, the samples
// of a pixel together (interleaved) or plane after plane (planar). Padding bytes are 0xCD.
template <typename T>
ur::ScopedImageBuf MakeImage(const ImageShape& s, const std::vector<T>& samples) {
  ur::SxImageBuf b;
  b.width = s.width;
  b.height = s.height;
  b.channels = s.channels;
  b.planar = s.planar;
  b.dataType = DataTypeOf<T>();
  b.bitDepth = s.bitDepth ? s.bitDepth : int(sizeof(T) * 8);
  b.bayerGrid = s.grid;
  const int rowSamples = s.width * (s.planar ? 1 : s.channels);
  b.linePitch = rowSamples * int(sizeof(T)) + s.padBytes;
  EXPECT_FALSE(ur::Failed(ur::AllocBuffer(b)));
  const int planes = s.planar ? s.channels : 1;
  EXPECT_EQ(samples.size(), std::size_t(rowSamples) * s.height * planes);
  std::memset(b.data, 0xCD, std::size_t(ur::BufferBytes(b)));
  for (int p = 0; p < planes; ++p)
    for (int y = 0; y < s.height; ++y)
      std::memcpy(ur::RowPtr(b, y, p), samples.data() + (std::size_t(p) * s.height + y) * rowSamples,
                  rowSamples * sizeof(T));
  return ur::ScopedImageBuf(b);
}

// An owned image of the shape with every sample 0 (padding 0xCD).
template <typename T>
ur::ScopedImageBuf MakeZeroImage(const ImageShape& s) {
  const int planes = s.planar ? s.channels : 1;
  const std::size_t n = std::size_t(s.width) * (s.planar ? 1 : s.channels) * s.height * planes;
  return MakeImage<T>(s, std::vector<T>(n, T(0)));
}

// Sample at pixel (x, y) in physical position c (interleaved) or plane c (planar).
template <typename T>
T SampleAt(const ur::SxImageBuf& b, int x, int y, int c = 0) {
  if (b.planar) return reinterpret_cast<const T*>(ur::RowPtr(b, y, c))[x];
  return reinterpret_cast<const T*>(ur::RowPtr(b, y))[std::size_t(x) * b.channels + c];
}

// All samples of an image in memory order without padding.
template <typename T>
std::vector<T> Samples(const ur::SxImageBuf& b) {
  std::vector<T> out;
  const int planes = b.planar ? b.channels : 1;
  const int rowSamples = b.width * (b.planar ? 1 : b.channels);
  for (int p = 0; p < planes; ++p)
    for (int y = 0; y < b.height; ++y) {
      const T* row = reinterpret_cast<const T*>(ur::RowPtr(b, y, p));
      out.insert(out.end(), row, row + rowSamples);
    }
  return out;
}

}  // namespace zel::testing
