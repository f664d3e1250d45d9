// CxImage: reading and writing image files through FreeImage.

#include <ur/atomic_file.h>
#include <ur/bitmap_claims.h>
#include <ur/image.h>
#include <ur/png_reader.h>

#include "image_bitmap.h"
#include "image_png_text.h"
#include "png_writer.h"
#include "tiff_writer.h"

#include <FreeImage.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

namespace ur {
namespace {

constexpr int kMinJpegQuality = 1;
constexpr int kMaxJpegQuality = 100;
constexpr int kMinPngLevel = -1;  // -1: the fast default
constexpr int kMaxPngLevel = 9;

// ---- reading ----

bool HasAllGreyPalette(FIBITMAP* dib) {
  const RGBQUAD* palette = FreeImage_GetPalette(dib);
  const unsigned colours = FreeImage_GetColorsUsed(dib);
  if (!palette || colours == 0) return false;
  for (unsigned i = 0; i < colours; ++i)
    if (palette[i].rgbRed != palette[i].rgbGreen || palette[i].rgbGreen != palette[i].rgbBlue)
      return false;
  return true;
}

// Turns bitmaps whose pixels are palette indices or packed bits into plain grey or colour
// bitmaps, so that a buffer can describe them. Other bitmaps are returned as they are.
// Null when the conversion runs out of memory.
detail::BitmapPtr ToBufferForm(detail::BitmapPtr dib) {
  if (FreeImage_GetImageType(dib.get()) != FIT_BITMAP) return dib;
  const unsigned bpp = FreeImage_GetBPP(dib.get());
  const bool plainGrey = bpp == 8 && FreeImage_GetColorType(dib.get()) == FIC_MINISBLACK;
  if (bpp == 24 || bpp == 32 || plainGrey) return dib;

  FIBITMAP* converted = nullptr;
  if (bpp <= 8 && HasAllGreyPalette(dib.get()))
    converted = FreeImage_ConvertToGreyscale(dib.get());
  else if (FreeImage_IsTransparent(dib.get()))
    converted = FreeImage_ConvertTo32Bits(dib.get());
  else
    converted = FreeImage_ConvertTo24Bits(dib.get());
  if (!converted) return nullptr;
  detail::CopyAllMetadata(converted, dib.get());
  return detail::BitmapPtr(converted);
}

// ---- writing ----

struct MemoryDeleter {
  void operator()(FIMEMORY* memory) const { FreeImage_CloseMemory(memory); }
};

void LogWriteError(const QString& path, int error) {
  qWarning("CxImage: cannot write %s: %s", qUtf8Printable(path), std::strerror(error));
}

using MemoryPtr = std::unique_ptr<FIMEMORY, MemoryDeleter>;

// Encodes dib into memory. encoded views the memory's bytes (valid while it lives); for PNG it
// is a repaired copy when text chunks had to be rewritten. False when the encoder fails.
bool Encode(FIBITMAP* dib, FREE_IMAGE_FORMAT fif, int flags, MemoryPtr& memory,
            QByteArray& encoded) {
  memory.reset(FreeImage_OpenMemory());
  if (!memory || !FreeImage_SaveToMemory(fif, dib, memory.get(), flags)) return false;
  BYTE* data = nullptr;
  DWORD size = 0;
  if (!FreeImage_AcquireMemory(memory.get(), &data, &size) || size == 0 || size > DWORD(INT_MAX))
    return false;
  encoded = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
  if (fif == FIF_PNG) encoded = detail::LatinTextChunksToTExt(encoded);
  return true;
}

// Writes bytes to a new file at path. False when the file cannot be created or any byte cannot
// be written (checked up to fclose, which is where a full disk often shows); the caller removes
// what is left.
bool WriteNewFile(const QString& path, const QByteArray& bytes) {
  // "x": never write into a file that appeared under the temporary name meanwhile.
  std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "wbx");
  if (!file) {
    LogWriteError(path, errno);
    return false;
  }
  const bool written = std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), file) ==
                           std::size_t(bytes.size()) &&
                       std::fflush(file) == 0;
  int error = errno;
  const bool closed = std::fclose(file) == 0;
  if (written && !closed) error = errno;
  if (!written || !closed) LogWriteError(path, error);
  return written && closed;
}

// FreeImage save flags for the format, or -1 when the parameters do not fit it.
int SaveFlags(FREE_IMAGE_FORMAT fif, const CxImage::SxSaveParams& params) {
  switch (fif) {
    case FIF_PNG:
      if (params.compressionLevel < kMinPngLevel || params.compressionLevel > kMaxPngLevel)
        return -1;
      if (params.compressionLevel < 0) return PNG_Z_BEST_SPEED;
      if (params.compressionLevel == 0) return PNG_Z_NO_COMPRESSION;
      return params.compressionLevel;  // PNG_Z_BEST_SPEED (1) .. PNG_Z_BEST_COMPRESSION (9)
    case FIF_JPEG:
      if (params.quality < kMinJpegQuality || params.quality > kMaxJpegQuality) return -1;
      return params.quality;  // FreeImage reads flags 1..100 as the JPEG quality
    default:
      return 0;
  }
}

bool CanHold(FREE_IMAGE_FORMAT fif, FIBITMAP* dib) {
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(dib);
  if (!FreeImage_FIFSupportsWriting(fif) || !FreeImage_FIFSupportsExportType(fif, type))
    return false;
  return type != FIT_BITMAP || FreeImage_FIFSupportsExportBPP(fif, int(FreeImage_GetBPP(dib)));
}

}  // namespace

namespace {

// The format FreeImage reads path with (by contents, else by suffix), FIF_UNKNOWN when the file
// does not exist or no reader takes it. name receives the path in the file system's encoding.
FREE_IMAGE_FORMAT ReadableFormat(const QString& path, QByteArray& name) {
  if (!QFileInfo(path).isFile()) return FIF_UNKNOWN;
  name = QFile::encodeName(path);
  FREE_IMAGE_FORMAT fif = FreeImage_GetFileType(name.constData(), 0);
  if (fif == FIF_UNKNOWN) fif = FreeImage_GetFIFFromFilename(name.constData());
  if (fif != FIF_UNKNOWN && !FreeImage_FIFSupportsReading(fif)) return FIF_UNKNOWN;
  return fif;
}

// One decoder reads all of PBM, PGM and PPM; FreeImage names any of them PBM by content.
FREE_IMAGE_FORMAT Family(FREE_IMAGE_FORMAT fif) {
  switch (fif) {
    case FIF_PGM:
    case FIF_PPM:
    case FIF_PBMRAW:
    case FIF_PGMRAW:
    case FIF_PPMRAW: return FIF_PBM;
    default: return fif;
  }
}

// Why FreeImage's decoder of fif is not given the file: its first bytes say another format than
// its suffix (decoders of formats nobody asked for are not trusted with damaged files), or its
// header claims more than may be allocated. Empty when it may decode it.
QString ForeignOrOversizedProblem(FREE_IMAGE_FORMAT fif, const QString& path,
                                  const QByteArray& name) {
  const FREE_IMAGE_FORMAT named = FreeImage_GetFIFFromFilename(name.constData());
  if (named != FIF_UNKNOWN && Family(named) != Family(fif))
    return QStringLiteral("it holds a %1 image, not the %2 its name says")
        .arg(QLatin1String(FreeImage_GetFormatFromFIF(fif)),
             QLatin1String(FreeImage_GetFormatFromFIF(named)));
  if (!FreeImage_FIFSupportsNoPixels(fif)) return QString();
  const detail::BitmapPtr header(FreeImage_Load(fif, name.constData(), FIF_LOAD_NOPIXELS));
  return BitmapClaimProblem(header.get(), QFileInfo(path).size());
}

}  // namespace

Result CxImage::load(const QString& path) {
  InstallFreeImageMessageHandler();
  QByteArray name;
  const FREE_IMAGE_FORMAT fif = ReadableFormat(path, name);
  if (fif == FIF_UNKNOWN) return rc::Fail;

  detail::BitmapPtr dib;
  int significantBits = 0;
  if (fif == FIF_PNG) {
    QString error;
    dib.reset(LoadPngFile(path, ExPngPaletteForm::eAlphaWhenTransparent, significantBits, error));
    if (!dib) {
      qWarning("CxImage: cannot read %s: %s", qUtf8Printable(path), qUtf8Printable(error));
      return rc::Fail;
    }
  } else {
    const QString problem = ForeignOrOversizedProblem(fif, path, name);
    if (!problem.isEmpty()) {
      qWarning("CxImage: cannot read %s: %s", qUtf8Printable(path), qUtf8Printable(problem));
      return rc::Fail;
    }
    dib.reset(FreeImage_Load(fif, name.constData(), 0));
  }
  if (!dib || !FreeImage_HasPixels(dib.get()) || FreeImage_GetWidth(dib.get()) == 0 ||
      FreeImage_GetHeight(dib.get()) == 0)
    return rc::Fail;
  dib = ToBufferForm(std::move(dib));
  if (!dib) return rc::Fail;

  if (m_bitmap) FreeImage_Unload(m_bitmap);
  m_bitmap = dib.release();
  m_bitDepth = significantBits;
  return rc::Ok;
}

Result CxImage::loadMetadata(const QString& path) {
  InstallFreeImageMessageHandler();
  QByteArray name;
  const FREE_IMAGE_FORMAT fif = ReadableFormat(path, name);
  if (fif == FIF_UNKNOWN) return rc::Fail;
  // A raw camera file would otherwise be decoded and demosaiced just to reach its tags.
  const int flags = FreeImage_FIFSupportsNoPixels(fif) ? FIF_LOAD_NOPIXELS : 0;
  detail::BitmapPtr dib(FreeImage_Load(fif, name.constData(), flags));
  if (!dib) return rc::Fail;
  if (m_bitmap) FreeImage_Unload(m_bitmap);
  m_bitmap = dib.release();
  m_bitDepth = 0;
  return rc::Ok;
}

Result CxImage::save(const QString& path) const { return save(path, SxSaveParams{}); }

namespace {

// The format a file is saved in, by the file name only: a dot in a folder name must not count as
// a suffix.
FREE_IMAGE_FORMAT SaveFormat(const QString& path) {
  return FreeImage_GetFIFFromFilename(QFile::encodeName(QFileInfo(path).fileName()).constData());
}

Result SaveBitmap(FIBITMAP* dib, const QString& path, const CxImage::SxSaveParams& params) {
  const FREE_IMAGE_FORMAT fif = SaveFormat(path);
  if (fif == FIF_UNKNOWN || !CanHold(fif, dib)) return rc::Unsupported;
  const int flags = SaveFlags(fif, params);
  if (flags < 0) return rc::InvalidArg(2);

  // Encoding first means nothing is created on disk when the encoder refuses the bitmap.
  // 8-bit PNGs (ZEL images) and 16-bit grey PNGs and TIFFs (restored raw images) get our faster
  // encoders; everything else goes through FreeImage.
  MemoryPtr memory;
  QByteArray encoded;
  // Our encoders refuse what they cannot hold in memory (images of some hundreds of
  // megapixels); FreeImage may still write those.
  const bool encodedOk = (fif == FIF_PNG && detail::CanEncodePng(dib) &&
                          detail::EncodePng(dib, params.compressionLevel, encoded)) ||
                         (fif == FIF_TIFF && detail::CanEncodeTiff16(dib) &&
                          detail::EncodeTiff16(dib, encoded)) ||
                         Encode(dib, fif, flags, memory, encoded);
  if (!encodedOk) return rc::Fail;
  CxAtomicFile file(path);
  if (!WriteNewFile(file.tempPath(), encoded)) return rc::Fail;
  QString reason;
  if (file.commit(&reason)) return rc::Ok;
  qWarning("CxImage: cannot write %s: %s", qUtf8Printable(path), qUtf8Printable(reason));
  return rc::Fail;
}

// A bitmap over the buffer's own rows, for a 16-bit grey buffer saved as PNG or TIFF (a
// restored raw image, which our encoders write): copying a whole frame into a bitmap first cost
// a noticeable part of the save. Null for any other buffer or format.
detail::BitmapPtr WrapSixteenBitGrey(const SxImageBuf& buf, const QString& path) {
  const FREE_IMAGE_FORMAT fif = SaveFormat(path);
  if ((fif != FIF_PNG && fif != FIF_TIFF) || !HasPixels(buf) || buf.planar != 0 ||
      buf.channels != 1 || buf.dataType != eImageDataUInt16)
    return nullptr;
  const std::int64_t pitch = buf.linePitch > 0 ? buf.linePitch : MinLinePitch(buf);
  if (pitch < MinLinePitch(buf) || pitch > INT_MAX) return nullptr;
  // Row y of the buffer is scanline y, as setImageBuf copies it.
  return detail::BitmapPtr(FreeImage_ConvertFromRawBitsEx(FALSE, buf.data, FIT_UINT16, buf.width,
                                                          buf.height, int(pitch), 16, 0, 0, 0,
                                                          FALSE));
}

}  // namespace

Result CxImage::save(const QString& path, const SxSaveParams& params) const {
  InstallFreeImageMessageHandler();
  if (!m_bitmap) return rc::Fail;
  return SaveBitmap(m_bitmap, path, params);
}

Result CxImage::saveBufferToFile(const SxImageBuf& buf, const QString& path) {
  return saveBufferToFile(buf, path, SxSaveParams{});
}

Result CxImage::saveBufferToFile(const SxImageBuf& buf, const QString& path,
                                 const SxSaveParams& params) {
  InstallFreeImageMessageHandler();
  if (const detail::BitmapPtr wrapped = WrapSixteenBitGrey(buf, path))
    return SaveBitmap(wrapped.get(), path, params);
  CxImage image;
  const Result rc = image.setImageBuf(buf);
  if (Failed(rc)) return rc;
  return image.save(path, params);
}

}  // namespace ur
