#include <ur/hdf5_structure.h>

#include "hdf5_structure_detail.h"

#include <QFile>

#include <cstring>
#include <unordered_set>
#include <vector>

namespace ur {

namespace {

using hdf5check::SxDataspace;
using hdf5check::SxDatatype;
using hdf5check::SxSizes;
using hdf5check::SxSpan;

constexpr unsigned char kSignature[8] = {0x89, 'H', 'D', 'F', '\r', '\n', 0x1a, '\n'};
// Groups nested deeper than this are taken for a loop the visited set did not catch.
constexpr int kMostGroupDepth = 64;
// Structures visited before the walk gives up; far more than any real file has.
constexpr std::uint64_t kMostStructures = 1000000;

// What an object header says of a data set's data, checked once all its messages are read: the
// library copies elements x element size bytes out of compact and contiguous storage, and reads
// unfiltered chunks into buffers of the chunk's size.
struct SxDataFacts {
  bool spaceKnown = false;
  bool typeKnown = false;
  bool filtered = false;
  std::uint64_t elements = 0;
  int rank = 0;
  std::uint64_t elementBytes = 0;
  int layout = -1;  // 0 compact, 1 contiguous, 2 chunked
  bool storedKnown = false;
  std::uint64_t storedBytes = 0;
  std::uint64_t chunkTree = 0;
  int chunkRank = 0;
  std::uint64_t chunkBytes = 0;
  std::uint64_t chunkElementBytes = 0;
};

class CxStructureWalk {
public:
  explicit CxStructureWalk(const SxSpan& file) : m_file(file) {}

  QString run() {
    std::uint64_t at = 0;
    // The superblock sits at 0 or at a power of two from 512 on, after a user block.
    while (!(m_file.has(at, 8) && std::memcmp(m_file.data + at, kSignature, 8) == 0)) {
      at = at == 0 ? 512 : at * 2;
      if (!m_file.has(at, 8)) return QString();
    }
    m_base = at;
    if (!m_file.has(at, 9)) return QStringLiteral("the superblock is cut short");
    const int version = m_file.data[at + 8];
    return version <= 1 ? legacySuperblock(version) : laterSuperblock(version);
  }

private:
  QString legacySuperblock(int version) {
    const SxSpan s = m_file.sub(m_base, m_file.size - m_base);
    if (!s.has(0, 28)) return QStringLiteral("the superblock is cut short");
    QString problem = takeSizes(s.data[13], s.data[14]);
    if (!problem.isEmpty()) return problem;
    m_leafK = s.number(16, 2);
    m_groupK = s.number(18, 2);
    if (version == 1) m_chunkK = s.number(24, 2);
    if (m_leafK == 0 || m_groupK == 0 || m_chunkK == 0)
      return QStringLiteral("the superblock's tree sizes are damaged");
    const std::uint64_t O = offsets(), L = lengths();
    // Base, free-space, end-of-file and driver addresses, then the root group's entry.
    const std::uint64_t fields = version == 1 ? 28 : 24;
    if (!s.has(fields, 4 * O + L + O + 24)) return QStringLiteral("the superblock is cut short");
    const std::uint64_t driver = s.number(fields + 3 * O, int(O));
    if (!undefined(driver)) {
      SxSpan info;
      problem = block(driver, 16, info, "the driver information");
      if (problem.isEmpty() && !m_file.has(m_base + driver + 16, info.number(4, 4)))
        problem = QStringLiteral("the driver information lies outside the file");
      if (!problem.isEmpty()) return problem;
    }
    return objectHeader(s.number(fields + 4 * O + L, int(O)), 0);
  }

  QString laterSuperblock(int version) {
    if (version > 3) return QStringLiteral("the superblock has an unknown version");
    const SxSpan s = m_file.sub(m_base, m_file.size - m_base);
    if (!s.has(0, 12)) return QStringLiteral("the superblock is cut short");
    const QString problem = takeSizes(s.data[9], s.data[10]);
    if (!problem.isEmpty()) return problem;
    const std::uint64_t O = offsets();
    if (!s.has(12, 4 * O + 4)) return QStringLiteral("the superblock is cut short");
    const QString extension = objectHeader(s.number(12 + O, int(O)), 0);
    if (!extension.isEmpty()) return extension;
    return objectHeader(s.number(12 + 3 * O, int(O)), 0);
  }

  QString takeSizes(int offsetBytes, int lengthBytes) {
    const auto valid = [](int bytes) { return bytes == 2 || bytes == 4 || bytes == 8; };
    if (!valid(offsetBytes) || !valid(lengthBytes))
      return QStringLiteral("the superblock's address sizes are damaged");
    m_sizes.offsets = offsetBytes;
    m_sizes.lengths = lengthBytes;
    return QString();
  }

  std::uint64_t offsets() const { return std::uint64_t(m_sizes.offsets); }
  std::uint64_t lengths() const { return std::uint64_t(m_sizes.lengths); }
  bool undefined(std::uint64_t address) const {
    return m_sizes.offsets == 8 ? address == ~std::uint64_t(0)
                                : address == (std::uint64_t(1) << (8 * offsets())) - 1;
  }

  // The bytes at a file address (relative to the superblock), which must lie inside the file.
  QString block(std::uint64_t address, std::uint64_t bytes, SxSpan& out, const char* what) const {
    if (address > m_file.size || !m_file.has(m_base + address, bytes))
      return QStringLiteral("%1 lies outside the file").arg(QLatin1String(what));
    out = m_file.sub(m_base + address, bytes);
    return QString();
  }

  // False for a structure seen before, which is not walked again.
  bool firstVisit(std::uint64_t address, QString& problem) {
    if (++m_visits > kMostStructures) {
      problem = QStringLiteral("the file holds more structures than can be checked");
      return false;
    }
    return m_seen.insert(address).second;
  }

  QString objectHeader(std::uint64_t address, int depth) {
    if (undefined(address)) return QString();
    if (depth > kMostGroupDepth) return QStringLiteral("groups are nested too deeply");
    QString problem;
    if (!firstVisit(address, problem)) return problem;
    SxSpan head;
    problem = block(address, 16, head, "an object header");
    if (!problem.isEmpty()) return problem;
    return std::memcmp(head.data, "OHDR", 4) == 0 ? laterHeader(address, depth)
                                                  : legacyHeader(address, head, depth);
  }

  // Version 1: a 16-byte prefix, then messages with 8-byte headers, each padded to 8 bytes.
  QString legacyHeader(std::uint64_t address, const SxSpan& head, int depth) {
    if (head.data[0] != 1) return QStringLiteral("an object header is damaged");
    SxSpan chunk;
    QString problem = block(address + 16, head.number(8, 4), chunk, "an object header");
    std::vector<SxSpan> chunks{chunk};
    SxDataFacts facts;
    for (std::size_t c = 0; problem.isEmpty() && c < chunks.size(); ++c) {
      const SxSpan messages = chunks[c];
      std::uint64_t pos = 0;
      while (problem.isEmpty() && messages.has(pos, 8)) {
        const int type = int(messages.number(pos, 2));
        const std::uint64_t bytes = messages.number(pos + 2, 2);
        const int flags = messages.data[pos + 4];
        pos += 8;
        if (!messages.has(pos, bytes) || bytes % 8 != 0)
          return QStringLiteral("a message runs past its object header");
        problem = message(type, flags, messages.sub(pos, bytes), depth, chunks, facts, false);
        pos += bytes;
      }
    }
    return problem.isEmpty() ? dataProblem(facts) : problem;
  }

  // Version 2: "OHDR", flags, optional times and attribute limits, the first chunk's size in
  // 1 to 8 bytes, then messages with 4- or 6-byte headers and a checksum.
  QString laterHeader(std::uint64_t address, int depth) {
    SxSpan head;
    QString problem = block(address, 6, head, "an object header");
    if (!problem.isEmpty()) return problem;
    if (head.data[4] != 2) return QStringLiteral("an object header has an unknown version");
    const int flags = head.data[5];
    std::uint64_t pos = 6 + (flags & 0x20 ? 16 : 0) + (flags & 0x10 ? 4 : 0);
    const int sizeBytes = 1 << (flags & 3);
    problem = block(address, pos + std::uint64_t(sizeBytes), head, "an object header");
    if (!problem.isEmpty()) return problem;
    const std::uint64_t chunkBytes = head.number(pos, sizeBytes);
    pos += std::uint64_t(sizeBytes);
    SxSpan chunk;
    if (chunkBytes > m_file.size) return QStringLiteral("an object header lies outside the file");
    problem = block(address + pos, chunkBytes + 4, chunk, "an object header");
    std::vector<SxSpan> chunks{chunk.sub(0, chunkBytes)};
    SxDataFacts facts;
    const std::uint64_t headerBytes = flags & 0x04 ? 6 : 4;
    for (std::size_t c = 0; problem.isEmpty() && c < chunks.size(); ++c) {
      const SxSpan messages = chunks[c];
      std::uint64_t at = 0;
      while (problem.isEmpty() && messages.has(at, headerBytes)) {
        const int type = messages.data[at];
        const std::uint64_t bytes = messages.number(at + 1, 2);
        const int messageFlags = messages.data[at + 3];
        at += headerBytes;
        if (!messages.has(at, bytes))
          return QStringLiteral("a message runs past its object header");
        problem = message(type, messageFlags, messages.sub(at, bytes), depth, chunks, facts, true);
        at += bytes;
      }
    }
    return problem.isEmpty() ? dataProblem(facts) : problem;
  }

  // A continuation: where an object header goes on. Later headers mark it "OCHK" and end it
  // with a checksum.
  QString continuation(const SxSpan& body, std::vector<SxSpan>& chunks, bool later) {
    if (!body.has(0, offsets() + lengths())) return QStringLiteral("a continuation is cut short");
    const std::uint64_t address = body.number(0, m_sizes.offsets);
    const std::uint64_t bytes = body.number(offsets(), m_sizes.lengths);
    QString problem;
    if (!firstVisit(address, problem))
      return problem.isEmpty() ? QStringLiteral("an object header continues into itself") : problem;
    SxSpan chunk;
    problem = block(address, bytes, chunk, "an object header's continuation");
    if (!problem.isEmpty()) return problem;
    if (later) {
      if (bytes < 8 || std::memcmp(chunk.data, "OCHK", 4) != 0)
        return QStringLiteral("an object header's continuation is damaged");
      chunk = chunk.sub(4, bytes - 8);
    }
    chunks.push_back(chunk);
    return QString();
  }

  QString message(int type, int flags, const SxSpan& body, int depth, std::vector<SxSpan>& chunks,
                  SxDataFacts& facts, bool later) {
    if (type == 0x0b) facts.filtered = true;
    // A shared message stands for one kept elsewhere: in another object header, or in the
    // shared-message heap (checksummed).
    if (flags & 0x02) return sharedMessage(body, depth);
    SxDatatype datatype;
    SxDataspace space;
    std::uint64_t used = 0;
    QString problem;
    switch (type) {
      case 0x01:
        problem = hdf5check::CheckDataspace(body, m_sizes, space);
        facts.spaceKnown = problem.isEmpty();
        facts.elements = space.elements;
        facts.rank = space.rank;
        return problem;
      case 0x03:
        problem = hdf5check::CheckDatatype(body, 0, used, datatype);
        facts.typeKnown = problem.isEmpty();
        facts.elementBytes = datatype.elementBytes;
        return problem;
      case 0x04:
        return hdf5check::CheckFillValue(body, true);
      case 0x05:
        return hdf5check::CheckFillValue(body, false);
      case 0x06:
        return link(body, depth);
      case 0x08:
        return layout(body, facts);
      case 0x0b:
        return hdf5check::CheckFilterPipeline(body);
      case 0x0c:
        return hdf5check::CheckAttribute(body, m_sizes);
      case 0x10:
        return continuation(body, chunks, later);
      case 0x11:
        return symbolTable(body, depth);
      default:
        return QString();
    }
  }

  QString sharedMessage(const SxSpan& body, int depth) {
    if (!body.has(0, 2)) return QStringLiteral("a shared message is cut short");
    const int version = body.data[0];
    const int kind = body.data[1];
    // Version 1 keeps the address after six reserved bytes; versions 2 and 3 right after the
    // type. Version 3 type 1 names a shared-message heap entry instead.
    std::uint64_t at = 0;
    if (version == 1)
      at = 8;
    else if (version == 2 || (version == 3 && kind == 2))
      at = 2;
    else if (version == 3 && kind == 1)
      return QString();
    else
      return QStringLiteral("a shared message is damaged");
    if (!body.has(at, offsets())) return QStringLiteral("a shared message is cut short");
    return objectHeader(body.number(at, m_sizes.offsets), depth + 1);
  }

  QString link(const SxSpan& body, int depth) {
    const QString cut = QStringLiteral("a link is cut short");
    if (!body.has(0, 2)) return cut;
    if (body.data[0] != 1) return QStringLiteral("a link has an unknown version");
    const int flags = body.data[1];
    std::uint64_t pos = 2;
    int kind = 0;
    if (flags & 0x08) {
      if (!body.has(pos, 1)) return cut;
      kind = body.data[pos++];
    }
    pos += (flags & 0x04 ? 8 : 0) + (flags & 0x10 ? 1 : 0);
    const int lengthBytes = 1 << (flags & 3);
    if (!body.has(pos, std::uint64_t(lengthBytes))) return cut;
    const std::uint64_t name = body.number(pos, lengthBytes);
    pos += std::uint64_t(lengthBytes);
    if (name == 0 || !body.has(pos, name)) return cut;
    pos += name;
    if (kind == 0) {
      if (!body.has(pos, offsets())) return cut;
      return objectHeader(body.number(pos, m_sizes.offsets), depth + 1);
    }
    if (kind == 1 || kind >= 64) {
      if (!body.has(pos, 2) || !body.has(pos + 2, body.number(pos, 2))) return cut;
      return QString();
    }
    return QStringLiteral("a link has an unknown type");
  }

  QString layout(const SxSpan& body, SxDataFacts& facts) {
    const QString cut = QStringLiteral("a data layout is cut short");
    if (!body.has(0, 2)) return cut;
    const int version = body.data[0];
    const std::uint64_t O = offsets();
    if (version == 1 || version == 2) {
      if (!body.has(0, 8)) return cut;
      const int rank = body.data[1];
      facts.layout = body.data[2];
      std::uint64_t pos = 8;
      if (facts.layout != 0) {
        if (!body.has(pos, O)) return cut;
        facts.chunkTree = body.number(pos, m_sizes.offsets);
        pos += O;
      }
      if (!body.has(pos, 4 * std::uint64_t(rank))) return cut;
      return facts.layout == 0   ? compactData(body, pos + 4 * std::uint64_t(rank), 4, facts)
             : facts.layout == 2 ? chunkShape(body, pos, rank, facts)
                                 : QString();
    }
    if (version == 3) {
      facts.layout = body.data[1];
      if (facts.layout == 0) return compactData(body, 2, 2, facts);
      if (facts.layout == 1) {
        if (!body.has(2, O + lengths())) return cut;
        const std::uint64_t address = body.number(2, m_sizes.offsets);
        if (undefined(address)) return QString();  // nothing written: fill values are read
        facts.storedKnown = true;
        facts.storedBytes = body.number(2 + O, m_sizes.lengths);
        SxSpan data;
        return block(address, facts.storedBytes, data, "a data set's data");
      }
      if (facts.layout == 2) {
        if (!body.has(2, 1)) return cut;
        const int rank = body.data[2];
        if (!body.has(3, O)) return cut;
        facts.chunkTree = body.number(3, m_sizes.offsets);
        return chunkShape(body, 3 + O, rank, facts);
      }
      return QStringLiteral("a data layout has an unknown class");
    }
    // Version 4 indexes chunks with checksummed structures.
    if (version == 4) return QString();
    return QStringLiteral("a data layout has an unknown version");
  }

  // Compact data: its size in sizeBytes at at, then the data.
  QString compactData(const SxSpan& body, std::uint64_t at, int sizeBytes, SxDataFacts& facts) {
    if (!body.has(at, std::uint64_t(sizeBytes)) ||
        !body.has(at + std::uint64_t(sizeBytes), body.number(at, sizeBytes)))
      return QStringLiteral("a data layout is cut short");
    facts.storedKnown = true;
    facts.storedBytes = body.number(at, sizeBytes);
    return QString();
  }

  // A chunk's dimensions, the element size the last of them: their product is a whole chunk.
  QString chunkShape(const SxSpan& body, std::uint64_t at, int rank, SxDataFacts& facts) {
    if (rank < 2 || !body.has(at, 4 * std::uint64_t(rank)))
      return QStringLiteral("a data layout is cut short");
    facts.chunkRank = rank;
    facts.chunkBytes = 1;
    for (int d = 0; d < rank; ++d) {
      const std::uint64_t dim = body.number(at + 4 * std::uint64_t(d), 4);
      if (dim == 0) return QStringLiteral("a data set's chunks have an empty dimension");
      facts.chunkBytes = hdf5check::Times(facts.chunkBytes, dim);
    }
    facts.chunkElementBytes = body.number(at + 4 * std::uint64_t(rank - 1), 4);
    return QString();
  }

  QString dataProblem(const SxDataFacts& facts) {
    // The library gathers elements of the datatype's size out of each chunk.
    if (facts.layout == 2 && ((facts.typeKnown && facts.chunkElementBytes != facts.elementBytes) ||
                              (facts.spaceKnown && facts.chunkRank != facts.rank + 1)))
      return QStringLiteral("a data set's chunks do not match its datatype and dataspace");
    if (facts.layout == 2)
      return chunkTree(facts.chunkTree, facts.chunkRank, -1, facts.filtered ? 0 : facts.chunkBytes);
    if (facts.storedKnown && facts.spaceKnown && facts.typeKnown &&
        facts.storedBytes < hdf5check::Times(facts.elements, facts.elementBytes))
      return QStringLiteral("a data set's stored data is smaller than its dataspace");
    return QString();
  }

  // A version 1 B-tree node: "TREE", type, level, entries used, two sibling addresses, then
  // keys and children in turn, one key more than children.
  QString treeNode(std::uint64_t address, int type, std::uint64_t keyBytes, std::uint64_t k,
                   int expectedLevel, SxSpan& node, int& level, std::uint64_t& entries) {
    const std::uint64_t O = offsets();
    QString problem = block(address, 8 + 2 * O, node, "a B-tree node");
    if (!problem.isEmpty()) return problem;
    if (std::memcmp(node.data, "TREE", 4) != 0 || node.data[4] != type)
      return QStringLiteral("a B-tree node is damaged");
    level = node.data[5];
    entries = node.number(6, 2);
    if (expectedLevel >= 0 && level != expectedLevel)
      return QStringLiteral("a B-tree node is at the wrong level");
    // The library sizes its node buffer for 2K entries.
    if (entries > 2 * k) return QStringLiteral("a B-tree node holds more entries than it may");
    return block(address, 8 + 2 * O + (entries + 1) * keyBytes + entries * O, node,
                 "a B-tree node");
  }

  // wholeChunk: the stored size every chunk must have (unfiltered data), or 0.
  QString chunkTree(std::uint64_t address, int rank, int expectedLevel, std::uint64_t wholeChunk) {
    if (undefined(address)) return QString();
    QString problem;
    if (!firstVisit(address, problem)) return problem;
    const std::uint64_t O = offsets();
    // Each key: the chunk's stored size, its filter mask and its offset in every dimension.
    const std::uint64_t keyBytes = 8 + 8 * std::uint64_t(rank);
    SxSpan node;
    int level = 0;
    std::uint64_t entries = 0;
    problem = treeNode(address, 1, keyBytes, m_chunkK, expectedLevel, node, level, entries);
    for (std::uint64_t i = 0; problem.isEmpty() && i < entries; ++i) {
      const std::uint64_t key = 8 + 2 * O + i * (keyBytes + O);
      const std::uint64_t child = node.number(key + keyBytes, m_sizes.offsets);
      SxSpan chunk;
      const std::uint64_t stored = node.number(key, 4);
      if (level == 0 && wholeChunk != 0 && stored != wholeChunk)
        return QStringLiteral("a data chunk's size does not match its data set");
      problem = level == 0 ? block(child, stored, chunk, "a data chunk")
                           : chunkTree(child, rank, level - 1, wholeChunk);
    }
    return problem;
  }

  QString symbolTable(const SxSpan& body, int depth) {
    const std::uint64_t O = offsets(), L = lengths();
    if (!body.has(0, 2 * O)) return QStringLiteral("a symbol table is cut short");
    SxSpan heap;
    QString problem = block(body.number(O, m_sizes.offsets), 8 + 2 * L + O, heap, "a local heap");
    if (!problem.isEmpty()) return problem;
    if (std::memcmp(heap.data, "HEAP", 4) != 0 || heap.data[4] != 0)
      return QStringLiteral("a local heap is damaged");
    SxSpan names;
    problem = block(heap.number(8 + 2 * L, m_sizes.offsets), heap.number(8, m_sizes.lengths), names,
                    "a local heap's data");
    if (!problem.isEmpty()) return problem;
    return groupTree(body.number(0, m_sizes.offsets), names, -1, depth);
  }

  QString groupTree(std::uint64_t address, const SxSpan& names, int expectedLevel, int depth) {
    QString problem;
    if (!firstVisit(address, problem)) return problem;
    const std::uint64_t O = offsets(), L = lengths();
    SxSpan node;
    int level = 0;
    std::uint64_t entries = 0;
    problem = treeNode(address, 0, L, m_groupK, expectedLevel, node, level, entries);
    for (std::uint64_t i = 0; problem.isEmpty() && i <= entries; ++i) {
      const std::uint64_t key = 8 + 2 * O + i * (L + O);
      if (node.number(key, m_sizes.lengths) >= names.size)
        return QStringLiteral("a group's key lies outside its heap");
      if (i == entries) break;
      const std::uint64_t child = node.number(key + L, m_sizes.offsets);
      problem =
          level == 0 ? symbolNode(child, names, depth) : groupTree(child, names, level - 1, depth);
    }
    return problem;
  }

  // "SNOD", version 1, the number of entries, then entries of a name offset, an object header
  // address, a cache type and 20 bytes of cached addresses.
  QString symbolNode(std::uint64_t address, const SxSpan& names, int depth) {
    QString problem;
    if (!firstVisit(address, problem)) return problem;
    SxSpan node;
    problem = block(address, 8, node, "a symbol node");
    if (!problem.isEmpty()) return problem;
    if (std::memcmp(node.data, "SNOD", 4) != 0 || node.data[4] != 1)
      return QStringLiteral("a symbol node is damaged");
    const std::uint64_t symbols = node.number(6, 2);
    if (symbols > 2 * m_leafK)
      return QStringLiteral("a symbol node holds more entries than it may");
    const std::uint64_t entryBytes = lengths() + offsets() + 24;
    problem = block(address, 8 + symbols * entryBytes, node, "a symbol node");
    for (std::uint64_t i = 0; problem.isEmpty() && i < symbols; ++i) {
      const std::uint64_t entry = 8 + i * entryBytes;
      const std::uint64_t name = node.number(entry, m_sizes.lengths);
      if (name >= names.size || std::memchr(names.data + name, 0, names.size - name) == nullptr)
        return QStringLiteral("a group member's name lies outside its heap");
      if (node.number(entry + lengths() + offsets(), 4) > 2)
        return QStringLiteral("a symbol node is damaged");
      problem = objectHeader(node.number(entry + lengths(), m_sizes.offsets), depth + 1);
    }
    return problem;
  }

  SxSpan m_file;
  std::uint64_t m_base = 0;
  SxSizes m_sizes;
  std::uint64_t m_leafK = 4, m_groupK = 16, m_chunkK = 32;
  std::unordered_set<std::uint64_t> m_seen;
  std::uint64_t m_visits = 0;
};

}  // namespace

QString Hdf5StructureProblem(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() < 8) return QString();
  const uchar* data = file.map(0, file.size());
  if (!data) return QString();
  const QString problem = CxStructureWalk(SxSpan{data, std::uint64_t(file.size())}).run();
  file.unmap(const_cast<uchar*>(data));
  return problem;
}

}  // namespace ur
