#pragma once
// Allocation and copying of image buffers.

#include <ur/image_buf.h>
#include <ur/result.h>
#include <ur/urcore_export.h>

#include <QPoint>
#include <QRect>

#include <cstddef>

namespace ur {

// Allocates the pixels of the image the record describes and stores them in buf.data.
// A line pitch of 0 is computed as MinLinePitch; a given pitch must hold one row. Rows are
// 64-byte aligned when the pitch allows it. With clear the pixels are zero-filled. The record
// does not own pixels, so a data pointer it already holds is overwritten, not freed.
// Returns rc::Ok, rc::InvalidArg(1) for a description that cannot be allocated (size,
// channels or data type not positive or known, pitch too small, size overflow), rc::Fail
// when memory runs out. On failure buf.data is null.
URCORE_EXPORT Result AllocBuffer(SxImageBuf& buf, bool clear = false);
// Describes buf by info (data dropped), then allocates as above.
URCORE_EXPORT Result AllocBuffer(SxImageBuf& buf, const SxImageInfo& info, bool clear = false);
// Describes buf by the fields given (line pitch computed), then allocates as above.
URCORE_EXPORT Result AllocBuffer(SxImageBuf& buf, int width, int height, int channels, int bitDepth,
                                 ExImageDataType dataType, int planar = 0,
                                 ExBayerGrid bayerGrid = eBayerNone, bool clear = false);

// Frees pixels that AllocBuffer allocated and resets the record to a fresh one.
// Safe on a fresh record.
URCORE_EXPORT void FreeBuffer(SxImageBuf& buf);

// dst becomes a copy of src with pixels of its own (compact line pitch, same layout flags).
// Returns rc::InvalidArg(1) when src has no pixels, rc::Fail when memory runs out.
URCORE_EXPORT Result AllocAndCopyBuffer(const SxImageBuf& src, SxImageBuf& dst);

// Copies all pixels of src into the allocated dst. Both must have the same width, height,
// channels, data type and layout; pitches may differ. Codes: InvalidArg(1) src, InvalidArg(2) dst.
URCORE_EXPORT Result CopyBuffer(const SxImageBuf& src, SxImageBuf& dst);

// Copies the region of src to the position `to` of the allocated dst. Channels, data type and
// layout must match; region and its target must lie wholly inside the two images.
// With copyInfo dst also takes src's bit depth, Bayer grid and pattern fields (a grid always
// names the colours at the top-left of what it describes, here the copied region).
// Codes: InvalidArg(1) src, InvalidArg(2) region, InvalidArg(3) dst or target position.
URCORE_EXPORT Result CopyBuffer(const SxImageBuf& src, const QRect& region, SxImageBuf& dst,
                                const QPoint& to, bool copyInfo = false);

// view describes the region of src without copying: same pitch, data pointing into src.
// The view must not be freed. Codes: InvalidArg(1) src, InvalidArg(2) region outside src.
URCORE_EXPORT Result ShallowSubImage(const SxImageBuf& src, const QRect& region, SxImageBuf& view);

// memcpy for large blocks of pixels.
URCORE_EXPORT void MemCpy(void* dst, const void* src, std::size_t bytes);

// Owns the pixels of one SxImageBuf and frees them when it goes out of scope.
class URCORE_EXPORT ScopedImageBuf {
public:
  ScopedImageBuf() = default;
  explicit ScopedImageBuf(const SxImageBuf& buf) : m_buf(buf) {}
  ~ScopedImageBuf() { FreeBuffer(m_buf); }
  ScopedImageBuf(ScopedImageBuf&& other) noexcept : m_buf(other.release()) {}
  ScopedImageBuf& operator=(ScopedImageBuf&& other) noexcept {
    if (this != &other) {
      FreeBuffer(m_buf);
      m_buf = other.release();
    }
    return *this;
  }
  ScopedImageBuf(const ScopedImageBuf&) = delete;
  ScopedImageBuf& operator=(const ScopedImageBuf&) = delete;

  SxImageBuf& get() { return m_buf; }
  const SxImageBuf& get() const { return m_buf; }
  SxImageBuf* operator->() { return &m_buf; }
  const SxImageBuf* operator->() const { return &m_buf; }
  // Gives up ownership: the caller frees the returned pixels.
  SxImageBuf release() {
    SxImageBuf out = m_buf;
    m_buf = SxImageBuf{};
    return out;
  }

private:
  SxImageBuf m_buf;
};

}  // namespace ur
