#include "hdf5_structure_detail.h"

namespace ur::hdf5check {

namespace {

constexpr int kMostNesting = 8;
constexpr int kMostRank = 32;
std::uint64_t Padded8(std::uint64_t bytes) { return (bytes + 7) / 8 * 8; }

// The length of the NUL-terminated text at at, its terminator included; 0 when the span ends
// first. The library copies such texts with strdup.
std::uint64_t TextBytes(const SxSpan& s, std::uint64_t at) {
  for (std::uint64_t i = at; i < s.size; ++i)
    if (s.data[i] == 0) return i - at + 1;
  return 0;
}

// The bytes a compound member's offset takes in a version 3 datatype: as few as hold the size.
int OffsetBytes(std::uint64_t typeBytes) {
  int bytes = 1;
  while (bytes < 8 && (typeBytes >> (8 * bytes)) != 0) ++bytes;
  return bytes;
}

QString CheckBits(std::uint64_t typeBytes, std::uint64_t offset, std::uint64_t precision) {
  if (typeBytes == 0 || precision == 0 || offset + precision > 8 * typeBytes)
    return QStringLiteral("a datatype's bits do not fit its size");
  return QString();
}

QString CheckCompound(const SxSpan& body, int version, std::uint64_t members, std::uint64_t size,
                      int depth, std::uint64_t& pos) {
  if (members == 0) return QStringLiteral("a compound datatype has no members");
  const QString cut = QStringLiteral("a compound datatype is cut short");
  for (std::uint64_t m = 0; m < members; ++m) {
    const std::uint64_t name = TextBytes(body, pos);
    if (name == 0) return QStringLiteral("a compound member's name is not terminated");
    pos += version < 3 ? Padded8(name) : name;
    const int offsetBytes = version < 3 ? 4 : OffsetBytes(size);
    if (!body.has(pos, std::uint64_t(offsetBytes))) return cut;
    const std::uint64_t offset = body.number(pos, offsetBytes);
    pos += std::uint64_t(offsetBytes);
    std::uint64_t count = 1;
    if (version == 1) {
      // Dimensionality, reserved bytes, a permutation and four dimension sizes.
      if (!body.has(pos, 28)) return cut;
      const int rank = body.data[pos];
      if (rank > 4) return QStringLiteral("a compound member has more than four dimensions");
      for (int d = 0; d < rank; ++d) count = Times(count, body.number(pos + 12 + 4 * d, 4));
      pos += 28;
    }
    if (!body.has(pos, 0)) return cut;
    std::uint64_t used = 0;
    SxDatatype member;
    const QString problem = CheckDatatype(body.sub(pos, body.size - pos), depth + 1, used, member);
    if (!problem.isEmpty()) return problem;
    pos += used;
    const std::uint64_t bytes = Times(member.elementBytes, count);
    if (offset > size || bytes > size - offset)
      return QStringLiteral("a compound member lies outside its datatype");
  }
  return QString();
}

QString CheckEnum(const SxSpan& body, int version, std::uint64_t members, int depth,
                  std::uint64_t& pos) {
  std::uint64_t used = 0;
  SxDatatype base;
  const QString problem = CheckDatatype(body.sub(pos, body.size - pos), depth + 1, used, base);
  if (!problem.isEmpty()) return problem;
  pos += used;
  for (std::uint64_t m = 0; m < members; ++m) {
    const std::uint64_t name = TextBytes(body, pos);
    if (name == 0) return QStringLiteral("an enumeration's name is not terminated");
    pos += version < 3 ? Padded8(name) : name;
  }
  const std::uint64_t values = Times(members, base.elementBytes);
  if (!body.has(pos, values)) return QStringLiteral("an enumeration's values are cut short");
  pos += values;
  return QString();
}

QString CheckArray(const SxSpan& body, int version, int depth, std::uint64_t& pos) {
  const QString cut = QStringLiteral("an array datatype is cut short");
  if (version < 2) return QStringLiteral("an array datatype has an unknown version");
  if (!body.has(pos, 1)) return cut;
  const int rank = body.data[pos];
  if (rank == 0 || rank > kMostRank) return QStringLiteral("an array datatype's rank is damaged");
  pos += version == 2 ? 4 : 1;
  // Dimension sizes, and in version 2 a permutation of as many entries.
  const std::uint64_t fields = std::uint64_t(rank) * (version == 2 ? 8 : 4);
  if (!body.has(pos, fields)) return cut;
  for (int d = 0; d < rank; ++d)
    if (body.number(pos + 4 * std::uint64_t(d), 4) == 0)
      return QStringLiteral("an array datatype has an empty dimension");
  pos += fields;
  std::uint64_t used = 0;
  SxDatatype base;
  const QString problem = CheckDatatype(body.sub(pos, body.size - pos), depth + 1, used, base);
  pos += used;
  return problem;
}

}  // namespace

QString CheckDatatype(const SxSpan& body, int depth, std::uint64_t& used, SxDatatype& type) {
  if (depth > kMostNesting) return QStringLiteral("a datatype is nested too deeply");
  if (!body.has(0, 8)) return QStringLiteral("a datatype is cut short");
  const int typeClass = body.data[0] & 0x0f;
  const int version = body.data[0] >> 4;
  const std::uint64_t bits = body.number(1, 3);
  const std::uint64_t size = body.number(4, 4);
  if (version < 1 || version > 4) return QStringLiteral("a datatype has an unknown version");
  std::uint64_t pos = 8;
  const QString cut = QStringLiteral("a datatype is cut short");
  QString problem;
  switch (typeClass) {
    case 0:  // fixed-point
    case 4:  // bit field
      if (!body.has(pos, 4)) return cut;
      problem = CheckBits(size, body.number(pos, 2), body.number(pos + 2, 2));
      pos += 4;
      break;
    case 1: {  // floating point
      if (!body.has(pos, 12)) return cut;
      const std::uint64_t precision = body.number(pos + 2, 2);
      const unsigned exponentAt = body.data[pos + 4], exponentBits = body.data[pos + 5];
      const unsigned mantissaAt = body.data[pos + 6], mantissaBits = body.data[pos + 7];
      problem = CheckBits(size, body.number(pos, 2), precision);
      if (problem.isEmpty() &&
          (exponentBits == 0 || mantissaBits == 0 || exponentAt + exponentBits > precision ||
           mantissaAt + mantissaBits > precision))
        problem = QStringLiteral("a floating-point datatype's fields do not fit its bits");
      pos += 12;
      break;
    }
    case 2:  // time
      if (!body.has(pos, 2)) return cut;
      pos += 2;
      break;
    case 3:  // string
    case 7:  // reference
      break;
    case 5: {  // opaque: a tag, its length in the class bits
      const std::uint64_t tag = bits & 0xff;
      if (!body.has(pos, tag)) return cut;
      pos += tag;
      break;
    }
    case 6:
      problem = CheckCompound(body, version, bits & 0xffff, size, depth, pos);
      break;
    case 8:
      problem = CheckEnum(body, version, bits & 0xffff, depth, pos);
      break;
    case 9: {  // variable length: the base type follows
      std::uint64_t baseUsed = 0;
      SxDatatype base;
      problem = CheckDatatype(body.sub(pos, body.size - pos), depth + 1, baseUsed, base);
      pos += baseUsed;
      break;
    }
    case 10:
      problem = CheckArray(body, version, depth, pos);
      break;
    default:
      return QStringLiteral("a datatype has an unknown class");
  }
  if (!problem.isEmpty()) return problem;
  if (size == 0) return QStringLiteral("a datatype has no size");
  used = pos;
  type.elementBytes = size;
  return QString();
}

QString CheckDataspace(const SxSpan& body, const SxSizes& sizes, SxDataspace& space) {
  const QString cut = QStringLiteral("a dataspace is cut short");
  if (!body.has(0, 4)) return cut;
  const int version = body.data[0];
  const int rank = body.data[1];
  const int flags = body.data[2];
  if (rank > kMostRank) return QStringLiteral("a dataspace has more than 32 dimensions");
  std::uint64_t pos = 0;
  int kind = 1;  // simple
  if (version == 1) {
    pos = 8;
    if (rank == 0) kind = 0;  // scalar
  } else if (version == 2) {
    pos = 4;
    kind = body.data[3];
    if (kind > 2) return QStringLiteral("a dataspace has an unknown type");
  } else {
    return QStringLiteral("a dataspace has an unknown version");
  }
  const std::uint64_t L = std::uint64_t(sizes.lengths);
  const std::uint64_t arrays = 1 + (flags & 1 ? 1 : 0) + (version == 1 && (flags & 2) ? 1 : 0);
  if (!body.has(pos, arrays * L * std::uint64_t(rank))) return cut;
  std::uint64_t elements = 1;
  const std::uint64_t unlimited =
      sizes.lengths == 8 ? ~std::uint64_t(0) : (std::uint64_t(1) << (8 * L)) - 1;
  for (int d = 0; d < rank; ++d) {
    const std::uint64_t dim = body.number(pos + L * std::uint64_t(d), sizes.lengths);
    elements = Times(elements, dim);
    if (flags & 1) {
      const std::uint64_t most = body.number(pos + L * std::uint64_t(rank + d), sizes.lengths);
      if (most != unlimited && most < dim)
        return QStringLiteral("a dataspace is larger than its own limit");
    }
  }
  if (elements >= kMostElements) return QStringLiteral("a dataspace claims too many elements");
  space.rank = rank;
  space.elements = kind == 0 ? 1 : kind == 2 ? 0 : elements;
  return QString();
}

QString CheckAttribute(const SxSpan& body, const SxSizes& sizes) {
  const QString cut = QStringLiteral("an attribute is cut short");
  if (!body.has(0, 8)) return cut;
  const int version = body.data[0];
  if (version < 1 || version > 3) return QStringLiteral("an attribute has an unknown version");
  const int flags = version == 1 ? 0 : body.data[1];
  if (flags & ~3) return QStringLiteral("an attribute has unknown flags");
  const std::uint64_t nameBytes = body.number(2, 2);
  const std::uint64_t typeBytes = body.number(4, 2);
  const std::uint64_t spaceBytes = body.number(6, 2);
  // Version 1 pads each part to eight bytes.
  const auto step = [version](std::uint64_t bytes) {
    return version == 1 ? Padded8(bytes) : bytes;
  };
  std::uint64_t pos = version == 3 ? 9 : 8;
  if (nameBytes == 0 || !body.has(pos, step(nameBytes))) return cut;
  if (body.data[pos + nameBytes - 1] != 0)
    return QStringLiteral("an attribute's name is not terminated");
  pos += step(nameBytes);
  if (!body.has(pos, step(typeBytes))) return cut;
  SxDatatype type;
  const bool typeShared = flags & 1;
  if (!typeShared) {
    std::uint64_t used = 0;
    const QString problem = CheckDatatype(body.sub(pos, typeBytes), 0, used, type);
    if (!problem.isEmpty()) return problem;
  }
  pos += step(typeBytes);
  if (!body.has(pos, step(spaceBytes))) return cut;
  SxDataspace space;
  if (!(flags & 2)) {
    const QString problem = CheckDataspace(body.sub(pos, spaceBytes), sizes, space);
    if (!problem.isEmpty()) return problem;
  }
  pos += step(spaceBytes);
  // The library copies elements x element size bytes from here.
  if (!typeShared && !(flags & 2) && !body.has(pos, Times(space.elements, type.elementBytes)))
    return QStringLiteral("an attribute's data runs past its message");
  return QString();
}

QString CheckFilterPipeline(const SxSpan& body) {
  const QString cut = QStringLiteral("a filter pipeline is cut short");
  if (!body.has(0, 2)) return cut;
  const int version = body.data[0];
  const int filters = body.data[1];
  if (version != 1 && version != 2)
    return QStringLiteral("a filter pipeline has an unknown version");
  if (filters > 32) return QStringLiteral("a filter pipeline has more than 32 filters");
  std::uint64_t pos = version == 1 ? 8 : 2;
  for (int f = 0; f < filters; ++f) {
    if (!body.has(pos, 2)) return cut;
    const std::uint64_t id = body.number(pos, 2);
    std::uint64_t nameBytes = 0;
    if (version == 1 || id >= 256) {
      if (!body.has(pos, 4)) return cut;
      nameBytes = body.number(pos + 2, 2);
      pos += 4;
    } else {
      pos += 2;
    }
    if (!body.has(pos, 4)) return cut;
    const std::uint64_t values = body.number(pos + 2, 2);
    pos += 4;
    if (nameBytes > 0) {
      if (!body.has(pos, nameBytes) || TextBytes(body.sub(pos, nameBytes), 0) == 0)
        return QStringLiteral("a filter's name is not terminated");
      pos += version == 1 ? Padded8(nameBytes) : nameBytes;
    }
    // Version 1 pads an odd number of client values to eight bytes.
    const std::uint64_t valueBytes = 4 * (values + (version == 1 ? values % 2 : 0));
    if (!body.has(pos, valueBytes)) return cut;
    pos += valueBytes;
  }
  return QString();
}

QString CheckFillValue(const SxSpan& body, bool oldStyle) {
  const QString cut = QStringLiteral("a fill value is cut short");
  std::uint64_t pos = 0;
  bool sized = true;
  if (!oldStyle) {
    if (!body.has(0, 2)) return cut;
    const int version = body.data[0];
    if (version == 1 || version == 2) {
      if (!body.has(0, 4)) return cut;
      sized = version == 1 || body.data[3] != 0;
      pos = 4;
    } else if (version == 3) {
      sized = body.data[1] & 0x20;
      pos = 2;
    } else {
      return QStringLiteral("a fill value has an unknown version");
    }
  }
  if (!sized) return QString();
  if (!body.has(pos, 4) || !body.has(pos + 4, body.number(pos, 4))) return cut;
  return QString();
}

}  // namespace ur::hdf5check
