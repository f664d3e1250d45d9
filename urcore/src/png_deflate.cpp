#include "png_deflate.h"

#include <libdeflate.h>

#ifdef ZEL_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

#include <new>

namespace ur::detail {
namespace {

constexpr int kFastestLibdeflateLevel = 1;
// igzip is not bound by libdeflate's worst case; this much more room covers its block headers.
constexpr std::size_t kIgzipSlackBytes = 1 << 16;
constexpr std::uint32_t kAdlerModulus = 65521;

struct CompressorDeleter {
  void operator()(libdeflate_compressor* compressor) const {
    libdeflate_free_compressor(compressor);
  }
};
using CompressorPtr = std::unique_ptr<libdeflate_compressor, CompressorDeleter>;

}  // namespace

#ifdef ZEL_HAVE_ISAL
struct CxZlibWriter::Igzip {
  isal_zstream stream{};  // the init call leaves fields that the compressor reads
  std::vector<std::uint8_t> levelBuffer = std::vector<std::uint8_t>(ISAL_DEF_LVL1_DEFAULT);
};
#else
struct CxZlibWriter::Igzip {};
#endif

CxZlibWriter::CxZlibWriter(int level, std::size_t totalSize, std::uint8_t* out,
                           std::size_t capacity, Part part)
    : m_level(level), m_part(part), m_totalSize(totalSize), m_out(out), m_capacity(capacity) {
  if (part != Part::Whole && !canSplit(level)) {
    m_failed = true;
    return;
  }
  try {
#ifdef ZEL_HAVE_ISAL
    // igzip counts in 32 bits.
    if (level < 0 && capacity <= UINT32_MAX) {
      m_igzip = std::make_unique<Igzip>();
      isal_zstream& s = m_igzip->stream;
      isal_deflate_init(&s);
      s.level = 1;
      s.level_buf = m_igzip->levelBuffer.data();
      s.level_buf_size = std::uint32_t(m_igzip->levelBuffer.size());
      s.gzip_flag = part == Part::Tail ? IGZIP_DEFLATE : IGZIP_ZLIB;
      s.flush = NO_FLUSH;
      s.next_out = out;
      s.avail_out = std::uint32_t(capacity);
      return;
    }
#endif
    m_gathered.reserve(totalSize);
  } catch (const std::bad_alloc&) {
    m_failed = true;
  }
}

CxZlibWriter::~CxZlibWriter() = default;

std::size_t CxZlibWriter::bound(std::size_t size) {
  // libdeflate's bound covers any of its compressors: stored blocks plus the zlib wrapper.
  return libdeflate_zlib_compress_bound(nullptr, size) + kIgzipSlackBytes;
}

bool CxZlibWriter::canSplit(int level) {
#ifdef ZEL_HAVE_ISAL
  return level < 0;
#else
  (void)level;
  return false;
#endif
}

std::uint32_t CxZlibWriter::combineAdler32(std::uint32_t first, std::uint32_t second,
                                           std::size_t secondSize) {
  // Both sums of the second part restart from 1 and 0; shift them by what the first part left.
  const std::uint32_t remainder = std::uint32_t(secondSize % kAdlerModulus);
  const std::uint32_t a1 = first & 0xFFFFu;
  const std::uint32_t b1 = first >> 16;
  const std::uint32_t a2 = second & 0xFFFFu;
  const std::uint32_t b2 = second >> 16;
  const std::uint32_t a = (a1 + a2 + kAdlerModulus - 1) % kAdlerModulus;
  const std::uint32_t b =
      (std::uint64_t(remainder) * a1 + b1 + b2 + kAdlerModulus - remainder) % kAdlerModulus;
  return a | (b << 16);
}

bool CxZlibWriter::add(const std::uint8_t* piece, std::size_t size) {
  if (m_failed || size > m_totalSize - m_added) {
    m_failed = true;
    return false;
  }
  m_added += size;
  if (m_part != Part::Whole) m_adler = libdeflate_adler32(m_adler, piece, size);
#ifdef ZEL_HAVE_ISAL
  if (m_igzip) {
    isal_zstream& s = m_igzip->stream;
    s.next_in = const_cast<std::uint8_t*>(piece);
    s.avail_in = std::uint32_t(size);
    const bool last = m_added == m_totalSize;
    s.end_of_stream = last && m_part != Part::Head ? 1 : 0;
    // A head ends on a byte boundary with its history cleared, so the tail can follow it.
    s.flush = last && m_part == Part::Head ? FULL_FLUSH : NO_FLUSH;
    // It takes all input unless the output is full, which the capacity rules out.
    m_failed = isal_deflate(&s) != COMP_OK || s.avail_in != 0;
    return !m_failed;
  }
#endif
  m_gathered.insert(m_gathered.end(), piece, piece + size);
  return true;
}

std::size_t CxZlibWriter::finish() {
  if (m_failed || m_added != m_totalSize) return 0;
#ifdef ZEL_HAVE_ISAL
  if (m_igzip) {
    const isal_zstream& s = m_igzip->stream;
    const bool ended = m_part == Part::Head ? s.internal_state.state == ZSTATE_NEW_HDR
                                            : s.internal_state.state == ZSTATE_END;
    return ended ? s.total_out : 0;
  }
#endif
  const CompressorPtr compressor(
      libdeflate_alloc_compressor(m_level < 0 ? kFastestLibdeflateLevel : m_level));
  if (!compressor) return 0;
  return libdeflate_zlib_compress(compressor.get(), m_gathered.data(), m_gathered.size(), m_out,
                                  m_capacity);
}

}  // namespace ur::detail
