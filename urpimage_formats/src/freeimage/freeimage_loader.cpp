#include "freeimage/freeimage_loader.h"

#include "freeimage/freeimage_bitmap.h"
#include "freeimage/freeimage_formats.h"
#include "freeimage/freeimage_metadata.h"

#include <ur/bitmap_claims.h>
#include <ur/buffers.h>
#include <ur/png_reader.h>
#include <ur/units.h>

#include <QDateTime>
#include <QFileInfo>
#include <QPoint>
#include <QRect>

#include <cstdint>
#include <cstdio>
#include <new>

namespace ur {

namespace {

using freeimage::BitmapPtr;
using freeimage::MemoryPtr;
using freeimage::TagText;

constexpr int kNoFlags = 0;
constexpr int kBayerCellText = 4;  // "RGGB": FreeImage may repeat the cell over several rows

int LoadFlags(FREE_IMAGE_FORMAT format) {
  switch (format) {
    case FIF_JPEG:
      return JPEG_ACCURATE;
    case FIF_RAW:
      return RAW_UNPROCESSED;
    default:
      return kNoFlags;
  }
}

// Where a format can load its header alone, the claim is checked before the bitmap is
// allocated. Empty when the claim fits or the format cannot tell.
template <typename LoadHeader>
QString HeaderClaimProblem(FREE_IMAGE_FORMAT format, std::int64_t fileBytes,
                           LoadHeader loadHeader) {
  if (!FreeImage_FIFSupportsNoPixels(format)) return QString();
  const BitmapPtr header(loadHeader(LoadFlags(format) | FIF_LOAD_NOPIXELS));
  return BitmapClaimProblem(header.get(), fileBytes);
}

ExBayerGrid GridFromPattern(const QString& pattern) {
  const QString cell = pattern.left(kBayerCellText).toUpper();
  if (cell == QLatin1String("RGGB")) return eBayerRGGB;
  if (cell == QLatin1String("BGGR")) return eBayerBGGR;
  if (cell == QLatin1String("GRBG")) return eBayerGRBG;
  if (cell == QLatin1String("GBRG")) return eBayerGBRG;
  return eBayerNone;
}

// An integer comment tag of a raw bitmap; false when absent or not a number.
bool RawFrameValue(FIBITMAP* bitmap, const char* key, int& value) {
  bool ok = false;
  value = TagText(bitmap, FIMD_COMMENTS, key).trimmed().toInt(&ok);
  return ok;
}

// The Bayer grid of an unprocessed raw image, and the crop to its visible frame.
Result ApplyRawFrame(FIBITMAP* bitmap, ScopedImageBuf& buf) {
  const QString pattern = TagText(bitmap, FIMD_COMMENTS, "Raw.BayerPattern");
  if (!pattern.isEmpty()) {
    const ExBayerGrid grid = GridFromPattern(pattern);
    if (grid == eBayerNone)
      freeimage::LogWarning(QStringLiteral("Unknown bayer grid %1").arg(pattern));
    else
      buf->bayerGrid = grid;
  }

  int left = 0, top = 0, width = 0, height = 0;
  if (!RawFrameValue(bitmap, "Raw.Frame.Left", left) ||
      !RawFrameValue(bitmap, "Raw.Frame.Top", top) ||
      !RawFrameValue(bitmap, "Raw.Frame.Width", width) ||
      !RawFrameValue(bitmap, "Raw.Frame.Height", height))
    return rc::Ok;
  if (width == buf->width && height == buf->height) return rc::Ok;
  const QRect frame(left, top, width, height);
  if (frame.isEmpty() || !QRect(0, 0, buf->width, buf->height).contains(frame)) {
    freeimage::LogWarning(QStringLiteral("Raw frame outside the image; kept uncropped."));
    return rc::Ok;
  }

  SxImageBuf croppedDesc = buf.get();
  croppedDesc.data = nullptr;
  croppedDesc.width = width;
  croppedDesc.height = height;
  croppedDesc.linePitch = 0;
  ScopedImageBuf cropped;
  if (Failed(AllocBuffer(cropped.get(), ImageInfo(croppedDesc)))) {
    LogError(QStringLiteral("Out of memory."));
    return freeimage::kOutOfMemory;
  }
  // The grid names the colours at the top-left of the copied region (LibRaw's frame origin).
  const Result r = CopyBuffer(buf.get(), frame, cropped.get(), QPoint(0, 0), true);
  if (Failed(r)) return r;
  buf = std::move(cropped);
  return rc::Ok;
}

// A loaded bitmap as a top-down buffer with its metadata; significantBits (when not 0) is the
// stored depth of a grey image below 8 bits.
Result ConvertBitmap(FIBITMAP* bitmap, FREE_IMAGE_FORMAT format, int significantBits,
                     SxImageBuf& out, CxMetadata& metadata) {
  ScopedImageBuf buf;
  Result r = freeimage::BitmapToBuffer(bitmap, buf.get());
  if (Failed(r)) return r;
  if (significantBits > 0) buf->bitDepth = significantBits;

  const bool standardBitmap = FreeImage_GetImageType(bitmap) == FIT_BITMAP;
  freeimage::ReadMetadata(bitmap, format, standardBitmap, metadata, buf.get());

  if (format == FIF_RAW) {
    r = ApplyRawFrame(bitmap, buf);
    if (Failed(r)) return r;
  }
  out = buf.release();
  return rc::Ok;
}

}  // namespace

CxFreeImageLoader::CxFreeImageLoader(QObject* parent) : IxImageDataLoader(parent) {}

CxFreeImageLoader::~CxFreeImageLoader() = default;

bool CxFreeImageLoader::open() {
  close();
  try {
    ScopedImageBuf buf;
    CxMetadata metadata;
    const bool ok =
        m_fileName.isEmpty() ? openMemory(buf.get(), metadata) : openFile(buf.get(), metadata);
    // A loader never reports an image without pixels.
    if (!ok || !HasPixels(buf.get())) return false;

    auto data = std::make_unique<CxImageData>();
    data->setImageShallow(buf.release(), 0, 0, QDateTime::currentDateTime());
    data->setMetadata(metadata);
    m_imageData = std::move(data);
    return true;
  } catch (const std::bad_alloc&) {
    LogError(QStringLiteral("Out of memory."));
    close();
    return false;
  }
}

bool CxFreeImageLoader::openFile(SxImageBuf& buf, CxMetadata& metadata) {
  const QByteArray path = FileSystemRepresentation(m_fileName);
  FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.constData(), 0);
  if (format == FIF_UNKNOWN) format = FreeImage_GetFIFFromFilename(path.constData());
  if (format == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(format)) {
    LogError(QStringLiteral("Unknown image format."));
    return false;
  }
  if (!freeimage::IsOfferedFormat(format)) {
    LogError(QStringLiteral("Cannot load the image from file %1: it holds a %2 image, which is not "
                            "read")
                 .arg(m_fileName, QLatin1String(FreeImage_GetFormatFromFIF(format))));
    return false;
  }

  if (format != FIF_PNG) {
    const auto loadHeader = [&path, format](int flags) {
      return FreeImage_Load(format, path.constData(), flags);
    };
    const QString claim = HeaderClaimProblem(format, QFileInfo(m_fileName).size(), loadHeader);
    if (!claim.isEmpty()) {
      LogError(QStringLiteral("Cannot load the image from file %1: %2").arg(m_fileName, claim));
      return false;
    }
  }
  // PNG files are decoded by our own reader, which keeps the stored samples.
  int significantBits = 0;
  QString error;
  const BitmapPtr bitmap(format == FIF_PNG
                             ? LoadPngFile(m_fileName, ExPngPaletteForm::eAlwaysAlpha, significantBits, error)
                             : FreeImage_Load(format, path.constData(), LoadFlags(format)));
  if (!bitmap) {
    LogError(QStringLiteral("Cannot load the image from file %1").arg(m_fileName));
    if (!error.isEmpty()) LogError(QStringLiteral("PNG file %1: %2").arg(m_fileName, error));
    return false;
  }
  return Succeeded(ConvertBitmap(bitmap.get(), format, significantBits, buf, metadata));
}

bool CxFreeImageLoader::openMemory(SxImageBuf& buf, CxMetadata& metadata) {
  if (m_buffer.isEmpty()) {
    LogError(QStringLiteral("The image buffer is empty."));
    return false;
  }
  // FreeImage only reads from a stream opened on existing bytes; it never writes into them.
  const MemoryPtr memory(FreeImage_OpenMemory(
      reinterpret_cast<BYTE*>(const_cast<char*>(m_buffer.constData())), DWORD(m_buffer.size())));
  if (!memory) {
    LogError(QStringLiteral("Out of memory."));
    return false;
  }
  FREE_IMAGE_FORMAT format = FreeImage_GetFileTypeFromMemory(memory.get(), 0);
  if (format == FIF_UNKNOWN) format = freeimage::FormatFromName(m_bufferFormat);
  if (format == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(format)) {
    LogError(QStringLiteral("Unknown image format."));
    return false;
  }
  if (!freeimage::IsOfferedFormat(format)) {
    LogError(QStringLiteral("Cannot load the image from memory: it holds a %1 image, which is not "
                            "read")
                 .arg(QLatin1String(FreeImage_GetFormatFromFIF(format))));
    return false;
  }

  if (format != FIF_PNG) {
    const auto loadHeader = [&memory, format](int flags) {
      FreeImage_SeekMemory(memory.get(), 0, SEEK_SET);
      FIBITMAP* header = FreeImage_LoadFromMemory(format, memory.get(), flags);
      FreeImage_SeekMemory(memory.get(), 0, SEEK_SET);
      return header;
    };
    const QString claim = HeaderClaimProblem(format, m_buffer.size(), loadHeader);
    if (!claim.isEmpty()) {
      LogError(QStringLiteral("Cannot load the image from memory: %1").arg(claim));
      return false;
    }
  }
  int significantBits = 0;
  QString error;
  const BitmapPtr bitmap(
      format == FIF_PNG
          ? DecodePng(reinterpret_cast<const unsigned char*>(m_buffer.constData()),
                      std::size_t(m_buffer.size()), ExPngPaletteForm::eAlwaysAlpha,
                      significantBits, error)
          : FreeImage_LoadFromMemory(format, memory.get(), LoadFlags(format)));
  if (!bitmap) {
    LogError(QStringLiteral("Cannot load the image from memory."));
    if (!error.isEmpty()) LogError(QStringLiteral("PNG data: %1").arg(error));
    return false;
  }
  return Succeeded(ConvertBitmap(bitmap.get(), format, significantBits, buf, metadata));
}

bool CxFreeImageLoader::isOpen() const { return m_imageData != nullptr; }

void CxFreeImageLoader::close() { m_imageData.reset(); }

int CxFreeImageLoader::frameCount() const { return 1; }

void CxFreeImageLoader::setFilename(const QString& fileName) {
  close();
  m_fileName = fileName;
}

void CxFreeImageLoader::setBuffer(const QByteArray& buffer, const QString& format) {
  close();
  m_buffer = buffer;
  m_bufferFormat = format;
}

bool CxFreeImageLoader::supportsLoadFromBuffer() const { return true; }

FileFormatList CxFreeImageLoader::fileFormats() const { return freeimage::LoaderFileFormats(); }

CxImageData* CxFreeImageLoader::imageData(int frame) {
  if (!m_imageData || frame != 0 || !m_imageData->hasPixels()) return nullptr;
  return m_imageData->clone(nullptr);
}

CxImageData* CxFreeImageLoader::takeImageData(int frame) {
  if (!m_imageData || frame != 0 || !m_imageData->hasPixels()) return nullptr;
  return m_imageData.release();
}

bool CxFreeImageLoader::hasFileSource() const {
  return !m_fileName.isEmpty() && m_buffer.isEmpty();
}

}  // namespace ur
