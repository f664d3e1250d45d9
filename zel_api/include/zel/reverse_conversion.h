#pragma once
// Reverse conversion: ZEL images back into raw images with their source levels ("*.dezel.*").

#include <zel/metadata.h>
#include <zel/run_summary.h>
#include <zel/zel_api_export.h>

#include <ur/buffers.h>
#include <ur/cancellation_token.h>

#include <QString>
#include <QStringList>

namespace urs {
class CxProgressInfo;
class Protocol;
}  // namespace urs

namespace urs::zel {

// Settings of a directory's reverse conversion. Folders are used as given: the caller ends them
// with a separator. progress and protocol are not owned and may be null.
struct BackZelParams {
  unsigned long long pluginId = 1;
  QString inputDir;
  QString outputDir;
  int numCores = 1;
  CxProgressInfo* progress = nullptr;
  Protocol* protocol = nullptr;
  ZelRunSummary* summary = nullptr;  // appended after the record's own fields; not owned
};

// The suffixes (lower case, without dot) of the lossless formats a restored image is written in.
ZEL_API_EXPORT QStringList RestoredImageSuffixes();

// Restores one ZEL image in memory: raw receives the source levels (one channel, bottom scanline
// first, as the ZEL image lies in memory), md the image's record and zelChannels, when given, the
// ZEL image's channel count (3 for a demosaiced mosaic). Nothing is kept in raw when
// the plug-in fails. Codes: InvalidArg(1) bad plug-in id, the reader's or plug-in's code,
// rc::Fail (not an 8-bit ZEL image, out of memory).
ZEL_API_EXPORT unsigned int RestoreZelImage(unsigned long long pluginId, const QString& inputFile,
                                            ur::ScopedImageBuf& raw, ZelMetadata& md,
                                            Protocol* protocol, int* zelChannels = nullptr);

// Restores one ZEL image into outputFile (format by its suffix), written under a temporary name
// and renamed when complete; nothing is written when the plug-in fails. A 16-bit source comes
// back in 16-bit samples. Codes: InvalidArg(1) bad plug-in id, rc::Unsupported for an output
// suffix outside RestoredImageSuffixes() (refused with a warning before anything is read), the
// reader's or plug-in's code, rc::Fail.
ZEL_API_EXPORT unsigned int ConvertZelFileToRAW(unsigned long long pluginId,
                                                const QString& inputFile,
                                                const QString& outputFile, Protocol* protocol);

// The output name of a restored file: outputDir + the name up to ".zel" (any case) + ".dezel." +
// suffix ("frame.0001.zel.png" -> "frame.0001.dezel.png"); a name without ".zel" before its
// suffix keeps its complete base name.
ZEL_API_EXPORT QString DezelOutputFileName(const QString& outputDir, const QString& inputName);

// Restores every "*.zel.png" of inputDir (no subfolders) into outputDir. A file whose output
// name another file of the run has already written is reported as failed and writes nothing.
// Codes: rc::InvalidParams, rc::Cancelled, or the last file's code.
ZEL_API_EXPORT unsigned int ConvertDirToRaw(BackZelParams& params,
                                            ur::CxCancellationToken* token);

}  // namespace urs::zel
