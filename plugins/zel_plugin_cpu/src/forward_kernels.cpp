#include "forward_kernels.h"

#include <ur/channels.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "image_checks.h"
#include "parallel_rows.h"

namespace zel::cpu {

namespace {

namespace rc = ur::rc;
using ur::Result;
using ur::SxImageBuf;

// A table from every value the source's samples can hold to the value written, so that the
// pixel loop is one load per sample; levels beyond the declared depth read the top entry.
template <typename D, typename EntryFn>
std::vector<D> BuildLookup(int sourceBytes, int bitDepth, EntryFn entry) {
  const std::size_t range = std::size_t(1) << (8 * sourceBytes);
  const std::size_t levels = std::size_t(1) << bitDepth;
  std::vector<D> lut(range);
  for (std::size_t i = 0; i < levels; ++i) lut[i] = entry(i);
  std::fill(lut.begin() + std::ptrdiff_t(levels), lut.end(), lut[levels - 1]);
  return lut;
}

template <typename S, typename D>
void MapGreyRow(const S* s, D* d, const D* lut, int width) {
  int x = 0;
  if constexpr (sizeof(S) == 2 && sizeof(D) == 1) {
    // Eight samples per step: two wide loads and one wide store instead of sixteen narrow
    // accesses keep the load ports free for the table reads.
    for (; x + 8 <= width; x += 8) {
      std::uint64_t a, b;
      std::memcpy(&a, s + x, sizeof a);
      std::memcpy(&b, s + x + 4, sizeof b);
      std::uint64_t out = 0;
      for (int k = 0; k < 4; ++k) {
        out |= std::uint64_t(lut[(a >> (16 * k)) & 65535u]) << (8 * k);
        out |= std::uint64_t(lut[(b >> (16 * k)) & 65535u]) << (8 * (k + 4));
      }
      std::memcpy(d + x, &out, sizeof out);
    }
  }
  for (; x < width; ++x) d[x] = lut[s[x]];
}

template <typename S, typename D>
void MapColourRow(const S* s, D* d, const D* const lut[3], const int so[3], const int dOff[3],
                  int width) {
  const D* l0 = lut[0];
  const D* l1 = lut[1];
  const D* l2 = lut[2];
  const std::size_t n = std::size_t(width) * 3;
  for (std::size_t i = 0; i < n; i += 3) {
    d[i + dOff[0]] = l0[s[i + so[0]]];
    d[i + dOff[1]] = l1[s[i + so[1]]];
    d[i + dOff[2]] = l2[s[i + so[2]]];
  }
}

// Grey or colour: table c belongs to logical channel c, found at its own position in each
// buffer (1-byte colour pixels keep blue first, 2-byte ones red).
template <typename S, typename D>
void RunInterleaved(const SxImageBuf& src, SxImageBuf& dst, const D* const lut[3], int threads) {
  int so[3] = {0, 0, 0};
  int dOff[3] = {0, 0, 0};
  for (int c = 0; c < src.channels; ++c) {
    so[c] = ur::ChannelIndexLogicalToPhysical(c, src);
    dOff[c] = ur::ChannelIndexLogicalToPhysical(c, dst);
  }
  const bool grey = src.channels == 1;
  ForEachRowBand(src.height, std::size_t(src.width) * src.channels, threads, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const S* s = reinterpret_cast<const S*>(ur::RowPtr(src, y));
      D* d = reinterpret_cast<D*>(ur::RowPtr(dst, y));
      if (grey)
        MapGreyRow(s, d, lut[0], src.width);
      else
        MapColourRow(s, d, lut, so, dOff, src.width);
    }
  });
}

// Four planes: the rows of all planes form one run of 4 x height rows.
template <typename S, typename D>
void RunPlanar(const SxImageBuf& src, SxImageBuf& dst, const D* const lut[4], int threads) {
  ForEachRowBand(4 * src.height, std::size_t(src.width), threads, [&](int r0, int r1) {
    for (int r = r0; r < r1; ++r) {
      const int p = r / src.height;
      const int y = r % src.height;
      MapGreyRow(reinterpret_cast<const S*>(ur::RowPtr(src, y, p)),
                 reinterpret_cast<D*>(ur::RowPtr(dst, y, p)), lut[p], src.width);
    }
  });
}

Result CheckInterleaved(const SxImageBuf& src, const SxImageBuf& dst,
                        const unsigned short* const mapping[3], int sourceBytes,
                        int destinationBytes) {
  if (!(IsInterleavedImage(src, 1) || IsInterleavedImage(src, 3)) ||
      !HasSampleBytes(src, sourceBytes) || !HasUsableBitDepth(src))
    return rc::InvalidArg(1);
  if (!IsInterleavedImage(dst, src.channels) || !SameSize(src, dst) ||
      !HasSampleBytes(dst, destinationBytes))
    return rc::InvalidArg(2);
  for (int c = 0; c < src.channels; ++c)
    if (!mapping[c]) return rc::InvalidArg(3 + c);
  return rc::Ok;
}

template <typename S>
Result ConvertToZel8Typed(const SxImageBuf& src, SxImageBuf& dst,
                          const unsigned short* const mapping[3], const unsigned divisor[3],
                          int threads) {
  std::vector<std::uint8_t> luts[3];
  const std::uint8_t* lut[3] = {nullptr, nullptr, nullptr};
  for (int c = 0; c < src.channels; ++c) {
    const unsigned short* m = mapping[c];
    const unsigned div = divisor[c];
    luts[c] = BuildLookup<std::uint8_t>(int(sizeof(S)), src.bitDepth,
                                        [&](std::size_t i) { return ScaleRank(m[i], div); });
    lut[c] = luts[c].data();
  }
  RunInterleaved<S, std::uint8_t>(src, dst, lut, threads);
  return rc::Ok;
}

template <typename S, typename D>
Result ConvertPlanarTyped(const SxImageBuf& src, SxImageBuf& dst,
                          const unsigned short* const mapping[4], int threads) {
  constexpr unsigned kTop = (1u << (8 * sizeof(D))) - 1u;
  std::vector<D> luts[4];
  const D* lut[4];
  for (int p = 0; p < 4; ++p) {
    const unsigned short* m = mapping[p];
    luts[p] = BuildLookup<D>(int(sizeof(S)), src.bitDepth,
                             [&](std::size_t i) { return D(std::min<unsigned>(m[i], kTop)); });
    lut[p] = luts[p].data();
  }
  RunPlanar<S, D>(src, dst, lut, threads);
  return rc::Ok;
}

}  // namespace

Result ConvertToZel16(const SxImageBuf& source, SxImageBuf& destination,
                      const unsigned short* mapping0, const unsigned short* mapping1,
                      const unsigned short* mapping2, int threads) {
  const unsigned short* const mapping[3] = {mapping0, mapping1, mapping2};
  if (const Result r = CheckInterleaved(source, destination, mapping, 2, 2); ur::Failed(r))
    return r;
  try {
    std::vector<std::uint16_t> luts[3];
    const std::uint16_t* lut[3] = {nullptr, nullptr, nullptr};
    for (int c = 0; c < source.channels; ++c) {
      const unsigned short* m = mapping[c];
      luts[c] = BuildLookup<std::uint16_t>(2, source.bitDepth, [&](std::size_t i) { return m[i]; });
      lut[c] = luts[c].data();
    }
    RunInterleaved<std::uint16_t, std::uint16_t>(source, destination, lut, threads);
  } catch (const std::bad_alloc&) {
    return rc::Fail;
  }
  return rc::Ok;
}

Result ConvertToZel8(const SxImageBuf& source, SxImageBuf& destination,
                     const unsigned short* const mapping[3], const unsigned maximum[3],
                     ZelChannelNormalization normalization, int sourceBytes, int threads) {
  if (const Result r = CheckInterleaved(source, destination, mapping, sourceBytes, 1);
      ur::Failed(r))
    return r;
  unsigned divisor[3] = {maximum[0], maximum[1], maximum[2]};
  if (normalization == urs::zel::Together) {
    unsigned largest = 0;
    for (int c = 0; c < source.channels; ++c) largest = std::max(largest, maximum[c]);
    std::fill(divisor, divisor + 3, largest);
  }
  try {
    if (sourceBytes == 1)
      return ConvertToZel8Typed<std::uint8_t>(source, destination, mapping, divisor, threads);
    return ConvertToZel8Typed<std::uint16_t>(source, destination, mapping, divisor, threads);
  } catch (const std::bad_alloc&) {
    return rc::Fail;
  }
}

Result ConvertRawPlanar(const SxImageBuf& source, SxImageBuf& destination,
                        const unsigned short* const mapping[4], int sourceBytes,
                        int destinationBytes, int threads) {
  if (!IsPlanarRaw(source) || !HasSampleBytes(source, sourceBytes) || !HasUsableBitDepth(source))
    return rc::InvalidArg(1);
  if (!IsPlanarRaw(destination) || !SameSize(source, destination) ||
      !HasSampleBytes(destination, destinationBytes))
    return rc::InvalidArg(2);
  for (int p = 0; p < 4; ++p)
    if (!mapping[p]) return rc::InvalidArg(3 + p);
  try {
    if (sourceBytes == 1 && destinationBytes == 1)
      return ConvertPlanarTyped<std::uint8_t, std::uint8_t>(source, destination, mapping, threads);
    if (sourceBytes == 1)
      return ConvertPlanarTyped<std::uint8_t, std::uint16_t>(source, destination, mapping, threads);
    if (destinationBytes == 1)
      return ConvertPlanarTyped<std::uint16_t, std::uint8_t>(source, destination, mapping, threads);
    return ConvertPlanarTyped<std::uint16_t, std::uint16_t>(source, destination, mapping, threads);
  } catch (const std::bad_alloc&) {
    return rc::Fail;
  }
}

}  // namespace zel::cpu
