#include "matlab/mat_precheck.h"

#include <ur/hdf5_structure.h>

#include <QFile>

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace urs::matlab::detail {

namespace {

constexpr qint64 kHeaderBytes = 128;
constexpr qint64 kTagBytes = 8;
constexpr std::uint32_t kMiInt8 = 1;
constexpr std::uint32_t kMiInt32 = 5;
constexpr std::uint32_t kMiUInt32 = 6;
constexpr std::uint32_t kMiMatrix = 14;
constexpr std::uint32_t kMiCompressed = 15;
constexpr std::uint32_t kClassCell = 1;
constexpr std::uint32_t kClassStruct = 2;
constexpr std::uint32_t kClassObject = 3;
// Deflate gives at most about 1032 bytes out per byte in.
constexpr std::uint64_t kMostInflatedPerByte = 1032;
// Enough of a matrix element for its tag, array flags, up to 24 dimensions and the name's tag.
constexpr int kMatrixHead = 8 + 16 + 8 + 24 * 4 + 8;

class Reader {
public:
  explicit Reader(bool bigEndian) : m_big(bigEndian) {}
  std::uint32_t u32(const unsigned char* p) const {
    return m_big ? std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 |
                       std::uint32_t(p[2]) << 8 | p[3]
                 : std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 |
                       std::uint32_t(p[1]) << 8 | p[0];
  }

private:
  bool m_big;
};

// The class and element count of a matrix element whose first bytes are head (the element's
// tag included). False when the head is no well-formed matrix header.
bool ReadMatrixHead(const Reader& r, const unsigned char* head, int bytes, std::uint32_t& matClass,
                    std::uint64_t& elements) {
  if (bytes < 8 + 16 + 8) return false;
  const unsigned char* flags = head + 8;
  if (r.u32(flags) != kMiUInt32 || r.u32(flags + 4) != 8) return false;
  matClass = r.u32(flags + 8) & 0xff;
  const unsigned char* dimsTag = head + 24;
  if (r.u32(dimsTag) != kMiInt32) return false;
  const std::uint32_t dimBytes = r.u32(dimsTag + 4);
  if (dimBytes % 4 != 0 || dimBytes == 0 || 32 + qint64(dimBytes) > bytes) return false;
  elements = 1;
  for (std::uint32_t i = 0; i < dimBytes / 4; ++i) {
    const std::uint64_t dim = r.u32(dimsTag + 8 + 4 * i);
    // Past 2^63 every claim is absurd; keep the product from wrapping.
    if (dim != 0 && elements > (std::uint64_t(1) << 62) / dim) {
      elements = std::uint64_t(1) << 62;
      return true;
    }
    elements *= dim;
  }
  return true;
}

// Inflates the first bytes of a compressed element, enough for the matrix header inside.
int InflateHead(const QByteArray& compressed, unsigned char* out, int capacity) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return 0;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.constData()));
  z.avail_in = uInt(compressed.size());
  z.next_out = out;
  z.avail_out = uInt(capacity);
  const int status = inflate(&z, Z_SYNC_FLUSH);
  const int produced = capacity - int(z.avail_out);
  inflateEnd(&z);
  return status == Z_OK || status == Z_STREAM_END || status == Z_BUF_ERROR ? produced : 0;
}

// The array flags, dimensions and name subelements that every non-empty matrix starts with;
// matio takes whatever stands there for them and allocates by it. content is the matrix after
// its tag, of which available bytes were read and length belong to the matrix.
QString MatrixHeadProblem(const Reader& r, const unsigned char* content, std::uint64_t available,
                          std::uint64_t length) {
  const QString damaged = QStringLiteral("a variable's header is damaged");
  if (length == 0) return QString();
  if (available < 24 || r.u32(content) != kMiUInt32 || r.u32(content + 4) != 8 ||
      r.u32(content + 16) != kMiInt32)
    return damaged;
  const std::uint64_t dimBytes = r.u32(content + 20);
  if (dimBytes < 8 || dimBytes % 4 != 0 || dimBytes > length - 24) return damaged;
  const std::uint64_t name = 24 + (dimBytes + 7) / 8 * 8;
  if (name + kTagBytes > length) return damaged;
  if (name + kTagBytes > available) return QString();
  // A name of up to four bytes is packed into its tag.
  const std::uint32_t tag = r.u32(content + name);
  if (tag >> 16) return (tag & 0xffff) == kMiInt8 && (tag >> 16) <= 4 ? QString() : damaged;
  if (tag != kMiInt8 || r.u32(content + name + 4) > length - name - kTagBytes) return damaged;
  return QString();
}

bool IsArrayOfRecords(std::uint32_t matClass) {
  return matClass == kClassCell || matClass == kClassStruct || matClass == kClassObject;
}

// Cells and structs nest matrices, which matio reads header by header, trusting every length.
constexpr int kMostNesting = 32;
// Record arrays are inflated whole to be walked; larger ones are no camera data.
constexpr std::uint64_t kMostRecordArrayBytes = std::uint64_t(256) << 20;

// Why the content of a matrix (its subelements, after the matrix tag) cannot be what its tags
// claim: a length past its parent's end, or a record array with more elements than its bytes
// could describe, at any depth. Empty when it can.
QString MatrixContentProblem(const Reader& r, const unsigned char* p, std::uint64_t size,
                             int depth) {
  if (depth > kMostNesting) return QStringLiteral("cells or structs are nested too deeply");
  std::uint64_t at = 0;
  int index = 0;
  std::uint32_t matClass = 0;
  std::uint64_t elements = 1;
  while (at + kTagBytes <= size) {
    const std::uint32_t type = r.u32(p + at);
    // A small element packs up to four bytes into its tag.
    if (type >> 16) {
      at += kTagBytes;
      ++index;
      continue;
    }
    const std::uint64_t length = r.u32(p + at + 4);
    if (length > size - at - kTagBytes)
      return QStringLiteral("a part of a variable claims more bytes than the file holds");
    const unsigned char* body = p + at + kTagBytes;
    if (index == 0 && type == kMiUInt32 && length >= 8) matClass = r.u32(body) & 0xff;
    if (index == 1 && type == kMiInt32)
      for (std::uint64_t i = 0; i + 4 <= length; i += 4) {
        const std::uint64_t dim = r.u32(body + i);
        elements = dim != 0 && elements > (std::uint64_t(1) << 62) / dim ? std::uint64_t(1) << 62
                                                                         : elements * dim;
      }
    if (type == kMiMatrix) {
      QString problem = MatrixHeadProblem(r, body, length, length);
      if (problem.isEmpty()) problem = MatrixContentProblem(r, body, length, depth + 1);
      if (!problem.isEmpty()) return problem;
    }
    at += kTagBytes + (length + 7) / 8 * 8;
    ++index;
  }
  if (IsArrayOfRecords(matClass) && elements > size / kTagBytes)
    return QStringLiteral("a cell or struct array claims %1 elements, more than the file holds")
        .arg(elements);
  return QString();
}

// The whole inflated content of a compressed element, up to limit bytes; empty when it does not
// inflate or is larger.
QByteArray InflateWhole(const QByteArray& compressed, std::uint64_t limit) {
  QByteArray out;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return out;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.constData()));
  z.avail_in = uInt(compressed.size());
  constexpr int kStep = 1 << 16;
  int status = Z_OK;
  while (status == Z_OK && std::uint64_t(out.size()) < limit) {
    const int before = out.size();
    out.resize(before + kStep);
    z.next_out = reinterpret_cast<Bytef*>(out.data() + before);
    z.avail_out = kStep;
    status = inflate(&z, Z_NO_FLUSH);
    out.resize(before + kStep - int(z.avail_out));
    if (status == Z_BUF_ERROR && z.avail_in == 0) break;  // cut short: what came out is walked
  }
  inflateEnd(&z);
  if (std::uint64_t(out.size()) >= limit) out.clear();
  return out;
}

// The level 4 format: each matrix is five 32-bit words (type MOPT, rows, columns, imaginary
// flag, name length), the name and the data, in the byte order the type word reveals.
constexpr qint64 kLevel4HeaderBytes = 20;

bool DecodeLevel4Type(std::uint32_t type, int& precisionBytes) {
  // M (byte order) below 5, O zero, P the precision, T the matrix kind.
  const std::uint32_t o = type / 100 % 10, p = type / 10 % 10, t = type % 10;
  static const int kBytes[] = {8, 4, 4, 2, 2, 1};
  if (type >= 5000 || o != 0 || p > 5 || t > 2) return false;
  precisionBytes = kBytes[p];
  return true;
}

// Why a level 4 file cannot hold one of its matrices (a name or data past the end); empty when
// every header fits, and for files that are no level 4 file.
QString Level4Problem(QFile& file, qint64 size) {
  qint64 at = 0;
  bool big = false;
  while (at + kLevel4HeaderBytes <= size) {
    if (!file.seek(at)) return QString();
    const QByteArray header = file.read(kLevel4HeaderBytes);
    if (header.size() != kLevel4HeaderBytes) return QString();
    const auto* h = reinterpret_cast<const unsigned char*>(header.constData());
    int bytes = 0;
    if (at == 0) {
      // The first type word decides the byte order of the whole file.
      if (!DecodeLevel4Type(Reader(false).u32(h), bytes)) {
        if (!DecodeLevel4Type(Reader(true).u32(h), bytes)) return QString();
        big = true;
      }
    }
    const Reader r(big);
    // matio takes whatever follows the first matrix for the next one's header.
    if (!DecodeLevel4Type(r.u32(h), bytes))
      return at == 0 ? QString() : QStringLiteral("a variable's header is damaged");
    const std::uint64_t left = std::uint64_t(size - at - kLevel4HeaderBytes);
    // The thousands digit names the byte order (0 little, 1 big endian): it must be the file's.
    if (r.u32(h) / 1000 != (big ? 1u : 0u))
      return QStringLiteral("a variable's header is damaged");
    const std::uint64_t rows = r.u32(h + 4), cols = r.u32(h + 8), imaginary = r.u32(h + 12);
    // matio walks an empty matrix's other dimension too: neither may exceed the file.
    if (rows > left || cols > left)
      return QStringLiteral("a variable claims more data than the file holds");
    const std::uint64_t nameBytes = r.u32(h + 16);
    if (nameBytes > left) return QStringLiteral("a variable's name runs past the end of the file");
    const std::uint64_t parts = imaginary ? 2 : 1;
    // Each factor is below 2^32; the product is checked step by step against what is left.
    const std::uint64_t dataLeft = left - nameBytes;
    if (rows != 0 && cols > dataLeft / rows)
      return QStringLiteral("a variable claims more data than the file holds");
    const std::uint64_t elements = rows * cols;
    if (elements != 0 && std::uint64_t(bytes) * parts > dataLeft / elements)
      return QStringLiteral("a variable claims more data than the file holds");
    at += kLevel4HeaderBytes + qint64(nameBytes + elements * bytes * parts);
  }
  return QString();
}

}  // namespace

QString MatFileProblem(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QString();
  const qint64 size = file.size();
  const QByteArray header = file.read(kHeaderBytes);
  if (header.size() != kHeaderBytes) return Level4Problem(file, size);
  // Level 5 files carry version 0x0100 and "IM" or "MI" at the end of their header.
  const bool little = header[126] == 'I' && header[127] == 'M';
  const bool big = header[126] == 'M' && header[127] == 'I';
  if (!little && !big) return Level4Problem(file, size);
  const auto* h = reinterpret_cast<const unsigned char*>(header.constData());
  const int version = big ? h[124] << 8 | h[125] : h[125] << 8 | h[124];
  // Version 0x0200 files are HDF5 files after a 512-byte header; matio reads them through the
  // HDF5 library, which trusts their structures.
  if (version == 0x0200) return ur::Hdf5StructureProblem(path);
  if (version != 0x0100) return QString();
  const Reader r(big);

  qint64 at = kHeaderBytes;
  while (at + kTagBytes <= size) {
    if (!file.seek(at)) return QString();
    const QByteArray tag = file.read(kTagBytes);
    if (tag.size() != kTagBytes) return QString();
    const auto* t = reinterpret_cast<const unsigned char*>(tag.constData());
    const std::uint32_t type = r.u32(t);
    const std::uint64_t bytes = r.u32(t + 4);
    if (bytes > std::uint64_t(size - at - kTagBytes))
      return QStringLiteral("a variable runs past the end of the file");

    unsigned char head[kMatrixHead] = {};
    int headBytes = 0;
    std::uint64_t bound = bytes;
    if (type == kMiMatrix) {
      std::memcpy(head, t, kTagBytes);
      headBytes = kTagBytes + int(file.read(reinterpret_cast<char*>(head) + kTagBytes,
                                            qint64(kMatrixHead) - kTagBytes));
    } else if (type == kMiCompressed) {
      headBytes =
          InflateHead(file.read(qint64(std::min<std::uint64_t>(bytes, 4096))), head, kMatrixHead);
      bound = bytes * kMostInflatedPerByte;
      // A compressed variable holds one matrix, whose length the inflated data must be able to
      // carry; matio allocates by that length.
      if (headBytes < int(kTagBytes) || r.u32(head) != kMiMatrix || r.u32(head + 4) > bound)
        return QStringLiteral("a compressed variable is damaged");
    }
    if (headBytes > 0 && r.u32(head) == kMiMatrix) {
      const std::uint64_t length = type == kMiMatrix ? bytes : r.u32(head + 4);
      const QString problem = MatrixHeadProblem(r, head + kTagBytes,
                                                std::uint64_t(headBytes) - kTagBytes, length);
      if (!problem.isEmpty()) return problem;
    }
    // The lengths of the dimensions and of the name must fit the element: matio allocates what
    // they claim.
    if (headBytes >= 32 && r.u32(head) == kMiMatrix && r.u32(head + 24) == kMiInt32) {
      const std::uint64_t dimBytes = r.u32(head + 28);
      if (dimBytes > bound)
        return QStringLiteral("a variable's dimensions claim more bytes than the file holds");
      const std::uint64_t nameTag = 32 + (dimBytes + 7) / 8 * 8;
      // A name of up to four bytes is packed into its tag; only a full tag carries a length.
      if (nameTag + kTagBytes <= std::uint64_t(headBytes) && (r.u32(head + nameTag) >> 16) == 0 &&
          r.u32(head + nameTag + 4) > bound)
        return QStringLiteral("a variable's name claims more bytes than the file holds");
    }
    std::uint32_t matClass = 0;
    std::uint64_t elements = 0;
    if (headBytes > 0 && r.u32(head) == kMiMatrix &&
        !ReadMatrixHead(r, head, headBytes, matClass, elements))
      matClass = 0;
    if (IsArrayOfRecords(matClass) && elements > bound / kTagBytes)
      return QStringLiteral("a cell or struct array claims %1 elements, more than the file holds")
          .arg(elements);
    // Record arrays are walked whole, nested matrices included.
    if (headBytes > 0 && r.u32(head) == kMiMatrix && IsArrayOfRecords(matClass)) {
      if (!file.seek(at + kTagBytes)) return QString();
      QByteArray whole = file.read(qint64(bytes));
      if (type == kMiCompressed) whole = InflateWhole(whole, kMostRecordArrayBytes);
      const auto* w = reinterpret_cast<const unsigned char*>(whole.constData());
      QString problem;
      if (type == kMiCompressed && whole.size() >= int(kTagBytes))
        problem =
            MatrixContentProblem(r, w + kTagBytes, std::uint64_t(whole.size()) - kTagBytes, 0);
      else if (type == kMiMatrix)
        problem = MatrixContentProblem(r, w, std::uint64_t(whole.size()), 0);
      else
        problem = QStringLiteral("a compressed variable is damaged");
      if (!problem.isEmpty()) return problem;
    }
    // A matrix element's size includes its padding; a compressed one has none.
    at += kTagBytes + qint64(bytes);
  }
  return QString();
}

}  // namespace urs::matlab::detail
