#include <zel/verification.h>

#include "dir_steps.h"

#include <zel/image_compare.h>
#include <zel/input_reading.h>
#include <zel/metadata.h>
#include <zel/reverse_conversion.h>

#include <ur/buffers.h>
#include <ur/geometry.h>
#include <ur/image.h>
#include <ur/result.h>

#include <QCoreApplication>

#include <algorithm>

namespace urs::zel {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("Verification", text); }

ZelVerification NotCompared(const QString& reason) {
  ZelVerification check;
  check.reason = reason;
  return check;
}

bool PromisesExactness(const ZelMetadata& md, int zelChannels) {
  // Simple demosaicing stood one colour pixel for each 2x2 cell and averaged its greens.
  if (zelChannels == 3 && md.debayer == Simple) return false;
  const int channels = md.zelType == 1 ? 4 : zelChannels;
  const int limit = md.zelType == 1 ? kExactPlaneLevels : kExactLevels;
  for (int c = 0; c < channels && c < 4; ++c) {
    if (!md.occupied[c]) return false;
    const bool* occupied = md.occupied[c];
    if (std::count(occupied, occupied + md.levelsCount, true) > limit) return false;
  }
  return true;
}

}  // namespace

ZelVerification VerifyZelImage(unsigned long long pluginId, const QString& zelFile,
                               const QString& sourceFile, const ZelParams& params) {
  ur::ScopedImageBuf restored;
  ZelMetadata md;
  int zelChannels = 0;
  if (ur::Failed(RestoreZelImage(pluginId, zelFile, restored, md, nullptr, &zelChannels)))
    return NotCompared(Tr("the ZEL image cannot be restored"));
  // The restored buffer lies bottom scanline first; sources are compared top-down.
  if (ur::Failed(ur::ReverseRowOrder(restored.get())))
    return NotCompared(Tr("the restored image cannot be turned upright"));

  ur::CxImage source;
  ur::ExBayerGrid grid = ur::eBayerNone;
  ur::SxImageBuf sourceBuf;
  if (ur::Failed(ReadInputImage(sourceFile, source, grid)) ||
      ur::Failed(source.getImageBuf(sourceBuf)) || !ur::HasPixels(sourceBuf))
    return NotCompared(Tr("the source %1 cannot be read").arg(sourceFile));

  // The region the conversion kept, as a view into the source's rows.
  const QRect region = detail::RegionOf(params, sourceBuf.width, sourceBuf.height);
  if (!detail::RegionInside(region, sourceBuf.width, sourceBuf.height))
    return NotCompared(Tr("the crop lies outside the source"));
  ur::SxImageBuf view = sourceBuf;
  if (view.linePitch == 0) view.linePitch = static_cast<int>(ur::MinLinePitch(sourceBuf));
  view.data = ur::RowPtr(view, region.top()) + std::size_t(region.left()) * sourceBuf.channels *
                                                   ur::BytesPerSample(sourceBuf.dataType);
  view.width = region.width();
  view.height = region.height();

  const ZelComparison comparison = CompareImages(view, restored.get(), grid);
  if (!comparison.comparable) return NotCompared(comparison.reason);
  ZelVerification check;
  check.compared = true;
  check.maxDifference = comparison.maxDifference;
  check.exactPromised = PromisesExactness(md, zelChannels);
  return check;
}

QString DescribeVerification(const QString& zelFile, const ZelVerification& check) {
  if (!check.compared)
    return Tr("Verification of %1 failed: %2.").arg(zelFile, check.reason);
  if (check.maxDifference == 0) return Tr("Verified %1: exact.").arg(zelFile);
  if (check.exactPromised)
    return Tr("Verification of %1 failed: largest difference %2, where every sample should "
              "have come back exactly.")
        .arg(zelFile)
        .arg(check.maxDifference);
  return Tr("Verified %1: largest difference %2 (no exact round trip was promised).")
      .arg(zelFile)
      .arg(check.maxDifference);
}

}  // namespace urs::zel
