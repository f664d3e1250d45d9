// Reading an image, with its metadata, from a MATLAB file.

#include "matlab/mat_io.h"
#include "matlab/metadata_codecs.h"

#include <urs/matlab_file.h>
#include <urs/matlab_metadata.h>

#include <ur/bayer.h>
#include <ur/bit_depth.h>
#include <ur/buffers.h>
#include <ur/common_image_metadata.h>
#include <ur/geometry.h>
#include <ur/raw_planar.h>
#include <ur/result.h>

#include <climits>
#include <utility>

namespace urs::matlab {

namespace {

using detail::MatVarPtr;
using ur::ScopedImageBuf;
using ur::SxImageBuf;

const QString kChannelVariable = QStringLiteral("ur_image_channel_%1");

// Step 2: "PIG" or "PDG" when the file holds an entropy image of that prefix, else empty.
QString EntropyPrefix(mat_t* mat) {
  for (const QString& prefix : {QStringLiteral("PIG"), QStringLiteral("PDG")}) {
    if (detail::HasVariable(mat, prefix + QLatin1String("_channel_R")) ||
        detail::HasVariable(mat, prefix + QLatin1String("_channel_1")))
      return prefix;
  }
  return QString();
}

// The text of a 1 x n character matrix: UTF-8 bytes, or UTF-16 units as MATLAB itself stores it.
QString MatrixText(const matvar_t& var) {
  const int length = int(detail::Cols(var));
  if (var.data_size == 2) return QString::fromUtf16(static_cast<const char16_t*>(var.data), length);
  return QString::fromUtf8(static_cast<const char*>(var.data), length);
}

// Step 3: the stored metadata collection; empty when there is none or it cannot be parsed.
ur::CxMetadata ReadStoredMetadata(mat_t* mat) {
  ur::CxMetadata parsed;
  const MatVarPtr var = detail::ReadMatrix(mat, QLatin1String(detail::kMetadataVariable), true);
  if (!var) return parsed;
  detail::RegisterMetadataClasses();
  if (var->class_type != MAT_C_CHAR || !parsed.loadFromXml(MatrixText(*var)))
    ur::LogError(QStringLiteral("Failed to load the image metadata."));
  return parsed;
}

// Step 4: the n channels the metadata names, all of one class and size.
bool ReadChannels(mat_t* mat, int n, ScopedImageBuf& pixels) {
  // Every channel must be there before memory for all of them is taken.
  for (int c = 2; c <= n; ++c)
    if (!detail::HasVariable(mat, kChannelVariable.arg(c))) return false;
  const MatVarPtr first = detail::ReadMatrix(mat, kChannelVariable.arg(1));
  if (!first || !detail::AllocImageForMatrices(*first, n, pixels.get()) ||
      !detail::CopyMatrixToPlane(*first, pixels.get(), 0))
    return false;
  for (int c = 2; c <= n; ++c) {
    const MatVarPtr var = detail::ReadMatrix(mat, kChannelVariable.arg(c));
    if (!var || !detail::SameMatrixShape(*var, *first) ||
        !detail::CopyMatrixToPlane(*var, pixels.get(), c - 1))
      return false;
  }
  return true;
}

// Step 5: the first two-dimensional variable of the file as a grey image.
bool ReadFirstMatrix(mat_t* mat, ScopedImageBuf& pixels) {
  const QString name = detail::FirstMatrixName(mat);
  if (name.isEmpty()) return false;
  const MatVarPtr var = detail::ReadMatrix(mat, name);
  return var && detail::AllocImageForMatrices(*var, 1, pixels.get()) &&
         detail::CopyMatrixToPlane(*var, pixels.get(), 0);
}

// Step 6, third item: the mosaic that was split into four planes for writing.
void RebuildMosaic(ScopedImageBuf& pixels, ur::ExBayerGrid grid) {
  const SxImageBuf& planes = pixels.get();
  ScopedImageBuf mosaic;
  const bool rebuilt =
      planes.width <= INT_MAX / 2 && planes.height <= INT_MAX / 2 &&
      ur::Succeeded(ur::AllocBuffer(mosaic.get(), 2 * planes.width, 2 * planes.height, 1,
                                    planes.bitDepth, planes.dataType, 0, grid)) &&
      ur::Succeeded(ur::ConvertPlanarRawToRaw(planes, mosaic.get(), grid));
  if (!rebuilt) {
    ur::LogError(QStringLiteral("Failed to convert the image to RAW."));
    return;
  }
  pixels = std::move(mosaic);
}

// Step 6: undoes what the saver did, as its records tell.
void RestoreAsSaved(const ur::CxMetadata& stored, ScopedImageBuf& pixels) {
  SxImageBuf& image = pixels.get();
  if (image.dataType == ur::eImageDataUInt16) ur::DetectColorBitDepth(image);

  const auto* saved = stored.find<CxMatlabImageMetadata>();
  if (saved && saved->reverseRows) ur::ReverseRowOrder(image);

  const auto* common = stored.find<ur::CxCommonImageMetadata>();
  if (!common) return;
  if (ur::IsBayer2x2(common->bayerGrid) && common->planar == 0 && image.channels == 4 &&
      image.planar)
    RebuildMosaic(pixels, common->bayerGrid);

  SxImageBuf& result = pixels.get();
  const int b = common->bitDepth;
  const bool fitsType = (result.dataType == ur::eImageDataUInt8 && b >= 1 && b <= 8) ||
                        (result.dataType == ur::eImageDataUInt16 && b >= 9 && b <= 16);
  if (fitsType && result.bitDepth < b) result.bitDepth = b;
}

}  // namespace

bool LoadImageFromMat(const QString& path, SxImageBuf& image, bool& isEntropy,
                      ur::CxMetadata* metadata) {
  isEntropy = false;
  detail::MatFilePtr mat(static_cast<mat_t*>(MatOpenRead(path)));
  if (!mat) {
    ur::FreeBuffer(image);
    return false;
  }

  const QString prefix = EntropyPrefix(mat.get());
  if (!prefix.isEmpty()) {
    mat.reset();
    isEntropy = LoadEntropyImageFromMat(prefix, path, image);
    if (!isEntropy) ur::FreeBuffer(image);
    return isEntropy;
  }

  const ur::CxMetadata stored = ReadStoredMetadata(mat.get());
  if (metadata && !stored.isEmpty()) *metadata = stored;
  const auto* saved = stored.find<CxMatlabImageMetadata>();
  const int channels = saved ? saved->savedChannels : 0;

  ScopedImageBuf pixels;
  const bool read =
      channels > 0 ? ReadChannels(mat.get(), channels, pixels) : ReadFirstMatrix(mat.get(), pixels);
  mat.reset();
  if (!read) {
    ur::FreeBuffer(image);
    return false;
  }
  RestoreAsSaved(stored, pixels);
  image = pixels.release();
  return true;
}

}  // namespace urs::matlab
