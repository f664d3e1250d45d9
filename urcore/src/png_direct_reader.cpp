#include "png_direct_reader.h"

#include "image_bitmap.h"
#include "png_decode_common.h"
#include "png_unfilter.h"

#include <ur/image_buf.h>
#include <libdeflate.h>

#ifdef ZEL_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <future>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace ur::detail {
namespace {

constexpr std::size_t kSignatureBytes = 8;
constexpr std::size_t kChunkFrameBytes = 12;  // length, type, CRC
constexpr std::uint32_t kMaxChunkLength = 0x7FFFFFFFu;
constexpr std::size_t kMaxKeywordBytes = 79;
// libpng stops keeping text after about a thousand ancillary chunks; so many are left to it.
constexpr int kMaxAncillaryChunks = 500;
constexpr std::uint8_t kColourGrey = 0;
constexpr std::uint8_t kColourRgb = 2;
constexpr std::uint8_t kUnitMetre = 1;
// From this much filtered data on, one thread inflates while the other unfilters what is done,
// in steps of kInflateStepBytes.
constexpr std::size_t kMinPipelinedBytes = std::size_t(1) << 20;
constexpr std::size_t kInflateStepBytes = std::size_t(256) << 10;

std::uint32_t BigEndian32(const unsigned char* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

bool IsType(const unsigned char* type, const char* name) {
  return std::memcmp(type, name, 4) == 0;
}

bool IsLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

struct SxText {
  std::string keyword;
  std::string text;
};

// What the chunks say, gathered in one pass before any pixel is decoded.
struct SxPlainPng {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int pixelBytes = 0;
  std::vector<std::pair<const unsigned char*, std::size_t>> idat;
  std::vector<SxText> texts;
  bool hasTime = false;
  unsigned time[6] = {};
  bool hasResolution = false;  // a pHYs chunk was taken, in whatever unit
  bool resolutionInMetres = false;
  std::uint32_t dotsPerMetre[2] = {};
};

bool ReadHeader(const unsigned char* d, std::uint32_t length, SxPlainPng& png) {
  if (length != 13) return false;
  png.width = BigEndian32(d);
  png.height = BigEndian32(d + 4);
  const bool plain = d[8] == 8 && (d[9] == kColourGrey || d[9] == kColourRgb) && d[10] == 0 &&
                     d[11] == 0 && d[12] == 0;
  png.pixelBytes = d[9] == kColourRgb ? 3 : 1;
  return plain && png.width > 0 && png.height > 0 && png.width <= kMaxPngSide &&
         png.height <= kMaxPngSide;
}

// The first zero byte in [from, end), or null.
const unsigned char* FindZero(const unsigned char* from, const unsigned char* end) {
  return static_cast<const unsigned char*>(std::memchr(from, 0, std::size_t(end - from)));
}

// A keyword of 1-79 bytes ending at a zero byte; the text after it ends at its first zero byte,
// as libpng hands it over. An iTXt chunk must be uncompressed. False for anything else.
bool ReadText(const unsigned char* d, std::uint32_t length, bool international,
              SxPlainPng& png) {
  if (length > kMaxPngChunkBytes) return false;
  const unsigned char* end = d + length;
  const unsigned char* keyEnd = FindZero(d, end);
  if (!keyEnd || keyEnd == d || std::size_t(keyEnd - d) > kMaxKeywordBytes) return false;
  const unsigned char* text = keyEnd + 1;
  if (international) {
    // compression flag, method, language tag, translated keyword
    if (end - text < 2 || text[0] != 0 || text[1] != 0) return false;
    const unsigned char* language = FindZero(text + 2, end);
    const unsigned char* translated = language ? FindZero(language + 1, end) : nullptr;
    if (!translated) return false;
    text = translated + 1;
  }
  const unsigned char* textEnd = FindZero(text, end);
  png.texts.push_back({std::string(reinterpret_cast<const char*>(d), std::size_t(keyEnd - d)),
                       std::string(reinterpret_cast<const char*>(text),
                                   std::size_t((textEnd ? textEnd : end) - text))});
  return true;
}

// libpng ignores an impossible time, and a time or resolution after the first of its kind.
void ReadTime(const unsigned char* d, std::uint32_t length, SxPlainPng& png) {
  if (length != 7 || png.hasTime) return;
  const unsigned t[6] = {unsigned(d[0]) << 8 | d[1], d[2], d[3], d[4], d[5], d[6]};
  if (t[1] < 1 || t[1] > 12 || t[2] < 1 || t[2] > 31 || t[3] > 23 || t[4] > 59 || t[5] > 60)
    return;
  std::memcpy(png.time, t, sizeof t);
  png.hasTime = true;
}

// libpng also ignores a resolution after the image data.
void ReadResolution(const unsigned char* d, std::uint32_t length, bool afterImage,
                    SxPlainPng& png) {
  if (length != 9 || png.hasResolution || afterImage) return;
  png.hasResolution = true;
  if (d[8] != kUnitMetre) return;
  png.resolutionInMetres = true;
  png.dotsPerMetre[0] = BigEndian32(d);
  png.dotsPerMetre[1] = BigEndian32(d + 4);
}

// Walks the chunks up to IEND. False when the file is not one this decoder takes.
bool ReadChunks(const unsigned char* data, std::size_t size, SxPlainPng& png) {
  std::size_t pos = kSignatureBytes;
  bool header = false, imageStarted = false, imageEnded = false;
  int ancillary = 0;
  while (size - pos >= kChunkFrameBytes) {
    const std::uint32_t length = BigEndian32(data + pos);
    const unsigned char* type = data + pos + 4;
    const unsigned char* body = data + pos + 8;
    if (length > kMaxChunkLength || length > size - pos - kChunkFrameBytes) return false;
    if (!IsLetter(type[0]) || !IsLetter(type[1]) || !IsLetter(type[2]) || !IsLetter(type[3]))
      return false;
    if (libdeflate_crc32(0, type, length + 4) != BigEndian32(body + length)) return false;
    pos += kChunkFrameBytes + length;

    if (!header) {
      if (!IsType(type, "IHDR") || !ReadHeader(body, length, png)) return false;
      header = true;
      continue;
    }
    if (IsType(type, "IDAT")) {
      if (imageEnded) return false;
      imageStarted = true;
      png.idat.emplace_back(body, length);
      continue;
    }
    imageEnded = imageStarted;
    if (IsType(type, "IEND")) return imageStarted;
    // Upper case first: a critical chunk (PLTE, a second IHDR, unknown ones).
    if (!(type[0] & 0x20)) return false;
    if (++ancillary > kMaxAncillaryChunks) return false;
    if (IsType(type, "tEXt") || IsType(type, "iTXt")) {
      if (!ReadText(body, length, IsType(type, "iTXt"), png)) return false;
    } else if (IsType(type, "zTXt") || IsType(type, "iCCP")) {
      return false;
    } else if (IsType(type, "tIME")) {
      ReadTime(body, length, png);
    } else if (IsType(type, "pHYs")) {
      ReadResolution(body, length, imageStarted, png);
    }
    // Other ancillary chunks (gAMA, sRGB, sBIT, a tRNS key colour, ...) change no sample.
  }
  return false;
}

struct DecompressorDeleter {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// Inflates the image data into filtered (exactly filteredBytes) in one call. False unless the
// stream is intact and holds exactly the image.
bool InflateWhole(const SxPlainPng& png, std::uint8_t* filtered, std::size_t filteredBytes) {
  const unsigned char* stream = png.idat.front().first;
  std::size_t streamBytes = png.idat.front().second;
  std::vector<unsigned char> gathered;
  if (png.idat.size() > 1) {
    for (const auto& part : png.idat)
      gathered.insert(gathered.end(), part.first, part.first + part.second);
    stream = gathered.data();
    streamBytes = gathered.size();
  }
  const std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(
      libdeflate_alloc_decompressor());
  if (!decompressor) return false;
  std::size_t in = 0, out = 0;
  return libdeflate_zlib_decompress_ex(decompressor.get(), stream, streamBytes, filtered,
                                       filteredBytes, &in, &out) == LIBDEFLATE_SUCCESS &&
         in == streamBytes && out == filteredBytes;
}

// How far the inflating thread has come; the unfiltering thread waits on it.
class CxInflateProgress {
public:
  void publish(std::size_t done, bool finished) {
    {
      const std::lock_guard<std::mutex> lock(m_mutex);
      m_done = done;
      m_finished = finished;
    }
    m_changed.notify_one();
  }
  // The bytes inflated once at least `needed` are, or the inflater has stopped.
  std::size_t waitFor(std::size_t needed) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [&] { return m_done >= needed || m_finished; });
    return m_done;
  }

private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::size_t m_done = 0;
  bool m_finished = false;
};

#ifdef ZEL_HAVE_ISAL
// Inflates the IDAT pieces in steps, publishing each; true when the stream was intact and held
// exactly the image.
bool InflateInSteps(const SxPlainPng& png, std::uint8_t* filtered, std::size_t filteredBytes,
                    CxInflateProgress& progress) {
  auto state = std::make_unique<inflate_state>();
  isal_inflate_init(state.get());
  state->crc_flag = ISAL_ZLIB;
  std::size_t piece = 0;
  state->next_in = const_cast<std::uint8_t*>(png.idat[0].first);
  state->avail_in = std::uint32_t(png.idat[0].second);
  for (;;) {
    while (state->avail_in == 0 && piece + 1 < png.idat.size()) {
      ++piece;
      state->next_in = const_cast<std::uint8_t*>(png.idat[piece].first);
      state->avail_in = std::uint32_t(png.idat[piece].second);
    }
    const std::size_t done = state->total_out;
    const std::size_t step = std::min(kInflateStepBytes, filteredBytes - done);
    state->next_out = filtered + done;
    state->avail_out = std::uint32_t(step);
    if (isal_inflate(state.get()) != ISAL_DECOMP_OK) break;
    const bool ended = state->block_state == ISAL_BLOCK_FINISH;
    progress.publish(state->total_out, ended);
    if (ended)
      return state->total_out == filteredBytes && state->avail_in == 0 &&
             piece + 1 == png.idat.size();
    // No room left for more data, or no data left for more room: not the image.
    const bool stalled = state->avail_in == 0 && piece + 1 == png.idat.size();
    if (step == 0 || (stalled && state->avail_out > 0)) break;
  }
  progress.publish(state->total_out, true);
  return false;
}
#endif

// Unfilters rows [0, height) of filtered into the bitmap as far as `available` bytes allow,
// asking the progress for more when it is given. False at an unknown filter type or when the
// data ends early.
bool UnfilterRows(const SxPlainPng& png, const std::uint8_t* filtered, std::size_t available,
                  CxInflateProgress* progress, FIBITMAP* dib) {
  const std::size_t rowBytes = std::size_t(png.width) * std::size_t(png.pixelBytes);
  const std::size_t lineBytes = rowBytes + 1;
  const std::vector<std::uint8_t> zeros(rowBytes, 0);
  const std::uint8_t* above = zeros.data();
  for (std::uint32_t y = 0; y < png.height; ++y) {
    const std::size_t needed = lineBytes * (y + 1);
    if (available < needed && progress) available = progress->waitFor(needed);
    if (available < needed) return false;
    const std::uint8_t* line = filtered + lineBytes * y;
    // FreeImage keeps the bottom row first.
    BYTE* out = FreeImage_GetScanLine(dib, int(png.height - 1 - y));
    if (!UnfilterRow(png.pixelBytes, line[0], line + 1, above, png.width, out)) return false;
    above = out;
  }
  return true;
}

// Inflates on a second thread while this one unfilters: whether both succeeded, or nothing when
// the image is small, igzip is missing or no thread could be started (the caller then does both
// in turn).
std::optional<bool> DecodePipelined(const SxPlainPng& png, std::uint8_t* filtered,
                                      std::size_t filteredBytes, FIBITMAP* dib) {
#ifdef ZEL_HAVE_ISAL
  // igzip counts in 32 bits.
  if (filteredBytes < kMinPipelinedBytes || filteredBytes > UINT32_MAX ||
      std::thread::hardware_concurrency() < 2)
    return std::nullopt;
  CxInflateProgress progress;
  std::future<bool> inflated;
  try {
    inflated = std::async(std::launch::async, [&] {
      return InflateInSteps(png, filtered, filteredBytes, progress);
    });
  } catch (const std::system_error&) {
    return std::nullopt;
  }
  const bool unfiltered = UnfilterRows(png, filtered, 0, &progress, dib);
  return inflated.get() && unfiltered;
#else
  (void)png, (void)filtered, (void)filteredBytes, (void)dib;
  return std::nullopt;
#endif
}

bool DecodePixels(const SxPlainPng& png, FIBITMAP* dib) {
  const std::size_t lineBytes = std::size_t(png.width) * std::size_t(png.pixelBytes) + 1;
  const std::size_t filteredBytes = lineBytes * png.height;
  std::unique_ptr<std::uint8_t[]> filtered(new (std::nothrow) std::uint8_t[filteredBytes]);
  if (!filtered) return false;
  if (const auto pipelined = DecodePipelined(png, filtered.get(), filteredBytes, dib))
    return *pipelined;
  return InflateWhole(png, filtered.get(), filteredBytes) &&
         UnfilterRows(png, filtered.get(), filteredBytes, nullptr, dib);
}

}  // namespace

FIBITMAP* DecodePlainPng8(const unsigned char* data, std::size_t size) {
  SxPlainPng png;
  try {
    if (size < kSignatureBytes || !ReadChunks(data, size, png)) return nullptr;
    const std::uint64_t filteredBytes =
        (std::uint64_t(png.width) * std::uint64_t(png.pixelBytes) + 1) * png.height;
    if (ClaimsMoreThanFileHolds(filteredBytes, size) || filteredBytes > kMaxDecodedBytes ||
        !WithinSampleCeiling(png.width, png.height, png.pixelBytes))
      return nullptr;
    BitmapPtr dib(AllocatePngBitmap(FIT_BITMAP, png.width, png.height, 8 * png.pixelBytes));
    if (!dib || !DecodePixels(png, dib.get())) return nullptr;
    for (const SxText& t : png.texts) SetPngTextTag(dib.get(), t.keyword.c_str(), t.text.c_str());
    if (png.hasTime)
      SetPngTimeTag(dib.get(), png.time[0], png.time[1], png.time[2], png.time[3], png.time[4],
                    png.time[5]);
    if (png.resolutionInMetres) {
      FreeImage_SetDotsPerMeterX(dib.get(), png.dotsPerMetre[0]);
      FreeImage_SetDotsPerMeterY(dib.get(), png.dotsPerMetre[1]);
    }
    return dib.release();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace ur::detail
