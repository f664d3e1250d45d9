// Writing an image as one MATLAB matrix per plane.

#include "matlab/mat_io.h"

#include <urs/matlab_file.h>

#include <ur/atomic_file.h>
#include <ur/bayer.h>
#include <ur/buffers.h>
#include <ur/color_convert.h>
#include <ur/geometry.h>

#include <climits>
#include <cstdint>
#include <utility>

namespace urs::matlab {

namespace {

using ur::ScopedImageBuf;
using ur::SxImageBuf;

// One channel is stored alike whether it is called planar or not, so it is written as it is.
bool WritableAsItIs(const SxImageBuf& image, bool bayerPlanes) {
  if (image.planar) return true;
  return image.channels == 1 && (bayerPlanes || image.bayerGrid == ur::eBayerNone);
}

// The planar image ConvertPackPixelToPlanar makes of an interleaved one: a 2x2 mosaic gives four
// half-size planes, a general mosaic one plane per pattern site, and any other image one plane
// of the same size per channel (halving those would drop three quarters of the pixels).
bool PlanarShapeOf(const SxImageBuf& image, SxImageBuf& shape) {
  shape = image;
  shape.data = nullptr;
  shape.linePitch = 0;
  shape.planar = 1;
  if (image.channels == 1 && ur::IsBayer2x2(image.bayerGrid)) {
    // A mosaic of odd size would lose its last column or row to the planes.
    if (image.width % 2 != 0 || image.height % 2 != 0) return false;
    shape.width = image.width / 2;
    shape.height = image.height / 2;
    shape.channels = 4;
    shape.packCount = 4;
  } else if (image.channels == 1 && image.bayerGrid == ur::eBayerMosaic) {
    if (image.patternWidth < 1 || image.patternHeight < 1 ||
        std::int64_t(image.patternWidth) * image.patternHeight > INT_MAX)
      return false;
    if (image.width % image.patternWidth != 0 || image.height % image.patternHeight != 0)
      return false;
    shape.width = image.width / image.patternWidth;
    shape.height = image.height / image.patternHeight;
    shape.channels = image.patternWidth * image.patternHeight;
    shape.packCount = shape.channels;
  }
  return true;
}

// The image as planes; `owned` receives a converted copy when one is needed.
bool MakePlanar(const SxImageBuf& image, bool bayerPlanes, SxImageBuf& work,
                ScopedImageBuf& owned) {
  if (WritableAsItIs(image, bayerPlanes)) {
    work = image;
    work.planar = 1;
    return true;
  }
  SxImageBuf& planes = owned.get();
  if (!PlanarShapeOf(image, planes) || ur::Failed(ur::AllocBuffer(planes)) ||
      ur::Failed(ur::ConvertPackPixelToPlanar(image, planes)))
    return false;
  work = planes;
  return true;
}

// The rows reversed in a copy of our own.
bool ReverseRows(const SxImageBuf& image, SxImageBuf& work, ScopedImageBuf& owned) {
  if (!owned.get().data && ur::Failed(ur::AllocAndCopyBuffer(image, owned.get()))) return false;
  if (ur::Failed(ur::ReverseRowOrder(owned.get()))) return false;
  work = owned.get();
  return true;
}

// The transposed planes, each held compactly so that it is a column-major matrix.
bool TransposeForMatlab(const SxImageBuf& work, ScopedImageBuf& transposed) {
  SxImageBuf& t = transposed.get();
  t = work;
  t.data = nullptr;
  std::swap(t.width, t.height);
  const std::int64_t pitch =
      std::int64_t(t.width) * ur::BytesPerSample(t.dataType) * (work.planar ? 1 : work.channels);
  if (pitch <= 0 || pitch > INT_MAX) return false;
  t.linePitch = int(pitch);
  return ur::Succeeded(ur::AllocBuffer(t)) && ur::Succeeded(ur::Transpose(work, t));
}

QString PlaneName(const QString& name, const SxImageBuf& t, bool bayerPlanes, int plane) {
  static const char* const kGridSuffix[4] = {"_BGGR", "_RGGB", "_GBRG", "_GRBG"};
  if (bayerPlanes && t.channels == 4 && t.planar)
    return name + QLatin1String(detail::kBayerPlaneSuffixes[plane]);
  if (t.channels == 1 && ur::IsBayer2x2(t.bayerGrid))
    return name + QLatin1String(kGridSuffix[t.bayerGrid]);
  return name + QStringLiteral("_channel_%1").arg(plane + 1);
}

}  // namespace

bool AddImage(void* matHandle, const SxImageBuf& image, const QString& name, bool reverseRows,
              ur::SxImageInfo& savedInfo, bool bayerPlanes) {
  auto* mat = static_cast<mat_t*>(matHandle);
  matio_classes matClass;
  matio_types matType;
  if (!mat || name.isEmpty() || !ur::HasPixels(image) ||
      !detail::MatClassOfDataType(image.dataType, matClass, matType))
    return false;

  SxImageBuf work;
  ScopedImageBuf owned;
  if (!MakePlanar(image, bayerPlanes, work, owned)) return false;
  if (reverseRows && !ReverseRows(image, work, owned)) return false;
  ScopedImageBuf transposed;
  if (!TransposeForMatlab(work, transposed)) return false;
  owned = ScopedImageBuf();  // the planes are no longer needed

  const SxImageBuf& t = transposed.get();
  const int planes = t.planar ? t.channels : 1;
  for (int c = 0; c < planes; ++c) {
    // Matrix rows run along the image's columns: T's width is the image's height.
    if (!detail::WriteMatrix(mat, PlaneName(name, t, bayerPlanes, c), matClass, matType,
                             std::size_t(t.width), std::size_t(t.height), ur::RowPtr(t, 0, c)))
      return false;
  }
  savedInfo = ur::ImageInfo(t);
  return true;
}

bool SaveEntropyImageToMat(const SxImageBuf& image, const QString& name, const QString& path,
                           bool reverseRows) {
  // Written aside and renamed when whole, so a failed save leaves an earlier file as it was.
  ur::CxAtomicFile file(path);
  detail::MatFilePtr mat(static_cast<mat_t*>(MatOpenWrite(file.tempPath())));
  if (!mat) return false;
  ur::SxImageInfo info;
  const bool written = AddImage(mat.get(), image, name, reverseRows, info, false);
  return MatClose(mat.release()) && written && file.commit();
}

}  // namespace urs::matlab
