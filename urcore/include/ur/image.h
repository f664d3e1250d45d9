#pragma once
// An image held as a FreeImage bitmap, with its FreeImage metadata tags. Used by the ZEL
// writer and reader, which keep their record in a PNG text tag.
//
// Rows: a CxImage exposes FreeImage's own memory order, bottom scanline first. getImageBuf
// describes that memory; setImageBuf, the constructor from a buffer and saveBufferToFile copy
// rows in memory order without turning them, so a top-down buffer must be reversed
// (ReverseRowOrder) before setImageBuf for the file to be written upright.
// Channels: 8-bit colour is B, G, R (, A) in memory, 16-bit colour R, G, B (, A).

#include <FreeImagePlus.h>
#include <ur/image_buf.h>
#include <ur/result.h>
#include <ur/urcore_export.h>

#include <QString>

namespace ur {

class URCORE_EXPORT CxImage {
public:
  // Save parameters; quality comes first.
  struct SxSaveParams {
    int quality = 100;          // JPEG quality 1..100; 100 also means "best" elsewhere
    int compressionLevel = -1;  // PNG deflate level 0..9, -1 the writer's fast default
  };

  CxImage();
  // A copy of buf's pixels (memory order kept). An unsupported buffer gives an invalid image.
  explicit CxImage(const SxImageBuf& buf);
  ~CxImage();
  CxImage(const CxImage& other);
  CxImage& operator=(const CxImage& other);
  CxImage(CxImage&& other) noexcept;
  CxImage& operator=(CxImage&& other) noexcept;

  // True when a bitmap is held (after loadMetadata, one without pixels).
  bool isValid() const;

  // Loads a file (format from its contents, else its suffix) with its metadata. Sample values
  // are kept as stored: PNG files are decoded by DecodePng (ur/png_reader.h), so 16-bit grey
  // stays 16-bit, 1- to 4-bit grey keeps its values with that bit depth, and no gamma or colour
  // chunk is applied. Palette images become plain grey (all-grey palette) or colour (B, G, R,
  // or B, G, R, A with transparency) so that getImageBuf describes picture values rather than
  // palette indices.
  // rc::Fail when the file cannot be read or decoded; the image is then unchanged.
  Result load(const QString& path);
  // Loads only the file's metadata tags and resolution, without decoding pixels where the
  // format allows it (the image then has no pixels: getImageBuf fails). For copying the tags of
  // a file whose pixels are read by other means. rc::Fail when the file cannot be read.
  Result loadMetadata(const QString& path);
  // Saves in the format of the path's suffix, with the metadata tags. Written to a temporary
  // file and renamed, so a failure leaves an existing file untouched. rc::Fail on failure
  // (no image, cannot write), rc::Unsupported when the suffix names no writable format or the
  // format cannot hold this bitmap type, rc::InvalidArg(2) for a JPEG quality outside 1..100
  // or a PNG compression level outside -1..9. Without params: SxSaveParams{}.
  Result save(const QString& path, const SxSaveParams& params) const;
  Result save(const QString& path) const;
  // Saves a buffer (rows in memory order, bottom scanline first) as save() would.
  // Codes as setImageBuf (rc::InvalidArg(1) for an unsupported buffer), then as save().
  static Result saveBufferToFile(const SxImageBuf& buf, const QString& path,
                                 const SxSaveParams& params);
  static Result saveBufferToFile(const SxImageBuf& buf, const QString& path);

  // Describes the bitmap's own pixels (not to be freed by the caller; valid while the image
  // is unchanged). rc::Fail when no bitmap is held or its type has no buffer form.
  Result getImageBuf(SxImageBuf& buf) const;
  Result getImageInfo(SxImageInfo& info) const;
  // Replaces the bitmap by a copy of buf (metadata kept). Supported: unsigned 8-bit with 1, 3 or
  // 4 channels, unsigned 16-bit with 1, 3 or 4, signed 16-bit, unsigned/signed 32-bit, float and
  // double with 1 channel, float with 3 or 4; interleaved. rc::InvalidArg(1) otherwise, rc::Fail
  // when memory runs out (the image is then unchanged). A bitDepth below the full sample size
  // (12 significant bits in 16-bit samples) is kept and reported by getImageBuf until the next
  // load; bayerGrid is not kept.
  Result setImageBuf(const SxImageBuf& buf);

  // Keys are Latin-1, as PNG keywords are.
  // A metadata tag by FreeImage model and key (tag receives a copy). rc::Fail when absent.
  Result getMetadata(FREE_IMAGE_MDMODEL model, const QString& key, fipTag& tag) const;
  // Stores (replaces) a copy of tag under model and key; a tag without a value (such as a
  // default fipTag) removes the key. rc::Fail when no bitmap is held or FreeImage refuses the
  // tag (count x type size differs from its length).
  Result setMetadata(FREE_IMAGE_MDMODEL model, const QString& key, const fipTag& tag);
  // Copies every metadata tag of other, in all models, into this image (tags of the same model
  // and key are replaced, others kept), with its resolution. rc::Fail when either image holds no
  // bitmap.
  Result copyMetadataFromImage(const CxImage& other);

  // The underlying bitmap (null when invalid), for code that must call FreeImage itself.
  FIBITMAP* bitmap() const { return m_bitmap; }

private:
  FIBITMAP* m_bitmap = nullptr;
  int m_bitDepth = 0;  // significant bits set through a buffer; 0: the full sample size
};

// Routes FreeImage's output messages into the Qt log as warnings ("FreeImage: <format>:
// <message>"). FreeImage has one handler for the whole process: this installs it once, and
// CxImage calls it on first use. Code that calls FreeImage before using CxImage (or a plug-in
// that would install a handler of its own) calls this instead, so messages keep one route.
URCORE_EXPORT void InstallFreeImageMessageHandler();

// The FreeImage bitmap type and bits per pixel that hold interleaved pixels of this data type
// and channel count; false when no bitmap type does.
URCORE_EXPORT bool FreeImageTypeOf(ExImageDataType dataType, int channels, FREE_IMAGE_TYPE& type,
                                   int& bitsPerPixel);

}  // namespace ur
