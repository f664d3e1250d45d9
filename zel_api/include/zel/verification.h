#pragma once
// Checking a written ZEL image against its source: the image is restored in memory and compared
// sample by sample with the source as the conversion read it.

#include <zel/dir_conversion.h>
#include <zel/zel_api_export.h>

#include <QString>

namespace urs::zel {

struct ZelVerification {
  bool compared = false;       // false: reason says why nothing could be compared
  bool exactPromised = false;  // the record promises every sample back exactly
  int maxDifference = 0;       // largest absolute difference of two corresponding samples
  QString reason;

  // Nothing compared, or a difference where the record promised none.
  bool failed() const { return !compared || (exactPromised && maxDifference != 0); }
};

// Restores zelFile and compares it with sourceFile, cropped by the margins of params when
// params.applyRoi is set (the other fields are not used). The promise of exactness follows from
// the record alone: at most 256 levels in every channel (255 in every plane of a raw ZEL image)
// and no greens averaged by Simple demosaicing.
ZEL_API_EXPORT ZelVerification VerifyZelImage(unsigned long long pluginId, const QString& zelFile,
                                              const QString& sourceFile, const ZelParams& params);

// The protocol line of a verification: "Verified <zel>: exact." and the like.
ZEL_API_EXPORT QString DescribeVerification(const QString& zelFile, const ZelVerification& check);

}  // namespace urs::zel
