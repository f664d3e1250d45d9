#include "png_writer.h"

#include "image_png_text.h"
#include "png_deflate.h"
#include "png_layout.h"

#include <QtEndian>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <future>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace ur::detail {
namespace {

constexpr int kMaxKeywordBytes = 79;
constexpr int kMaxDeflateLevel = 9;
constexpr int kHeaderReserve = 16384;  // signature, IHDR, pHYs, a ZEL record, IEND
// Filtered rows go to the compressor in pieces of about this size, which stay in the cache.
constexpr std::size_t kPieceBytes = std::size_t(256) << 10;
// Images from this size on are compressed on two threads where the compressor allows it.
constexpr std::size_t kMinSplitBytes = std::size_t(1) << 20;
constexpr std::size_t kAdlerBytes = 4;

constexpr std::uint8_t kPngColourGrey = 0;
constexpr std::uint8_t kPngColourRgb = 2;
constexpr std::uint8_t kPngFilterSub = 1;
constexpr std::uint8_t kPngFilterAverage = 3;
constexpr std::uint8_t kPngUnitMetre = 1;

struct MetadataFindDeleter {
  void operator()(FIMETADATA* handle) const { FreeImage_FindCloseMetadata(handle); }
};
using MetadataFindPtr = std::unique_ptr<FIMETADATA, MetadataFindDeleter>;

// A keyword that libpng would store unchanged: 1-79 printable Latin-1 characters, no space at
// either end and no two spaces in a row. libpng rewrites or refuses any other keyword, so such
// tags go the FreeImage way to keep one behaviour.
bool IsPlainKeyword(const char* key) {
  const std::size_t length = key ? std::strlen(key) : 0;
  if (length == 0 || length > kMaxKeywordBytes || key[0] == ' ' || key[length - 1] == ' ')
    return false;
  for (std::size_t i = 0; i < length; ++i) {
    const auto c = static_cast<unsigned char>(key[i]);
    const bool printable = (c >= 32 && c <= 126) || c >= 161;
    if (!printable || (c == ' ' && key[i + 1] == ' ')) return false;
  }
  return true;
}

bool HasOnlyPlainComments(FIBITMAP* dib) {
  FITAG* tag = nullptr;
  const MetadataFindPtr find(FreeImage_FindFirstMetadata(FIMD_COMMENTS, dib, &tag));
  if (!find) return true;
  do {
    if (FreeImage_GetTagType(tag) != FIDT_ASCII || !IsPlainKeyword(FreeImage_GetTagKey(tag)))
      return false;
  } while (FreeImage_FindNextMetadata(find.get(), &tag));
  return true;
}

// The text libpng would store for a tag: its value up to its length or its first zero byte.
QByteArray TagText(FITAG* tag) {
  const auto* value = static_cast<const char*>(FreeImage_GetTagValue(tag));
  if (!value) return {};
  return QByteArray(value, int(qstrnlen(value, uint(FreeImage_GetTagLength(tag)))));
}

void AppendBigEndian(QByteArray& out, quint32 value) {
  char bytes[4];
  qToBigEndian(value, bytes);
  out.append(bytes, 4);
}

void AppendHeader(QByteArray& out, FIBITMAP* dib) {
  const bool colour = FreeImage_GetBPP(dib) == 24;
  QByteArray ihdr;
  AppendBigEndian(ihdr, FreeImage_GetWidth(dib));
  AppendBigEndian(ihdr, FreeImage_GetHeight(dib));
  // bit depth, colour type, compression, filter method, interlace
  const char depth = char(FreeImage_GetImageType(dib) == FIT_UINT16 ? 16 : 8);
  const char rest[5] = {depth, char(colour ? kPngColourRgb : kPngColourGrey), 0, 0, 0};
  ihdr.append(rest, 5);
  AppendPngChunk(out, "IHDR", ihdr.constData(), ihdr.size());

  QByteArray phys;
  AppendBigEndian(phys, FreeImage_GetDotsPerMeterX(dib));
  AppendBigEndian(phys, FreeImage_GetDotsPerMeterY(dib));
  phys.append(char(kPngUnitMetre));
  AppendPngChunk(out, "pHYs", phys.constData(), phys.size());
}

// FreeImage's writer stores an Exif "DateTime" of the form "YYYY:MM:DD hh:mm:ss" as a tIME
// chunk (and libpng drops impossible dates); so do we.
void AppendTime(QByteArray& out, FIBITMAP* dib) {
  FITAG* tag = nullptr;
  if (!FreeImage_GetMetadata(FIMD_EXIF_MAIN, dib, "DateTime", &tag) || !tag) return;
  const QByteArray text = TagText(tag);
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (std::sscanf(text.constData(), "%4d:%02d:%02d %2d:%02d:%02d", &year, &month, &day, &hour,
                  &minute, &second) != 6)
    return;
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || second < 0 || second > 60)
    return;
  const char time[7] = {char(quint16(year) >> 8), char(year), char(month), char(day),
                        char(hour), char(minute), char(second)};
  AppendPngChunk(out, "tIME", time, 7);
}

void AppendComments(QByteArray& out, FIBITMAP* dib) {
  FITAG* tag = nullptr;
  const MetadataFindPtr find(FreeImage_FindFirstMetadata(FIMD_COMMENTS, dib, &tag));
  if (!find) return;
  do {
    AppendPngTextChunk(out, QByteArray(FreeImage_GetTagKey(tag)), TagText(tag));
  } while (FreeImage_FindNextMetadata(find.get(), &tag));
}

// Sub filter, for the top row (and every row of 16-bit images): each byte minus the same byte
// of the pixel to its left.
template <class Layout>
void SubFilter(const std::uint8_t* src, int width, std::uint8_t* dst) {
  constexpr int n = Layout::kBytes;
  for (int k = 0; k < n; ++k) dst[k] = src[Layout::memoryByte(k)];
  for (std::size_t x = 1; x < std::size_t(width); ++x)
    for (int k = 0; k < n; ++k) {
      const std::size_t i = x * n + std::size_t(Layout::memoryByte(k));
      dst[x * n + std::size_t(k)] = std::uint8_t(src[i] - src[i - n]);
    }
}

// Average filter: each byte minus the mean of its left and upper neighbours. On camera frames
// it compresses as well as choosing a filter per row by the usual heuristics (and better than
// Sub or Paeth alone) at the cost of one add and shift per byte.
template <class Layout>
void AverageFilter(const std::uint8_t* src, const std::uint8_t* above, int width,
                   std::uint8_t* dst) {
  constexpr int n = Layout::kBytes;
  for (int k = 0; k < n; ++k) {
    const int m = Layout::memoryByte(k);
    dst[k] = std::uint8_t(src[m] - (above[m] >> 1));
  }
  for (std::size_t x = 1; x < std::size_t(width); ++x)
    for (int k = 0; k < n; ++k) {
      const std::size_t i = x * n + std::size_t(Layout::memoryByte(k));
      const int mean = (src[i - n] + above[i]) >> 1;
      dst[x * n + std::size_t(k)] = std::uint8_t(src[i] - mean);
    }
}

// Bytes per pixel in the file: 1 (8-bit grey), 2 (16-bit grey) or 3 (8-bit colour).
int PixelBytes(FIBITMAP* dib) { return int(FreeImage_GetBPP(dib) / 8); }

// Filters the file's rows [first, last) (top row first), each led by its filter type byte, and
// hands them to the writer a few rows at a time, so the filtered image never exists in full.
template <class Layout>
bool FilterAndCompress(FIBITMAP* dib, int first, int last, CxZlibWriter& writer) {
  const int width = int(FreeImage_GetWidth(dib));
  const int height = int(FreeImage_GetHeight(dib));
  // FreeImage keeps the bottom row first: the file's row y is scanline height - 1 - y.
  auto fileRow = [dib, height](int y) { return FreeImage_GetScanLine(dib, height - 1 - y); };
  const std::size_t lineBytes = std::size_t(width) * Layout::kBytes + 1;
  const int rowsPerPiece = int(std::max<std::size_t>(1, kPieceBytes / lineBytes));
  std::vector<std::uint8_t> piece(lineBytes * std::size_t(std::min(rowsPerPiece, last - first)));
  const BYTE* above = first > 0 ? fileRow(first - 1) : nullptr;
  // 16-bit frames (restored raw images) come out about an eighth smaller with Sub on every row
  // than with Average, at the same speed.
  constexpr bool kSubOnly = Layout::kBytes == SxGrey16::kBytes;
  for (int start = first; start < last; start += rowsPerPiece) {
    const int rows = std::min(rowsPerPiece, last - start);
    for (int r = 0; r < rows; ++r) {
      const BYTE* src = fileRow(start + r);
      std::uint8_t* dst = piece.data() + lineBytes * std::size_t(r);
      if (above && !kSubOnly) {
        dst[0] = kPngFilterAverage;
        AverageFilter<Layout>(src, above, width, dst + 1);
      } else {
        dst[0] = kPngFilterSub;
        SubFilter<Layout>(src, width, dst + 1);
      }
      above = src;
    }
    if (!writer.add(piece.data(), lineBytes * std::size_t(rows))) return false;
  }
  return true;
}

bool FilterAndCompress(FIBITMAP* dib, int first, int last, CxZlibWriter& writer) {
  switch (PixelBytes(dib)) {
    case SxGrey8::kBytes:
      return FilterAndCompress<SxGrey8>(dib, first, last, writer);
    case SxGrey16::kBytes:
      return FilterAndCompress<SxGrey16>(dib, first, last, writer);
    default:
      return FilterAndCompress<SxBgr8>(dib, first, last, writer);
  }
}

std::size_t FilteredLineBytes(FIBITMAP* dib) {
  return std::size_t(FreeImage_GetWidth(dib)) * std::size_t(PixelBytes(dib)) + 1;
}

// The zlib stream of the whole image at out on one thread; its size, 0 on failure.
std::size_t CompressImage(FIBITMAP* dib, int level, std::uint8_t* out, std::size_t capacity) {
  const int height = int(FreeImage_GetHeight(dib));
  CxZlibWriter writer(level, FilteredLineBytes(dib) * std::size_t(height), out, capacity);
  return FilterAndCompress(dib, 0, height, writer) ? writer.finish() : 0;
}

// The same on two threads: the top half as the stream's head at out, the bottom half as its
// tail after the head's room, then moved up behind the head and followed by the Adler-32.
// Returns 0 when a thread cannot be started; the caller then compresses on one thread.
std::size_t CompressImageInTwo(FIBITMAP* dib, std::uint8_t* out, std::size_t capacity) {
  const int height = int(FreeImage_GetHeight(dib));
  const int middle = height / 2;
  const std::size_t lineBytes = FilteredLineBytes(dib);
  const std::size_t headBytes = lineBytes * std::size_t(middle);
  const std::size_t tailBytes = lineBytes * std::size_t(height - middle);
  const std::size_t headRoom = CxZlibWriter::bound(headBytes);
  if (headRoom + CxZlibWriter::bound(tailBytes) + kAdlerBytes > capacity) return 0;

  using Part = CxZlibWriter::Part;
  CxZlibWriter head(-1, headBytes, out, headRoom, Part::Head);
  CxZlibWriter tail(-1, tailBytes, out + headRoom, capacity - headRoom - kAdlerBytes, Part::Tail);
  std::future<std::size_t> tailDone;
  try {
    tailDone = std::async(std::launch::async, [&] {
      return FilterAndCompress(dib, middle, height, tail) ? tail.finish() : 0;
    });
  } catch (const std::system_error&) {
    return 0;
  }
  const std::size_t headSize = FilterAndCompress(dib, 0, middle, head) ? head.finish() : 0;
  const std::size_t tailSize = tailDone.get();
  if (headSize == 0 || tailSize == 0) return 0;
  std::memmove(out + headSize, out + headRoom, tailSize);
  qToBigEndian(CxZlibWriter::combineAdler32(head.adler32(), tail.adler32(), tailBytes),
               out + headSize + tailSize);
  return headSize + tailSize + kAdlerBytes;
}

}  // namespace

bool CanEncodePng(FIBITMAP* dib) {
  if (!dib || !FreeImage_HasPixels(dib)) return false;
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(dib);
  const unsigned bpp = FreeImage_GetBPP(dib);
  const bool grey = bpp == 8 && FreeImage_GetColorType(dib) == FIC_MINISBLACK;
  const bool pixelsFit = type == FIT_UINT16 ? bpp == 16 : type == FIT_BITMAP && (grey || bpp == 24);
  if (!pixelsFit) return false;
  if (FreeImage_IsTransparent(dib) || FreeImage_GetTransparencyCount(dib) > 0 ||
      FreeImage_HasBackgroundColor(dib))
    return false;
  const FIICCPROFILE* profile = FreeImage_GetICCProfile(dib);
  if (profile && profile->size > 0) return false;
  if (FreeImage_GetMetadataCount(FIMD_XMP, dib) > 0) return false;
  return HasOnlyPlainComments(dib);
}

bool EncodePng(FIBITMAP* dib, int level, QByteArray& png) {
  png.clear();
  const std::size_t filteredBytes = FilteredLineBytes(dib) * FreeImage_GetHeight(dib);
  // Room for the stream in one part or in two (two bounds and the Adler-32).
  const std::size_t bound = 2 * CxZlibWriter::bound(filteredBytes) + kAdlerBytes;
  if (bound > std::size_t(INT_MAX - kHeaderReserve)) return false;  // beyond a QByteArray
  try {
    png.reserve(int(bound) + kHeaderReserve);
    png.append(kPngSignature, kPngSignatureBytes);
    AppendHeader(png, dib);
    AppendTime(png, dib);
    AppendComments(png, dib);
    // One IDAT chunk, compressed in place: no second copy of the image data. Growing the array
    // does not touch the memory beyond what the stream fills.
    const int idat = BeginPngChunk(png, "IDAT");
    const int dataStart = png.size();
    png.resize(dataStart + int(bound));
    auto* out = reinterpret_cast<std::uint8_t*>(png.data()) + dataStart;
    level = std::min(level, kMaxDeflateLevel);
    std::size_t written = 0;
    if (CxZlibWriter::canSplit(level) && filteredBytes >= kMinSplitBytes &&
        std::thread::hardware_concurrency() > 1)
      written = CompressImageInTwo(dib, out, bound);
    if (written == 0) written = CompressImage(dib, level, out, bound);
    if (written == 0) {
      png.clear();
      return false;
    }
    png.resize(dataStart + int(written));
    EndPngChunk(png, idat);
    AppendPngChunk(png, "IEND", nullptr, 0);
    return true;
  } catch (const std::bad_alloc&) {
    png.clear();
    return false;
  }
}

}  // namespace ur::detail
