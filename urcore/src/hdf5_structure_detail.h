#pragma once
// Bounds-checked decoding of HDF5 file structures, shared by the structure walk and the message
// decoders. Every decoder works on a span of the file and fails, with the reason, when a size it
// reads does not fit the span.

#include <QString>

#include <cstdint>

namespace ur::hdf5check {

// A stretch of the file's bytes.
struct SxSpan {
  const unsigned char* data = nullptr;
  std::uint64_t size = 0;

  bool has(std::uint64_t at, std::uint64_t bytes) const { return at <= size && bytes <= size - at; }
  // A little-endian unsigned number of 1 to 8 bytes; has() must hold for it.
  std::uint64_t number(std::uint64_t at, int bytes) const {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | data[at + std::uint64_t(i)];
    return value;
  }
  SxSpan sub(std::uint64_t at, std::uint64_t bytes) const { return {data + at, bytes}; }
};

// Past this, element counts mean nothing and products could wrap.
constexpr std::uint64_t kMostElements = std::uint64_t(1) << 62;

// a * b, or kMostElements when the product would pass it.
inline std::uint64_t Times(std::uint64_t a, std::uint64_t b) {
  if (a != 0 && b > kMostElements / a) return kMostElements;
  return a * b;
}

// The sizes of addresses and lengths that the superblock sets for the whole file.
struct SxSizes {
  int offsets = 8;
  int lengths = 8;
};

// How many bytes a message body consumed and what it tells the walk.
struct SxDatatype {
  std::uint64_t elementBytes = 0;
};
struct SxDataspace {
  std::uint64_t elements = 0;
  int rank = 0;
};

// Each returns an empty text when the body fits, else the reason. used receives the bytes the
// encoding took, for messages that embed one another.
QString CheckDatatype(const SxSpan& body, int depth, std::uint64_t& used, SxDatatype& type);
QString CheckDataspace(const SxSpan& body, const SxSizes& sizes, SxDataspace& space);
QString CheckAttribute(const SxSpan& body, const SxSizes& sizes);
QString CheckFilterPipeline(const SxSpan& body);
QString CheckFillValue(const SxSpan& body, bool oldStyle);

}  // namespace ur::hdf5check
