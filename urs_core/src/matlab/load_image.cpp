// Reading an image, with its metadata, from a MATLAB file.

#include "matlab/mat_io.h"
#include "matlab/mat_precheck.h"
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
#include <vector>

namespace urs::matlab {

namespace {

using detail::MatVarPtr;
using ur::ScopedImageBuf;
using ur::SxImageBuf;

const QString kChannelSuffix = QStringLiteral("_channel_%1");

// Says why the file gives no image.
bool Refuse(QString* reason, const QString& why) {
  if (reason) *reason = why;
  return false;
}

QString AboutVariable(const QString& name, const QString& problem) {
  return QStringLiteral("MATLAB variable '%1' %2").arg(name, problem);
}

// "PIG" or "PDG" when the file holds an entropy image of that prefix, else empty.
QString EntropyPrefix(mat_t* mat) {
  for (const QString& prefix : {QStringLiteral("PIG"), QStringLiteral("PDG")}) {
    if (detail::HasVariable(mat, prefix + QLatin1String("_channel_R")) ||
        detail::HasVariable(mat, prefix + QLatin1String("_channel_1")))
      return prefix;
  }
  return QString();
}

// The name the saver stored the planes under: the default one, or else the one its "matname"
// option gave, found as the first variable named <name>_channel_1. Empty when there is neither.
QString SavedImageName(const std::vector<MatVarPtr>& infos) {
  const QString defaultName = QLatin1String(detail::kDefaultImageName);
  const QString firstSuffix = kChannelSuffix.arg(1);
  for (const MatVarPtr& info : infos)
    if (QLatin1String(info->name) == defaultName + firstSuffix) return defaultName;
  for (const MatVarPtr& info : infos) {
    const QString name = QString::fromLatin1(info->name);
    if (name.size() > firstSuffix.size() && name.endsWith(firstSuffix))
      return name.chopped(firstSuffix.size());
  }
  return QString();
}

// The text of a 1 x n character matrix: UTF-8 bytes, or UTF-16 units as MATLAB itself stores it.
QString MatrixText(const matvar_t& var) {
  const int length = int(detail::Cols(var));
  if (var.data_size == 2) return QString::fromUtf16(static_cast<const char16_t*>(var.data), length);
  return QString::fromUtf8(static_cast<const char*>(var.data), length);
}

// The stored metadata collection; empty when there is none or it cannot be parsed.
ur::CxMetadata ReadStoredMetadata(mat_t* mat) {
  ur::CxMetadata parsed;
  const MatVarPtr var = detail::ReadMatrix(mat, QLatin1String(detail::kMetadataVariable), true);
  if (!var) return parsed;
  detail::RegisterMetadataClasses();
  if (var->class_type != MAT_C_CHAR || !parsed.loadFromXml(MatrixText(*var)))
    ur::LogError(QStringLiteral("Failed to load the image metadata."));
  return parsed;
}

// The n channels <name>_channel_1 .. _n the metadata tells of, all of one class and size.
bool ReadChannels(mat_t* mat, const QString& name, int n, ScopedImageBuf& pixels,
                  QString* reason) {
  const QString channel = name + kChannelSuffix;
  // Every channel must be there before memory for all of them is taken.
  for (int c = 1; c <= n; ++c)
    if (!detail::HasVariable(mat, channel.arg(c)))
      return Refuse(reason, AboutVariable(channel.arg(c), QStringLiteral("is missing")));
  QString problem;
  const MatVarPtr first = detail::ReadMatrix(mat, channel.arg(1), false, &problem);
  if (!first) return Refuse(reason, AboutVariable(channel.arg(1), problem));
  if (!detail::AllocImageForMatrices(*first, n, pixels.get()))
    return Refuse(reason, QStringLiteral("not enough memory for the image"));
  if (!detail::CopyMatrixToPlane(*first, pixels.get(), 0))
    return Refuse(reason, AboutVariable(channel.arg(1), QStringLiteral("cannot be copied")));
  for (int c = 2; c <= n; ++c) {
    const MatVarPtr var = detail::ReadMatrix(mat, channel.arg(c), false, &problem);
    if (!var) return Refuse(reason, AboutVariable(channel.arg(c), problem));
    const QString unlike = QStringLiteral("differs in class or size from '%1'").arg(channel.arg(1));
    if (!detail::SameMatrixShape(*var, *first) ||
        !detail::CopyMatrixToPlane(*var, pixels.get(), c - 1))
      return Refuse(reason, AboutVariable(channel.arg(c), unlike));
  }
  return true;
}

// The first variable of the file that holds an image, as a grey image. Variables of other
// kinds (text, cells, structures) before it are passed over; when no variable holds an image,
// the first one says why.
bool ReadFirstMatrix(mat_t* mat, const std::vector<MatVarPtr>& infos, ScopedImageBuf& pixels,
                     QString* reason) {
  QString firstProblem;
  for (const MatVarPtr& info : infos) {
    const QString name = QString::fromLatin1(info->name);
    if (name == QLatin1String(detail::kMetadataVariable)) continue;
    QString problem = detail::MatrixProblem(mat, *info);
    if (problem.isEmpty()) {
      const MatVarPtr var = detail::ReadMatrix(mat, name, false, &problem);
      if (!var) return Refuse(reason, AboutVariable(name, problem));
      if (!detail::AllocImageForMatrices(*var, 1, pixels.get()))
        return Refuse(reason, QStringLiteral("not enough memory for the image"));
      if (!detail::CopyMatrixToPlane(*var, pixels.get(), 0))
        return Refuse(reason, AboutVariable(name, QStringLiteral("cannot be copied")));
      return true;
    }
    if (firstProblem.isEmpty()) firstProblem = AboutVariable(name, problem);
  }
  return Refuse(reason, firstProblem.isEmpty() ? QStringLiteral("the file holds no matrix")
                                               : firstProblem);
}

// The mosaic that was split into four planes for writing.
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

// Undoes what the saver did, as its records tell.
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
                      ur::CxMetadata* metadata, QString* reason) {
  isEntropy = false;
  const QString damage = detail::MatFileProblem(path);
  if (!damage.isEmpty()) {
    ur::FreeBuffer(image);
    return Refuse(reason, damage);
  }
  detail::MatFilePtr mat(static_cast<mat_t*>(MatOpenRead(path)));
  if (!mat) {
    ur::FreeBuffer(image);
    return Refuse(reason, QStringLiteral("not a readable MATLAB file"));
  }

  const QString prefix = EntropyPrefix(mat.get());
  if (!prefix.isEmpty()) {
    mat.reset();
    isEntropy = LoadEntropyImageFromMat(prefix, path, image);
    if (isEntropy) return true;
    ur::FreeBuffer(image);
    return Refuse(reason, QStringLiteral("the planes of the image '%1' are incomplete, damaged, "
                                         "of different sizes or not of doubles")
                              .arg(prefix));
  }

  const ur::CxMetadata stored = ReadStoredMetadata(mat.get());
  if (metadata && !stored.isEmpty()) *metadata = stored;
  const auto* saved = stored.find<CxMatlabImageMetadata>();
  const int channels = saved ? saved->savedChannels : 0;

  const std::vector<MatVarPtr> infos = detail::ReadVariableInfos(mat.get());
  ScopedImageBuf pixels;
  bool read = false;
  if (channels > 0) {
    const QString name = SavedImageName(infos);
    read = name.isEmpty()
               ? Refuse(reason, AboutVariable(QLatin1String(detail::kDefaultImageName) +
                                                  kChannelSuffix.arg(1),
                                              QStringLiteral("is missing")))
               : ReadChannels(mat.get(), name, channels, pixels, reason);
  } else {
    read = ReadFirstMatrix(mat.get(), infos, pixels, reason);
  }
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
