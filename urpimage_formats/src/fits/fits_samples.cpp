#include "fits/fits_samples.h"

#include <ur/bit_depth.h>
#include <ur/buffers.h>
#include <ur/channels.h>

#include <QtEndian>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>
#include <vector>

#include "fits/fits_cards.h"

namespace ur::fits {

namespace {

// Decoded images larger than this are refused whatever the file claims.
constexpr qint64 kMaxImageBytes = qint64(8) << 30;

template <typename T>
struct Tag {
  using type = T;
};

// Calls f(Tag<T>) with the C++ type of the sample type; false for types without one here.
template <typename F>
bool VisitSampleType(ExImageDataType type, F&& f) {
  switch (type) {
    case eImageDataInt8:
      f(Tag<std::int8_t>{});
      return true;
    case eImageDataUInt8:
      f(Tag<std::uint8_t>{});
      return true;
    case eImageDataInt16:
      f(Tag<std::int16_t>{});
      return true;
    case eImageDataUInt16:
      f(Tag<std::uint16_t>{});
      return true;
    case eImageDataInt32:
      f(Tag<std::int32_t>{});
      return true;
    case eImageDataUInt32:
      f(Tag<std::uint32_t>{});
      return true;
    case eImageDataFloat:
      f(Tag<float>{});
      return true;
    case eImageDataDouble:
      f(Tag<double>{});
      return true;
    default:
      return false;
  }
}

// The stored type of a BITPIX value: bytes are unsigned, wider integers signed.
template <typename F>
bool VisitStoredType(int bitpix, F&& f) {
  switch (bitpix) {
    case 8:
      f(Tag<std::uint8_t>{});
      return true;
    case 16:
      f(Tag<std::int16_t>{});
      return true;
    case 32:
      f(Tag<std::int32_t>{});
      return true;
    case -32:
      f(Tag<float>{});
      return true;
    case -64:
      f(Tag<double>{});
      return true;
    default:
      return false;
  }
}

template <typename T>
using Bits =
    std::conditional_t<sizeof(T) == 1, quint8,
                       std::conditional_t<sizeof(T) == 2, quint16,
                                          std::conditional_t<sizeof(T) == 4, quint32, quint64>>>;

template <typename T>
T LoadBigEndian(const unsigned char* p) {
  const Bits<T> bits = qFromBigEndian<Bits<T>>(p);
  T value;
  std::memcpy(&value, &bits, sizeof(T));
  return value;
}

template <typename T>
void StoreBigEndian(T value, unsigned char* p) {
  Bits<T> bits;
  std::memcpy(&bits, &value, sizeof(T));
  qToBigEndian<Bits<T>>(bits, p);
}

// value in the range of T; NaN becomes 0 for integer types.
template <typename T>
T Saturate(double value) {
  if constexpr (std::is_floating_point_v<T>) {
    return static_cast<T>(value);
  } else {
    if (std::isnan(value)) return 0;
    if (value <= double(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
    if (value >= double(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
    return static_cast<T>(value);
  }
}

template <typename Stored, typename Out>
void DecodeRow(const unsigned char* in, int width, const SxSampleFormat& f, Out* out, int step) {
  for (int x = 0; x < width; ++x) {
    double v = double(LoadBigEndian<Stored>(in + std::size_t(x) * sizeof(Stored)));
    if (f.scaled) v = v * f.bscale + f.bzero;
    out[std::size_t(x) * step] = Saturate<Out>(v);
  }
}

bool ImageFitsCeiling(qint64 width, qint64 height, qint64 planes, ExImageDataType type) {
  const qint64 sampleBytes = BytesPerSample(type);
  if (width > INT_MAX || height > INT_MAX || sampleBytes == 0) return false;
  const qint64 rowBytes = width * planes * sampleBytes;  // width <= INT_MAX, planes <= 4
  return rowBytes <= INT_MAX / 2 && rowBytes <= kMaxImageBytes / height;
}

}  // namespace

bool ReadImageData(QIODevice& device, const SxUnitHeader& header, const SxSampleFormat& format,
                   SxImageBuf& image, QString& error) {
  const qint64 width = header.axes[0];
  const qint64 height = header.axes[1];
  const qint64 planes = header.naxis == 3 ? header.axes[2] : 1;
  if (!ImageFitsCeiling(width, height, planes, format.type)) {
    error = QStringLiteral("an image of %1 x %2 x %3 samples exceeds the reader's limit")
                .arg(width)
                .arg(height)
                .arg(planes);
    return false;
  }
  ScopedImageBuf buf;
  const int storedBits = std::abs(header.bitpix);
  const int depth = header.bitpix > 0 ? storedBits : BytesPerSample(format.type) * 8;
  const Result r = AllocBuffer(buf.get(), int(width), int(height), int(planes), depth, format.type);
  if (Failed(r)) {
    error = QStringLiteral("there is not enough memory for its image");
    return false;
  }
  const int storedBytes = storedBits / 8;
  std::vector<unsigned char> row(std::size_t(width) * storedBytes);
  const int channels = int(planes);
  bool decoded = true;
  for (int p = 0; p < channels && decoded; ++p) {
    const int channel = ChannelIndexLogicalToPhysical(p, buf.get());
    for (int j = 0; j < buf->height && decoded; ++j) {
      if (device.read(reinterpret_cast<char*>(row.data()), qint64(row.size())) !=
          qint64(row.size())) {
        error = QStringLiteral("its data cannot be read");
        return false;
      }
      unsigned char* target = RowPtr(buf.get(), buf->height - 1 - j);
      decoded = VisitStoredType(header.bitpix, [&](auto stored) {
        using Stored = typename decltype(stored)::type;
        VisitSampleType(format.type, [&](auto out) {
          using Out = typename decltype(out)::type;
          DecodeRow<Stored>(row.data(), buf->width, format,
                            reinterpret_cast<Out*>(target) + channel, channels);
        });
      });
    }
  }
  if (!decoded) {
    error = QStringLiteral("BITPIX %1 is not supported").arg(header.bitpix);
    return false;
  }
  if (format.type == eImageDataUInt16) DetectColorBitDepth(buf.get());
  image = buf.release();
  return true;
}

int BitpixOf(ExImageDataType type) {
  switch (type) {
    case eImageDataInt8:
    case eImageDataUInt8:
      return 8;
    case eImageDataInt16:
    case eImageDataUInt16:
      return 16;
    case eImageDataInt32:
    case eImageDataUInt32:
      return 32;
    case eImageDataFloat:
      return -32;
    case eImageDataDouble:
      return -64;
    default:
      return 0;
  }
}

double StorageZeroOf(ExImageDataType type) {
  switch (type) {
    case eImageDataInt8:
      return -128.0;
    case eImageDataUInt16:
      return 32768.0;
    case eImageDataUInt32:
      return 2147483648.0;
    default:
      return 0.0;
  }
}

namespace {

// Stored = sample - BZERO, in the stored type of the sample's width.
template <typename T>
void EncodeRow(const unsigned char* in, std::size_t step, int width, unsigned char* out) {
  constexpr bool kOffset = std::is_same_v<T, std::int8_t> || std::is_same_v<T, std::uint16_t> ||
                           std::is_same_v<T, std::uint32_t>;
  using Stored = std::conditional_t<
      std::is_floating_point_v<T>, T,
      std::conditional_t<sizeof(T) == 1, std::uint8_t,
                         std::conditional_t<sizeof(T) == 2, std::int16_t, std::int32_t>>>;
  for (int x = 0; x < width; ++x) {
    T v;
    std::memcpy(&v, in + std::size_t(x) * step, sizeof(T));
    Stored s;
    if constexpr (kOffset) {
      // Flipping the top bit subtracts the offset of the three conventions exactly.
      Bits<T> bits;
      std::memcpy(&bits, &v, sizeof(T));
      bits ^= Bits<T>(Bits<T>(1) << (sizeof(T) * 8 - 1));
      std::memcpy(&s, &bits, sizeof(T));
    } else {
      std::memcpy(&s, &v, sizeof(T));
    }
    StoreBigEndian<Stored>(s, out + std::size_t(x) * sizeof(T));
  }
}

}  // namespace

bool WriteImageData(QIODevice& device, const SxImageBuf& image) {
  const int sampleBytes = BytesPerSample(image.dataType);
  if (BitpixOf(image.dataType) == 0 || !HasPixels(image)) return false;
  std::vector<unsigned char> row(std::size_t(image.width) * sampleBytes);
  const std::size_t step = image.planar ? std::size_t(sampleBytes)
                                        : std::size_t(sampleBytes) * std::size_t(image.channels);
  qint64 written = 0;
  for (int p = 0; p < image.channels; ++p) {
    const int channel = ChannelIndexLogicalToPhysical(p, image);
    for (int y = image.height - 1; y >= 0; --y) {
      const unsigned char* in = image.planar
                                    ? RowPtr(image, y, channel)
                                    : RowPtr(image, y) + std::size_t(channel) * sampleBytes;
      VisitSampleType(image.dataType, [&](auto tag) {
        EncodeRow<typename decltype(tag)::type>(in, step, image.width, row.data());
      });
      if (device.write(reinterpret_cast<const char*>(row.data()), qint64(row.size())) !=
          qint64(row.size()))
        return false;
      written += qint64(row.size());
    }
  }
  const QByteArray padding(int(PaddedToBlocks(written) - written), '\0');
  return device.write(padding) == padding.size();
}

}  // namespace ur::fits
