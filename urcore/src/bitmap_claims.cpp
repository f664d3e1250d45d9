#include <ur/bitmap_claims.h>
#include <ur/image_buf.h>

#include <FreeImage.h>

#include <algorithm>

namespace ur {

QString BitmapClaimProblem(FIBITMAP* header, std::int64_t fileBytes) {
  // The decoder itself then fails on the file and says why.
  if (!header) return QString();
  const unsigned width = FreeImage_GetWidth(header);
  const unsigned height = FreeImage_GetHeight(header);
  const unsigned bytesPerPixel = std::max(1u, (FreeImage_GetBPP(header) + 7) / 8);
  if (!WithinSampleCeiling(width, height, bytesPerPixel))
    return QStringLiteral(
               "its header claims %1 x %2 pixels of %3 bytes, more than an image may hold")
        .arg(width)
        .arg(height)
        .arg(bytesPerPixel);
  if (std::int64_t(width) * height / kMostPixelsPerFileByte > fileBytes)
    return QStringLiteral("its header claims %1 x %2 pixels, more than its %3 bytes hold")
        .arg(width)
        .arg(height)
        .arg(fileBytes);
  return QString();
}

}  // namespace ur
