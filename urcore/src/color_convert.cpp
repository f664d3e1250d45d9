#include <ur/color_convert.h>

#include <ur/bayer.h>
#include <ur/bit_depth.h>
#include <ur/raw_planar.h>

#include "convert_layout.h"
#include "sample_dispatch.h"

#include <QDebug>
#include <QRect>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

namespace ur {

namespace {

using detail::ChannelWalk;
using detail::WalkLogical;

constexpr int kRgbChannels = 3;
constexpr int kRgbaChannels = 4;
constexpr double kTop8 = 255.0;

bool IsColour(const SxImageBuf& b) {
  return b.channels == kRgbChannels || b.channels == kRgbaChannels;
}

bool IsReal(ExImageDataType type) { return detail::VisitReal(type, [](auto) {}); }

bool IsInterleavedRgb8(const SxImageBuf& b) {
  return HasPixels(b) && b.dataType == eImageDataUInt8 && b.channels == kRgbChannels && !b.planar;
}

// t (already scaled to the target range) rounded and saturated to 0..top; NaN becomes 0.
template <typename U>
U RoundToRange(double t, double top) {
  if (!(t > 0.0)) return U(0);
  if (t >= top) return U(top);
  return U(t + 0.5);
}

// Smallest and largest finite sample of the channels [first, last) of a floating image.
template <typename T>
std::pair<double, double> FiniteRange(const SxImageBuf& buf, int first, int last) {
  double lo = std::numeric_limits<double>::infinity();
  double hi = -lo;
  for (int c = first; c < last; ++c) {
    const ChannelWalk w = WalkLogical(buf, c);
    const std::size_t rowSamples = std::size_t(buf.width) * w.step;
    for (int y = 0; y < buf.height; ++y) {
      const T* row = w.row<const T>(y);
      for (std::size_t i = 0; i < rowSamples; i += w.step) {
        const double v = double(row[i]);
        // v - v is 0 for finite values and NaN for infinities and NaN, whose comparisons fail.
        const bool finite = (v - v) == 0.0;
        lo = (finite && v < lo) ? v : lo;
        hi = (finite && v > hi) ? v : hi;
      }
    }
  }
  if (lo > hi) return {0.0, 0.0};  // no finite sample: a flat image
  return {lo, hi};
}

// Maps samples of type T to 8 bits: integers by shifting from their bit depth, floating
// samples linearly from the image's finite minimum..maximum.
template <typename T>
struct ToByte {
  int rightShift = 0;
  int leftShift = 0;
  double lo = 0.0;
  double scale = 0.0;

  ToByte(const SxImageBuf& src, int channelsUsed) {
    if constexpr (std::is_floating_point_v<T>) {
      const auto [mn, mx] = FiniteRange<T>(src, 0, channelsUsed);
      lo = mn;
      scale = mx > mn ? kTop8 / (mx - mn) : 0.0;
    } else {
      const int depth = detail::EffectiveBitDepth(src.bitDepth, int(sizeof(T)) * 8);
      rightShift = std::max(0, depth - 8);
      leftShift = std::max(0, 8 - depth);
    }
  }

  std::uint8_t operator()(T v) const {
    if constexpr (std::is_floating_point_v<T>) {
      return RoundToRange<std::uint8_t>((double(v) - lo) * scale, kTop8);
    } else {
      // Samples above the stated depth saturate instead of wrapping.
      return std::uint8_t(std::min((unsigned(v) >> rightShift) << leftShift, 255u));
    }
  }
};

template <typename T>
void ToRgb8Impl(const SxImageBuf& src, SxImageBuf& dst) {
  const bool grey = src.channels == 1;
  const ToByte<T> toByte(src, grey ? 1 : kRgbChannels);
  for (int c = 0; c < (grey ? 1 : kRgbChannels); ++c) {
    const ChannelWalk in = WalkLogical(src, c);
    const int out = ChannelIndexLogicalToPhysical(c, dst);
    for (int y = 0; y < src.height; ++y) {
      const T* s = in.row<const T>(y);
      std::uint8_t* d = RowPtr(dst, y);
      if (grey) {
        for (int x = 0; x < src.width; ++x) {
          const std::uint8_t v = toByte(s[std::size_t(x) * in.step]);
          d[3 * std::size_t(x)] = d[3 * std::size_t(x) + 1] = d[3 * std::size_t(x) + 2] = v;
        }
      } else {
        for (int x = 0; x < src.width; ++x)
          d[3 * std::size_t(x) + out] = toByte(s[std::size_t(x) * in.step]);
      }
    }
  }
}

// Plane i of dst holds site (i % pw, i / pw) of every pw x ph cell of the mosaic.
template <typename T>
void SplitMosaicImpl(const SxImageBuf& src, SxImageBuf& dst, int pw, int ph) {
  for (int i = 0; i < pw * ph; ++i) {
    const int sx = i % pw;
    const int sy = i / pw;
    for (int y = 0; y < dst.height; ++y) {
      const T* s = reinterpret_cast<const T*>(RowPtr(src, y * ph + sy)) + sx;
      T* d = reinterpret_cast<T*>(RowPtr(dst, y, i));
      for (int x = 0; x < dst.width; ++x) d[x] = s[std::size_t(x) * pw];
    }
  }
}

template <typename T>
void CopyChannelsImpl(const SxImageBuf& src, SxImageBuf& dst) {
  detail::MapChannels<T, T>(src, dst, [](int) { return [](T v) { return v; }; });
}

Result SplitBayer2x2(const SxImageBuf& src, SxImageBuf& dst) {
  const int bytes = BytesPerSample(src.dataType);
  if ((bytes != 1 && bytes != 2) || src.width < 2 || src.height < 2) return rc::InvalidArg(1);
  if (!HasPixels(dst) || !dst.planar || dst.channels != 4 || dst.dataType != src.dataType ||
      dst.width != src.width / 2 || dst.height != src.height / 2)
    return rc::InvalidArg(2);
  const Result r =
      ConvertRawToPlanarRaw(src, QRect(0, 0, src.width, src.height), src.bayerGrid, dst);
  if (Failed(r)) return r == rc::InvalidArg(4) ? rc::InvalidArg(2) : rc::InvalidArg(1);
  dst.packCount = 4;
  return rc::Ok;
}

Result SplitGeneralMosaic(const SxImageBuf& src, SxImageBuf& dst) {
  const int pw = src.patternWidth;
  const int ph = src.patternHeight;
  if (pw < 1 || ph < 1 || src.width < pw || src.height < ph) return rc::InvalidArg(1);
  if (!HasPixels(dst) || !dst.planar || dst.channels != pw * ph ||
      dst.dataType != src.dataType || dst.width != src.width / pw || dst.height != src.height / ph)
    return rc::InvalidArg(2);
  detail::VisitReal(src.dataType, [&](auto tag) {
    SplitMosaicImpl<decltype(tag)>(src, dst, pw, ph);
  });
  dst.packCount = pw * ph;
  return rc::Ok;
}

Result SplitChannels(const SxImageBuf& src, SxImageBuf& dst) {
  if (!HasPixels(dst) || !dst.planar || dst.channels != src.channels ||
      dst.dataType != src.dataType || dst.width != src.width || dst.height != src.height)
    return rc::InvalidArg(2);
  detail::VisitReal(src.dataType, [&](auto tag) { CopyChannelsImpl<decltype(tag)>(src, dst); });
  return rc::Ok;
}

// Per-channel linear maps of ConvertDoubleToU: out = (v - lo[c]) * scale[c].
struct ChannelRanges {
  std::vector<double> lo;
  std::vector<double> scale;
};

ChannelRanges MinMaxRanges(const SxImageBuf& src, double top, const double* minValue,
                           const double* maxValue, bool perChannel) {
  const int groups = perChannel ? src.channels : 1;
  ChannelRanges r{std::vector<double>(src.channels), std::vector<double>(src.channels)};
  for (int g = 0; g < groups; ++g) {
    const int first = perChannel ? g : 0;
    const int last = perChannel ? g + 1 : src.channels;
    std::pair<double, double> range{0.0, 0.0};
    if (!minValue || !maxValue) range = FiniteRange<double>(src, first, last);
    const double lo = minValue ? *minValue : range.first;
    const double hi = maxValue ? *maxValue : range.second;
    for (int c = first; c < last; ++c) {
      r.lo[c] = lo;
      r.scale[c] = hi > lo ? top / (hi - lo) : 0.0;  // an empty range maps to 0
    }
  }
  return r;
}

// True when every sample is a whole number within 0..top (NaN and infinities are not).
bool AllWholeWithin(const SxImageBuf& src, double top) {
  for (int c = 0; c < src.channels; ++c) {
    const ChannelWalk w = WalkLogical(src, c);
    const std::size_t rowSamples = std::size_t(src.width) * w.step;
    for (int y = 0; y < src.height; ++y) {
      const double* row = w.row<const double>(y);
      for (std::size_t i = 0; i < rowSamples; i += w.step) {
        const double v = row[i];
        if (!(v >= 0.0 && v <= top) || v != std::floor(v)) return false;
      }
    }
  }
  return true;
}

// Says which range the stretch of eNormalizeKeepIntegers maps, since it changes the values.
void WarnRescaled(const SxImageBuf& src, double top, const double* minValue,
                  const double* maxValue, bool perChannel) {
  const int groups = perChannel ? src.channels : 1;
  for (int g = 0; g < groups; ++g) {
    const std::pair<double, double> range =
        perChannel ? FiniteRange<double>(src, g, g + 1) : FiniteRange<double>(src, 0, src.channels);
    const double lo = minValue ? *minValue : range.first;
    const double hi = maxValue ? *maxValue : range.second;
    const QString channel = perChannel ? QStringLiteral(" of channel %1").arg(g) : QString();
    qWarning().noquote() << QStringLiteral("Sample values%1 rescaled from [%2, %3] to 0..%4")
                                .arg(channel)
                                .arg(lo, 0, 'g', 10)
                                .arg(hi, 0, 'g', 10)
                                .arg(top, 0, 'f', 0);
  }
}

template <typename U>
void DoubleToUImpl(const SxImageBuf& src, SxImageBuf& dst, int normalization,
                   const double* minValue, const double* maxValue, bool perChannel) {
  const double top = std::ldexp(1.0, dst.bitDepth) - 1.0;
  const bool keep = normalization == eNormalizeKeepIntegers && AllWholeWithin(src, top);
  if (normalization == eNormalizeClamp || keep) {
    detail::MapChannels<double, U>(src, dst, [top](int) {
      return [top](double v) { return RoundToRange<U>(v, top); };
    });
    // The values are the samples: their largest one tells how many bits they use.
    if (keep) DetectColorBitDepth(dst);
    return;
  }
  if (normalization == eNormalizeKeepIntegers)
    WarnRescaled(src, top, minValue, maxValue, perChannel);
  const ChannelRanges ranges = MinMaxRanges(src, top, minValue, maxValue, perChannel);
  detail::MapChannels<double, U>(src, dst, [&ranges, top](int c) {
    const double lo = ranges.lo[c];
    const double scale = ranges.scale[c];
    return [lo, scale, top](double v) { return RoundToRange<U>((v - lo) * scale, top); };
  });
}

}  // namespace

Result SwapRedAndBlue(SxImageBuf& buf) {
  if (!HasPixels(buf) || buf.planar || !IsColour(buf) || !IsReal(buf.dataType))
    return rc::InvalidArg(1);
  detail::VisitReal(buf.dataType, [&](auto tag) {
    using T = decltype(tag);
    for (int y = 0; y < buf.height; ++y) {
      T* row = reinterpret_cast<T*>(RowPtr(buf, y));
      for (int x = 0; x < buf.width; ++x) {
        T* pixel = row + std::size_t(x) * buf.channels;
        std::swap(pixel[0], pixel[2]);
      }
    }
  });
  return rc::Ok;
}

Result ConvertPlanarToRGB(const SxImageBuf& src, SxImageBuf& dst) {
  if (!HasPixels(src) || !src.planar || !IsColour(src) || !IsReal(src.dataType))
    return rc::InvalidArg(1);
  if (!HasPixels(dst) || dst.planar || dst.channels != src.channels ||
      dst.dataType != src.dataType || dst.width != src.width || dst.height != src.height)
    return rc::InvalidArg(2);
  detail::VisitReal(src.dataType, [&](auto tag) { CopyChannelsImpl<decltype(tag)>(src, dst); });
  return rc::Ok;
}

Result ConvertRGBA8ToRGB8(const SxImageBuf& src, SxImageBuf& dst) {
  if (!HasPixels(src) || src.dataType != eImageDataUInt8 || src.channels != kRgbaChannels ||
      src.planar)
    return rc::InvalidArg(1);
  if (!IsInterleavedRgb8(dst) || dst.width != src.width || dst.height != src.height)
    return rc::InvalidArg(2);
  // Both images keep B, G, R in the first three bytes; the alpha byte is the fourth.
  for (int y = 0; y < src.height; ++y) {
    const std::uint8_t* s = RowPtr(src, y);
    std::uint8_t* d = RowPtr(dst, y);
    for (int x = 0; x < src.width; ++x) {
      d[3 * std::size_t(x)] = s[4 * std::size_t(x)];
      d[3 * std::size_t(x) + 1] = s[4 * std::size_t(x) + 1];
      d[3 * std::size_t(x) + 2] = s[4 * std::size_t(x) + 2];
    }
  }
  return rc::Ok;
}

Result ConvertToRGB8(const SxImageBuf& src, SxImageBuf& dst) {
  if (!HasPixels(src) || (src.channels != 1 && !IsColour(src))) return rc::InvalidArg(1);
  if (!IsInterleavedRgb8(dst) || dst.width != src.width || dst.height != src.height)
    return rc::InvalidArg(2);
  switch (src.dataType) {
    case eImageDataUInt8: ToRgb8Impl<std::uint8_t>(src, dst); break;
    case eImageDataUInt16: ToRgb8Impl<std::uint16_t>(src, dst); break;
    case eImageDataFloat: ToRgb8Impl<float>(src, dst); break;
    case eImageDataDouble: ToRgb8Impl<double>(src, dst); break;
    default: return rc::InvalidArg(1);
  }
  return rc::Ok;
}

Result ConvertPackPixelToPlanar(const SxImageBuf& src, SxImageBuf& dst) {
  if (!HasPixels(src) || src.planar || !IsReal(src.dataType)) return rc::InvalidArg(1);
  if (src.channels == 1 && IsBayer2x2(src.bayerGrid)) return SplitBayer2x2(src, dst);
  if (src.channels == 1 && src.bayerGrid == eBayerMosaic) return SplitGeneralMosaic(src, dst);
  return SplitChannels(src, dst);
}

Result ConvertDoubleToU(const SxImageBuf& src, SxImageBuf& dst, int normalization,
                        const double* minValue, const double* maxValue, bool perChannel) {
  if (!HasPixels(src) || src.dataType != eImageDataDouble) return rc::InvalidArg(1);
  const int typeBits = BytesPerSample(dst.dataType) * 8;
  const bool unsignedDst = dst.dataType == eImageDataUInt8 || dst.dataType == eImageDataUInt16 ||
                           dst.dataType == eImageDataUInt32;
  if (!HasPixels(dst) || !unsignedDst || !detail::SameGeometry(src, dst) || dst.bitDepth < 0 ||
      dst.bitDepth > typeBits)
    return rc::InvalidArg(2);
  if (normalization != eNormalizeClamp && normalization != eNormalizeKeepIntegers &&
      normalization != eNormalizeMinMax)
    return rc::InvalidArg(3);

  if (dst.bitDepth == 0) dst.bitDepth = typeBits;
  switch (dst.dataType) {
    case eImageDataUInt8:
      DoubleToUImpl<std::uint8_t>(src, dst, normalization, minValue, maxValue, perChannel);
      break;
    case eImageDataUInt16:
      DoubleToUImpl<std::uint16_t>(src, dst, normalization, minValue, maxValue, perChannel);
      break;
    default:
      DoubleToUImpl<std::uint32_t>(src, dst, normalization, minValue, maxValue, perChannel);
      break;
  }
  return rc::Ok;
}

}  // namespace ur
