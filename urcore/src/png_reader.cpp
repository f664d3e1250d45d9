// PNG decoding with libpng into FreeImage bitmaps that hold the stored samples.
//
// libpng reports errors by longjmp back to the setjmp in Decode. Everything that must outlive
// such a jump lives in DecodeState, and the functions libpng may jump out of (the callbacks
// and the protected decoding steps) keep only trivially destructible locals, so that no
// destructor is skipped.

#include <ur/png_reader.h>

#include <ur/image_buf.h>

#include "png_decode_common.h"
#include "png_direct_reader.h"

#include <FreeImage.h>
#include <png.h>

#include <QFile>
#include <QtGlobal>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace ur {

namespace {

using detail::kMaxDecodedBytes;
constexpr png_uint_32 kMaxSide = detail::kMaxPngSide;
constexpr png_alloc_size_t kMaxChunkBytes = detail::kMaxPngChunkBytes;
constexpr int kPaletteEntries = 256;
constexpr int kGreyBits = 8;
constexpr int kSixteenBits = 16;
constexpr int kOpaque = 255;

struct DecodeState {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  std::size_t offset = 0;
  ExPngPaletteForm paletteForm = ExPngPaletteForm::eAlwaysAlpha;

  png_structp png = nullptr;
  png_infop info = nullptr;
  FIBITMAP* dib = nullptr;
  std::vector<png_bytep> rows;
  char message[256] = {};

  // A palette of grey opaque entries is read as indices and then turned into the entries' grey
  // levels.
  bool mapGreyPalette = false;
  unsigned char greyOfIndex[kPaletteEntries] = {};
  int significantBits = 0;

  ~DecodeState() {
    png_destroy_read_struct(&png, &info, nullptr);
    if (dib) FreeImage_Unload(dib);
  }
};

DecodeState& StateOf(png_structp png) {
  return *static_cast<DecodeState*>(png_get_error_ptr(png));
}

void OnError(png_structp png, png_const_charp message) {
  DecodeState& state = StateOf(png);
  std::snprintf(state.message, sizeof state.message, "%s", message ? message : "damaged file");
  png_longjmp(png, 1);
}

// Warnings concern chunks that were skipped or repaired (a bad CRC of an ancillary chunk, an
// incorrect sRGB profile); the samples are intact, so they are only worth a debug line.
void OnWarning(png_structp, png_const_charp message) { qDebug("PNG: %s", message); }

void ReadBytes(png_structp png, png_bytep out, std::size_t count) {
  auto* state = static_cast<DecodeState*>(png_get_io_ptr(png));
  if (count > state->size - state->offset) png_error(png, "unexpected end of file");
  std::memcpy(out, state->data + state->offset, count);
  state->offset += count;
}

// True when every palette entry is grey and opaque: the picture is then a grey image.
bool IsGreyPalette(DecodeState& s) {
  png_colorp palette = nullptr;
  int entries = 0;
  if (!png_get_PLTE(s.png, s.info, &palette, &entries) || entries <= 0) return false;
  png_bytep alpha = nullptr;
  int alphas = 0;
  if (png_get_tRNS(s.png, s.info, &alpha, &alphas, nullptr)) {
    for (int i = 0; i < alphas; ++i)
      if (alpha[i] != kOpaque) return false;
  }
  for (int i = 0; i < entries; ++i)
    if (palette[i].red != palette[i].green || palette[i].green != palette[i].blue) return false;
  // Indices beyond the palette are invalid; they read as black.
  for (int i = 0; i < entries && i < kPaletteEntries; ++i) s.greyOfIndex[i] = palette[i].red;
  return true;
}

// Chooses libpng's transformations and the bitmap type for the file's colour type and depth.
// Only transformations that move samples without changing them are used.
void ConfigureAndAllocate(DecodeState& s) {
  png_uint_32 width = 0, height = 0;
  int depth = 0, colour = 0, interlace = 0;
  png_get_IHDR(s.png, s.info, &width, &height, &depth, &colour, &interlace, nullptr, nullptr);

  const std::uint64_t stored = (std::uint64_t(png_get_rowbytes(s.png, s.info)) + 1) * height;
  if (detail::ClaimsMoreThanFileHolds(stored, s.size))
    png_error(s.png, "the image size in the header is more than the file can hold");

  FREE_IMAGE_TYPE type = FIT_BITMAP;
  int bpp = kGreyBits;
  const bool sixteen = depth == kSixteenBits;
  switch (colour) {
    case PNG_COLOR_TYPE_GRAY:
      if (depth < kGreyBits) {
        png_set_packing(s.png);
        s.significantBits = depth;
      }
      if (sixteen) type = FIT_UINT16;
      break;
    case PNG_COLOR_TYPE_PALETTE:
      if (depth < kGreyBits) png_set_packing(s.png);
      if (IsGreyPalette(s)) {
        s.mapGreyPalette = true;
        break;
      }
      png_set_palette_to_rgb(s.png);
      bpp = 32;
      if (png_get_valid(s.png, s.info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(s.png);
      else if (s.paletteForm == ExPngPaletteForm::eAlwaysAlpha)
        png_set_add_alpha(s.png, kOpaque, PNG_FILLER_AFTER);
      else
        bpp = 24;
      png_set_bgr(s.png);
      break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      png_set_gray_to_rgb(s.png);
      if (sixteen) type = FIT_RGBA16;
      bpp = sixteen ? 64 : 32;
      break;
    case PNG_COLOR_TYPE_RGB:
      if (sixteen) type = FIT_RGB16;
      bpp = sixteen ? 48 : 24;
      if (!sixteen) png_set_bgr(s.png);
      break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      if (sixteen) type = FIT_RGBA16;
      bpp = sixteen ? 64 : 32;
      if (!sixteen) png_set_bgr(s.png);
      break;
    default:
      png_error(s.png, "unknown colour type");
  }
  if (sixteen) png_set_swap(s.png);  // PNG samples are big-endian
  if (interlace != PNG_INTERLACE_NONE) png_set_interlace_handling(s.png);
  png_read_update_info(s.png, s.info);

  // Channels after the transformations above.
  const int channels = png_get_channels(s.png, s.info);
  if (!ur::WithinSampleCeiling(width, height, channels) ||
      std::uint64_t(width) * height * std::uint64_t(bpp / 8) > kMaxDecodedBytes)
    png_error(s.png, "the image is too large");
  s.dib = detail::AllocatePngBitmap(type, width, height, bpp);
  if (!s.dib) png_error(s.png, "out of memory");
  if (png_get_rowbytes(s.png, s.info) > FreeImage_GetLine(s.dib))
    png_error(s.png, "unexpected row size");
}

void ReadPixels(DecodeState& s) {
  const unsigned height = FreeImage_GetHeight(s.dib);
  for (unsigned y = 0; y < height; ++y) s.rows[y] = FreeImage_GetScanLine(s.dib, int(height - 1 - y));
  png_read_image(s.png, s.rows.data());
  if (!s.mapGreyPalette) return;
  const unsigned width = FreeImage_GetWidth(s.dib);
  for (unsigned y = 0; y < height; ++y) {
    BYTE* line = FreeImage_GetScanLine(s.dib, int(y));
    for (unsigned x = 0; x < width; ++x) line[x] = s.greyOfIndex[line[x]];
  }
}

void ReadMetadata(DecodeState& s) {
  png_textp texts = nullptr;
  const int count = png_get_text(s.png, s.info, &texts, nullptr);
  for (int i = 0; i < count; ++i)
    detail::SetPngTextTag(s.dib, texts[i].key, texts[i].text ? texts[i].text : "");

  png_timep time = nullptr;
  if (png_get_tIME(s.png, s.info, &time) && time)
    detail::SetPngTimeTag(s.dib, time->year, time->month, time->day, time->hour, time->minute,
                          time->second);

  png_uint_32 xRes = 0, yRes = 0;
  int unit = 0;
  if (png_get_pHYs(s.png, s.info, &xRes, &yRes, &unit) && unit == PNG_RESOLUTION_METER) {
    FreeImage_SetDotsPerMeterX(s.dib, xRes);
    FreeImage_SetDotsPerMeterY(s.dib, yRes);
  }

  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 profileSize = 0;
  if (png_get_iCCP(s.png, s.info, &name, &compression, &profile, &profileSize) && profile &&
      profileSize > 0)
    FreeImage_CreateICCProfile(s.dib, profile, long(profileSize));
}

// Runs the decoding steps under libpng's error handler; false after any error.
bool Decode(DecodeState& s) {
  if (setjmp(png_jmpbuf(s.png))) return false;
  png_set_read_fn(s.png, &s, ReadBytes);
  png_set_user_limits(s.png, kMaxSide, kMaxSide);
  png_set_chunk_malloc_max(s.png, kMaxChunkBytes);
  png_read_info(s.png, s.info);
  ConfigureAndAllocate(s);
  s.rows.resize(FreeImage_GetHeight(s.dib));
  ReadPixels(s);
  // Text chunks may follow the image data.
  png_read_end(s.png, s.info);
  ReadMetadata(s);
  return true;
}

}  // namespace

bool IsPngSignature(const unsigned char* data, std::size_t size) {
  constexpr std::size_t kSignatureBytes = 8;
  return data && size >= kSignatureBytes && png_sig_cmp(data, 0, kSignatureBytes) == 0;
}

FIBITMAP* DecodePng(const unsigned char* data, std::size_t size, ExPngPaletteForm paletteForm,
                    int& significantBits, QString& error) {
  significantBits = 0;
  if (!IsPngSignature(data, size)) {
    error = QStringLiteral("not a PNG file");
    return nullptr;
  }
  // ZEL images and most other 8-bit files take the direct way; libpng decodes the rest, and
  // reports what is wrong with a damaged file.
  if (FIBITMAP* dib = detail::DecodePlainPng8(data, size)) return dib;
  char chunk[5] = {};
  if (detail::FindChunkPastEnd(data, size, chunk)) {
    error = QStringLiteral("%1: the chunk runs past the end of the file").arg(QLatin1String(chunk));
    return nullptr;
  }
  DecodeState state;
  state.data = data;
  state.size = size;
  state.paletteForm = paletteForm;
  state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning);
  if (state.png) state.info = png_create_info_struct(state.png);
  if (!state.png || !state.info) {
    error = QStringLiteral("out of memory");
    return nullptr;
  }
  if (!Decode(state)) {
    error = QString::fromLatin1(state.message);
    if (error.isEmpty()) error = QStringLiteral("damaged file");
    return nullptr;
  }
  significantBits = state.significantBits;
  FIBITMAP* dib = state.dib;
  state.dib = nullptr;
  return dib;
}

FIBITMAP* LoadPngFile(const QString& path, ExPngPaletteForm paletteForm, int& significantBits,
                      QString& error) {
  significantBits = 0;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    error = file.errorString();
    return nullptr;
  }
  const qint64 size = file.size();
  if (size <= 0) {
    error = QStringLiteral("empty file");
    return nullptr;
  }
  // Mapped where the file system allows it, so a large frame is not copied before decoding.
  if (const uchar* mapped = file.map(0, size))
    return DecodePng(mapped, std::size_t(size), paletteForm, significantBits, error);
  const QByteArray bytes = file.readAll();
  if (bytes.size() != size) {
    error = QStringLiteral("cannot read the file");
    return nullptr;
  }
  return DecodePng(reinterpret_cast<const unsigned char*>(bytes.constData()),
                   std::size_t(bytes.size()), paletteForm, significantBits, error);
}

}  // namespace ur
