#pragma once
// Directory conversion: every input image of a directory (and optionally of its subtree) into
// ZEL images in a "ZEL" subdirectory beside the inputs, one level analysis and one mapping per
// directory, with protocol, progress and cancellation.

#include <zel/run_summary.h>
#include <zel/types.h>
#include <zel/zel_api_export.h>

#include <ur/cancellation_token.h>
#include <ur/image_buf.h>

#include <QString>
#include <QStringList>
#include <QVector>

namespace urs {
class CxProgressInfo;
class Protocol;
}  // namespace urs

namespace urs::zel {

// Settings of a directory conversion, filled by the caller. Neither the progress record, the
// protocol nor the summary is owned; each may be null.
struct ZelParams {
  unsigned long long pluginId = 0;
  QString inputDir;
  bool processSubfolders = false;
  bool doNotProcessConverted = false;
  int rawBitColorDepth = 0;
  int rawRoiLeft = 0;
  int rawRoiRight = 0;
  int rawRoiTop = 0;
  int rawRoiBottom = 0;
  bool applyRoi = false;
  int thresholdLowRed = -1;
  int thresholdHighRed = -1;
  int thresholdLowGreen = -1;
  int thresholdHighGreen = -1;
  int thresholdLowBlue = -1;
  int thresholdHighBlue = -1;
  bool applyThreshold = false;
  ur::ExBayerGrid bayerGrid = ur::eBayerBGGR;
  DemosaicAlgorithm algorithm = Averaging;
  ZelChannelNormalization channelNormalization = Separated;
  bool debayerizeOutput = false;
  int numCores = 0;
  CxProgressInfo* progress = nullptr;
  Protocol* protocol = nullptr;
  ZelRunSummary* summary = nullptr;  // appended after the record's own fields
};

// Walks params.inputDir (and its subdirectories with processSubfolders) and converts each
// directory that holds input files into its "ZEL" subdirectory: ConvertFlatDirToZel without a
// grid, ConvertFlatDirToZelRaw with one. Codes: rc::Ok, rc::Cancelled, rc::InvalidParams (bad
// plug-in id or missing input directory). Failures of single directories are reported on the
// protocol and do not change the result.
ZEL_API_EXPORT unsigned int ConvertDirToZel(ZelParams& params, ur::CxCancellationToken* token);

// One directory (params.inputDir) into outputDir; files lists the input names (empty: the
// directory's input files). Images are compacted channel by channel, demosaiced first when a
// grid applies.
ZEL_API_EXPORT unsigned int ConvertFlatDirToZel(ZelParams& params, const QString& outputDir,
                                                const QStringList& files,
                                                ur::CxCancellationToken* token);

// One directory of raw Bayer frames into outputDir: each frame compacted as four planes (ZEL
// type 1), demosaiced after compaction when params.debayerizeOutput is set.
ZEL_API_EXPORT unsigned int ConvertFlatDirToZelRaw(ZelParams& params, const QString& outputDir,
                                                   const QStringList& files,
                                                   ur::CxCancellationToken* token);

}  // namespace urs::zel
