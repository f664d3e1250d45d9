#pragma once
// zlib compression of a PNG's filtered image data, handed over in pieces.
//
// libdeflate does every explicit level; it compresses whole buffers, so the pieces are gathered
// first. The fast default uses ISA-L's igzip when the build found it (ZEL_HAVE_ISAL): it takes
// the pieces as they come, so the filtered image never exists in full, and on 12-megapixel
// camera frames it compresses about as well as libdeflate's level 1 in a fraction of the time,
// which was most of a ZEL conversion's cost. igzip can also write a stream in two parts on two
// threads: a head (zlib header, then deflate blocks that end on a byte boundary with no
// reference into what follows) and a tail (the remaining deflate blocks, the last one final);
// the head's bytes, the tail's bytes and the Adler-32 of all data make one zlib stream.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace ur::detail {

class CxZlibWriter {
public:
  enum class Part { Whole, Head, Tail };

  // Writes the stream (or part, see canSplit) of totalSize bytes of data into out (capacity
  // bytes, at least bound(totalSize)). level 0..9 on zlib's scale (0 stores), or -1 for the
  // fastest mode.
  CxZlibWriter(int level, std::size_t totalSize, std::uint8_t* out, std::size_t capacity,
               Part part = Part::Whole);
  ~CxZlibWriter();
  CxZlibWriter(const CxZlibWriter&) = delete;
  CxZlibWriter& operator=(const CxZlibWriter&) = delete;

  // Output bytes that always suffice for size bytes of data.
  static std::size_t bound(std::size_t size);
  // True when a stream of this level can be written as a head and a tail.
  static bool canSplit(int level);
  // The Adler-32 of data whose first part has Adler-32 first and whose second part, of
  // secondSize bytes, has Adler-32 second.
  static std::uint32_t combineAdler32(std::uint32_t first, std::uint32_t second,
                                      std::size_t secondSize);

  // Adds the next piece of the data. False when memory runs out, the pieces exceed totalSize or
  // the output does not fit; the writer is then unusable.
  bool add(const std::uint8_t* piece, std::size_t size);
  // Ends the stream or part once the pieces add up to totalSize: its size in bytes, 0 on
  // failure. A head or tail carries no Adler-32 trailer.
  std::size_t finish();
  // The Adler-32 of the data added (kept for heads and tails only).
  std::uint32_t adler32() const { return m_adler; }

private:
  struct Igzip;  // igzip's state, used for the fastest mode when available

  int m_level;
  Part m_part;
  std::size_t m_totalSize;
  std::size_t m_added = 0;
  std::uint8_t* m_out;
  std::size_t m_capacity;
  std::uint32_t m_adler = 1;
  bool m_failed = false;
  std::vector<std::uint8_t> m_gathered;  // libdeflate's input
  std::unique_ptr<Igzip> m_igzip;
};

}  // namespace ur::detail
