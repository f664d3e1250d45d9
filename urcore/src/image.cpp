// CxImage: value semantics, the buffer view of the bitmap and its metadata tags.
// Loading and saving are in image_file.cpp.

#include <ur/image.h>

#include "image_bitmap.h"

#include <FreeImage.h>

#include <QByteArray>

#include <cstddef>
#include <cstring>
#include <utility>

namespace ur {
namespace {

// How a FreeImage bitmap type looks as a buffer. One table serves both directions.
struct SxBitmapLayout {
  FREE_IMAGE_TYPE type;
  int bpp;  // bits per pixel
  ExImageDataType dataType;
  int channels;
};

constexpr SxBitmapLayout kLayouts[] = {
    {FIT_BITMAP, 8, eImageDataUInt8, 1},   {FIT_BITMAP, 24, eImageDataUInt8, 3},
    {FIT_BITMAP, 32, eImageDataUInt8, 4},  {FIT_UINT16, 16, eImageDataUInt16, 1},
    {FIT_RGB16, 48, eImageDataUInt16, 3},  {FIT_RGBA16, 64, eImageDataUInt16, 4},
    {FIT_INT16, 16, eImageDataInt16, 1},   {FIT_UINT32, 32, eImageDataUInt32, 1},
    {FIT_INT32, 32, eImageDataInt32, 1},   {FIT_FLOAT, 32, eImageDataFloat, 1},
    {FIT_RGBF, 96, eImageDataFloat, 3},    {FIT_RGBAF, 128, eImageDataFloat, 4},
    {FIT_DOUBLE, 64, eImageDataDouble, 1}, {FIT_COMPLEX, 128, eImageDataComplexDouble, 1},
};

const SxBitmapLayout* LayoutOfBitmap(FIBITMAP* dib) {
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(dib);
  const int bpp = int(FreeImage_GetBPP(dib));
  for (const SxBitmapLayout& layout : kLayouts) {
    if (layout.type == type && layout.bpp == bpp) {
      // An 8-bit bitmap is a grey image only with the grey-ramp palette; otherwise its
      // samples are palette indices, which no buffer can describe.
      if (type == FIT_BITMAP && bpp == 8 && FreeImage_GetColorType(dib) != FIC_MINISBLACK)
        return nullptr;
      return &layout;
    }
  }
  return nullptr;
}

const SxBitmapLayout* LayoutOfBuffer(const SxImageBuf& buf) {
  for (const SxBitmapLayout& layout : kLayouts)
    if (layout.dataType == buf.dataType && layout.channels == buf.channels) return &layout;
  return nullptr;
}

void FillGreyRamp(FIBITMAP* dib) {
  RGBQUAD* palette = FreeImage_GetPalette(dib);
  for (int i = 0; i < 256; ++i) {
    palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = BYTE(i);
    palette[i].rgbReserved = 0;
  }
}

// A new bitmap of the layout's type and the buffer's size, or null when memory runs out.
FIBITMAP* AllocateBitmap(const SxBitmapLayout& layout, int width, int height) {
  if (layout.type == FIT_BITMAP)
    return FreeImage_AllocateT(FIT_BITMAP, width, height, layout.bpp, FI_RGBA_RED_MASK,
                               FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
  return FreeImage_AllocateT(layout.type, width, height, layout.bpp);
}

}  // namespace

bool FreeImageTypeOf(ExImageDataType dataType, int channels, FREE_IMAGE_TYPE& type,
                     int& bitsPerPixel) {
  SxImageBuf probe;
  probe.dataType = dataType;
  probe.channels = channels;
  const SxBitmapLayout* layout = LayoutOfBuffer(probe);
  if (!layout) return false;
  type = layout->type;
  bitsPerPixel = layout->bpp;
  return true;
}

namespace detail {

bool CopyAllMetadata(FIBITMAP* dst, FIBITMAP* src) {
  bool stored = true;
  for (int model = FIMD_COMMENTS; model <= FIMD_EXIF_RAW; ++model) {
    const auto md = FREE_IMAGE_MDMODEL(model);
    FITAG* tag = nullptr;
    FIMETADATA* handle = FreeImage_FindFirstMetadata(md, src, &tag);
    if (!handle) continue;
    do {
      stored = FreeImage_SetMetadata(md, dst, FreeImage_GetTagKey(tag), tag) && stored;
    } while (FreeImage_FindNextMetadata(handle, &tag));
    FreeImage_FindCloseMetadata(handle);
  }
  FreeImage_SetDotsPerMeterX(dst, FreeImage_GetDotsPerMeterX(src));
  FreeImage_SetDotsPerMeterY(dst, FreeImage_GetDotsPerMeterY(src));
  return stored;
}

}  // namespace detail

CxImage::CxImage() { InstallFreeImageMessageHandler(); }

CxImage::CxImage(const SxImageBuf& buf) : CxImage() { setImageBuf(buf); }

CxImage::~CxImage() {
  if (m_bitmap) FreeImage_Unload(m_bitmap);
}

CxImage::CxImage(const CxImage& other) : CxImage() {
  if (other.m_bitmap) m_bitmap = FreeImage_Clone(other.m_bitmap);
  if (m_bitmap) m_bitDepth = other.m_bitDepth;
}

CxImage& CxImage::operator=(const CxImage& other) {
  if (this != &other) {
    // Clone first: if memory runs out the image must not be left empty half-way.
    FIBITMAP* copy = other.m_bitmap ? FreeImage_Clone(other.m_bitmap) : nullptr;
    if (other.m_bitmap && !copy) return *this;
    if (m_bitmap) FreeImage_Unload(m_bitmap);
    m_bitmap = copy;
    m_bitDepth = other.m_bitDepth;
  }
  return *this;
}

CxImage::CxImage(CxImage&& other) noexcept
    : m_bitmap(std::exchange(other.m_bitmap, nullptr)),
      m_bitDepth(std::exchange(other.m_bitDepth, 0)) {}

CxImage& CxImage::operator=(CxImage&& other) noexcept {
  if (this != &other) {
    if (m_bitmap) FreeImage_Unload(m_bitmap);
    m_bitmap = std::exchange(other.m_bitmap, nullptr);
    m_bitDepth = std::exchange(other.m_bitDepth, 0);
  }
  return *this;
}

bool CxImage::isValid() const { return m_bitmap != nullptr; }

Result CxImage::getImageBuf(SxImageBuf& buf) const {
  SxImageInfo info;
  const Result rc = getImageInfo(info);
  if (Failed(rc)) return rc;
  buf = ImageBufFromInfo(info);
  buf.data = FreeImage_GetBits(m_bitmap);
  return buf.data ? rc::Ok : rc::Fail;
}

Result CxImage::getImageInfo(SxImageInfo& info) const {
  if (!m_bitmap || !FreeImage_HasPixels(m_bitmap)) return rc::Fail;
  const SxBitmapLayout* layout = LayoutOfBitmap(m_bitmap);
  if (!layout) return rc::Fail;
  info = SxImageInfo{};
  info.width = int(FreeImage_GetWidth(m_bitmap));
  info.height = int(FreeImage_GetHeight(m_bitmap));
  info.linePitch = int(FreeImage_GetPitch(m_bitmap));
  info.channels = layout->channels;
  info.dataType = layout->dataType;
  const int fullDepth = 8 * BytesPerSample(layout->dataType);
  info.bitDepth = m_bitDepth > 0 && m_bitDepth < fullDepth ? m_bitDepth : fullDepth;
  info.planar = 0;
  info.bayerGrid = eBayerNone;
  return rc::Ok;
}

Result CxImage::setImageBuf(const SxImageBuf& buf) {
  if (!HasPixels(buf) || buf.planar != 0) return rc::InvalidArg(1);
  const SxBitmapLayout* layout = LayoutOfBuffer(buf);
  if (!layout) return rc::InvalidArg(1);

  detail::BitmapPtr dib(AllocateBitmap(*layout, buf.width, buf.height));
  if (!dib) return rc::Fail;
  if (layout->type == FIT_BITMAP && layout->bpp == 8) FillGreyRamp(dib.get());

  // Rows keep their memory order (see image.h); both sides may pad their rows, so copy one
  // row at a time, only the pixels.
  const std::size_t rowBytes = std::size_t(MinLinePitch(buf));
  for (int y = 0; y < buf.height; ++y)
    std::memcpy(FreeImage_GetScanLine(dib.get(), y), RowPtr(buf, y), rowBytes);

  if (m_bitmap) {
    detail::CopyAllMetadata(dib.get(), m_bitmap);
    FreeImage_Unload(m_bitmap);
  }
  m_bitmap = dib.release();
  m_bitDepth = buf.bitDepth;
  return rc::Ok;
}

Result CxImage::getMetadata(FREE_IMAGE_MDMODEL model, const QString& key, fipTag& tag) const {
  if (!m_bitmap) return rc::Fail;
  FITAG* found = nullptr;
  if (!FreeImage_GetMetadata(model, m_bitmap, key.toLatin1().constData(), &found) || !found)
    return rc::Fail;
  // The bitmap owns the tag it returns; fipTag takes ownership of what it is given.
  FITAG* copy = FreeImage_CloneTag(found);
  if (!copy) return rc::Fail;
  tag = copy;
  return rc::Ok;
}

Result CxImage::setMetadata(FREE_IMAGE_MDMODEL model, const QString& key, const fipTag& tag) {
  if (!m_bitmap || key.isEmpty()) return rc::Fail;
  const QByteArray name = key.toLatin1();
  // A tag that holds no value (such as a default fipTag) removes the key.
  if (!tag.isValid() || !tag.getValue())
    return FreeImage_SetMetadata(model, m_bitmap, name.constData(), nullptr) ? rc::Ok : rc::Fail;
  // FreeImage renames the tag it is given to the key: hand it a copy so that the caller's tag
  // stays as it was (it stores a copy of its own).
  fipTag copy(tag);
  FITAG* own = copy;
  if (!own) return rc::Fail;
  return FreeImage_SetMetadata(model, m_bitmap, name.constData(), own) ? rc::Ok : rc::Fail;
}

Result CxImage::copyMetadataFromImage(const CxImage& other) {
  if (!m_bitmap || !other.m_bitmap) return rc::Fail;
  if (this == &other) return rc::Ok;
  return detail::CopyAllMetadata(m_bitmap, other.m_bitmap) ? rc::Ok : rc::Fail;
}

}  // namespace ur
